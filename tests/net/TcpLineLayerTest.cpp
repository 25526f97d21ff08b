#include "SocketPair.h"
#include "net/TcpLog.h"
#include "net/TcpRecvUntilStr.h"
#include "net/TcpStatus.h"
#include "net/TnLineLayer.h"
#include "net/TnReplyScanner.h"
#include "support/TempDir.h"

#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace km {
namespace {

using test::SocketPair;

std::string Remaining(int sock) {
    std::string out;
    char buf[256];
    for (;;) {
        const ssize_t n = ::recv(sock, buf, sizeof buf, MSG_DONTWAIT);
        if (n <= 0)
            return out;
        out.append(buf, static_cast<size_t>(n));
    }
}

TEST(TcpRecvUntilStr, DelimiterSplitOverSegmentsIsFound) {
    SocketPair p;
    p.WriteLater({"first E", "N", "Dafter"});
    char buf[64];
    size_t length = sizeof buf;
    ASSERT_EQ(TcpRecvUntilStr(p.ours, buf, length, "END", 3, true, 5, -1), kTcpSuccess);
    EXPECT_EQ(std::string(buf, length), "first ");
    p.CloseTheirs();
    EXPECT_EQ(Remaining(p.ours), "after");
}

TEST(TcpRecvUntilStr, FoldsOnlyAsciiLettersWhenCaseInsensitive) {
    SocketPair p;
    p.Write("abcEnDrest");
    char buf[64];
    size_t length = sizeof buf;
    ASSERT_EQ(TcpRecvUntilStr(p.ours, buf, length, "end", 3, false, 1, -1), kTcpSuccess);
    EXPECT_EQ(std::string(buf, length), "abc");

    p.Write("x\xC4y");
    length = sizeof buf;
    // 0xC4 is no letter to fold: "\xE4" must not match it.
    EXPECT_EQ(TcpRecvUntilStr(p.ours, buf, length, "\xE4", 1, false, -1, -1), kTcpTimeout);
    EXPECT_EQ(std::string(buf, length), "restx\xC4y");
}

TEST(TcpRecvUntilStr, FullBufferGivesOverflowAndKeepsTheRestUnread) {
    SocketPair p;
    p.Write("0123456789\n");
    char buf[4];
    size_t length = sizeof buf;
    EXPECT_EQ(TcpRecvUntilStr(p.ours, buf, length, "\n", 1, true, 1, -1), kTcpOverflow);
    EXPECT_EQ(std::string(buf, length), "0123");
    EXPECT_EQ(Remaining(p.ours), "456789\n");
}

TEST(TcpRecvUntilStr, ReportsCloseTimeoutAndBadArguments) {
    SocketPair p;
    char buf[16];
    size_t length = sizeof buf;
    EXPECT_EQ(TcpRecvUntilStr(p.ours, buf, length, "\n", 1, true, -1, -1), kTcpTimeout);
    length = 0;
    EXPECT_EQ(TcpRecvUntilStr(p.ours, buf, length, "\n", 1, true, 1, -1), kTcpError);
    length = sizeof buf;
    EXPECT_EQ(TcpRecvUntilStr(-1, buf, length, "\n", 1, true, 1, -1), kTcpError);
    p.Write("partial");
    p.CloseTheirs();
    length = sizeof buf;
    EXPECT_EQ(TcpRecvUntilStr(p.ours, buf, length, "\n", 1, true, 1, -1), kTcpClosed);
    EXPECT_EQ(std::string(buf, length), "partial");
}

TEST(TnReadLine, ReturnsOneLineAndLeavesTheNextReadable) {
    SocketPair p;
    p.Write("220 first\r\n331 second\r\n");
    char buf[64];
    size_t length = 0;
    ASSERT_EQ(TnReadLine(p.ours, buf, sizeof buf, 1, -1, &length), kTcpSuccess);
    EXPECT_STREQ(buf, "220 first");
    EXPECT_EQ(length, 9u);
    ASSERT_EQ(TnReadLine(p.ours, buf, sizeof buf, 1, -1), kTcpSuccess);
    EXPECT_STREQ(buf, "331 second");
}

TEST(TnReadLine, LongLineOverflowsAndStaysTerminated) {
    SocketPair p;
    p.Write("abcdefghij\r\nnext\r\n");
    char buf[6];
    EXPECT_EQ(TnReadLine(p.ours, buf, sizeof buf, 1, -1), kTcpOverflow);
    EXPECT_STREQ(buf, "abcde");
    // The CR counts against the room too: "fghij\r" does not fit either.
    EXPECT_EQ(TnReadLine(p.ours, buf, sizeof buf, 1, -1), kTcpOverflow);
    char wide[16];
    EXPECT_EQ(TnReadLine(p.ours, wide, sizeof wide, 1, -1), kTcpSuccess);
    EXPECT_STREQ(wide, ""); // the CR that was left over, dropped as a line end
}

TEST(TnReadMultiLine, JoinsContinuedLinesWithLineFeeds) {
    SocketPair p;
    p.Write("230-Welcome\r\n230-Second\r\n230 Done\r\n221 next\r\n");
    char buf[128];
    EXPECT_EQ(TnReadAnswerCode(p.ours, buf, sizeof buf, 1, -1), 230);
    EXPECT_STREQ(buf, "230-Welcome\n230-Second\n230 Done");
    EXPECT_EQ(TnReadAnswerCode(p.ours, buf, sizeof buf, 1, -1), 221);
}

TEST(TnReadMultiLine, FreeTextLinesBelongToTheReplyUntilItsFinalLine) {
    SocketPair p;
    p.Write("211-Features:\r\n MDTM\r\n 211 not the end\r\nSIZE\r\n211 End\r\n200 ok\r\n");
    char buf[256];
    EXPECT_EQ(TnReadAnswerCode(p.ours, buf, sizeof buf, 1, -1), 211);
    EXPECT_STREQ(buf, "211-Features:\n MDTM\n 211 not the end\nSIZE\n211 End");
    EXPECT_EQ(TnReadAnswerCode(p.ours, buf, sizeof buf, 1, -1), 200);
}

TEST(TnReadMultiLine, ReplySplitAcrossSegmentsArrivesWhole) {
    SocketPair p;
    p.WriteLater({"2", "30-a\r", "\n230", " b\r\n"});
    char buf[64];
    EXPECT_EQ(TnReadAnswerCode(p.ours, buf, sizeof buf, 5, -1), 230);
    EXPECT_STREQ(buf, "230-a\n230 b");
}

TEST(TnReadMultiLine, LineLongerThanTheBufferGivesTwoAndTheNextReplyStartsClean) {
    SocketPair p;
    const std::string longLine = "500 " + std::string(100, 'x') + "\r\n";
    p.Write(longLine + "200 next\r\n");
    char buf[32];
    EXPECT_EQ(TnReadMultiLine(p.ours, buf, sizeof buf, 1, -1), 2);
    EXPECT_EQ(std::string(buf), longLine.substr(0, 31));
    EXPECT_EQ(TnReadAnswerCode(p.ours, buf, sizeof buf, 1, -1), 200);

    // A long first line of a reply that goes on: dropped to its final line.
    p.Write("211-" + std::string(100, 'y') + "\r\n more\r\n211 end\r\n220 after\r\n");
    EXPECT_EQ(TnReadMultiLine(p.ours, buf, sizeof buf, 1, -1), 2);
    EXPECT_EQ(TnReadAnswerCode(p.ours, buf, sizeof buf, 1, -1), 220);
}

TEST(TnReadMultiLine, ReplyFillingTheBufferExactlyIsReadToItsEnd) {
    // The first line leaves less than the 5 bytes a further line needs.
    SocketPair p;
    const std::string first = "230-" + std::string(54, 'x');
    p.Write(first + "\r\n230-more\r\n230 end\r\n200 next\r\n");
    char buf[64];
    EXPECT_EQ(TnReadAnswerCode(p.ours, buf, sizeof buf, 1, -1), 230);
    EXPECT_EQ(std::string(buf), first);
    EXPECT_EQ(TnReadAnswerCode(p.ours, buf, sizeof buf, 1, -1), 200);
}

TEST(TnReadMultiLine, LongBannerKeepsWhatFitsAndIsReadToItsEnd) {
    // More lines than the buffer holds: the rest is dropped, so the next reply
    // is read as itself and not as the tail of this one.
    SocketPair p;
    std::string reply;
    for (int i = 0; i < 50; ++i)
        reply += "230-line " + std::to_string(i) + " " + std::string(600, 'm') + "\r\n";
    reply += "230 Logged in\r\n";
    p.WriteLater({reply, "257 \"/\"\r\n"});
    char buf[2048];
    EXPECT_EQ(TnReadAnswerCode(p.ours, buf, sizeof buf, 5, -1), 230);
    EXPECT_EQ(std::strlen(buf), sizeof buf - 1);
    EXPECT_EQ(std::string(buf).rfind("230-line 0 ", 0), 0u);
    EXPECT_EQ(TnReadAnswerCode(p.ours, buf, sizeof buf, 5, -1), 257);
}

TEST(TnReadMultiLine, TransportResultsPassThrough) {
    char buf[64];
    {
        SocketPair p;
        p.Write("no digits here\r\n");
        EXPECT_EQ(TnReadAnswerCode(p.ours, buf, sizeof buf, 1, -1), 0);
        EXPECT_EQ(TnReadAnswerCode(p.ours, buf, sizeof buf, -1, -1), kTcpTimeout);
        EXPECT_EQ(TnReadAnswerCode(p.ours, nullptr, 0, -1, -1), kTcpError);
        p.Write("230-unfinished\r\n");
        p.CloseTheirs();
        EXPECT_EQ(TnReadAnswerCode(p.ours, buf, sizeof buf, 1, -1), 0);
        EXPECT_STREQ(buf, "230-unfinished\n");
    }
    {
        // The limit holds for the whole reply, not for each piece of it.
        SocketPair p;
        p.WriteLater({"230-a\r\n", "230-b\r\n", "230-c\r\n", "230-d\r\n"}, 400);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(TnReadAnswerCode(p.ours, buf, sizeof buf, 1, -1), kTcpTimeout);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
    }
}

TEST(TnReplyScanner, FinalLineNeedsTheSameCodeAndABlank) {
    TnReplyScanner s;
    EXPECT_FALSE(s.First("200 ok"));
    EXPECT_FALSE(s.First("200"));
    EXPECT_TRUE(s.First("  150-opening"));
    EXPECT_TRUE(s.Next("150-more"));
    EXPECT_TRUE(s.Next(" 150 indented text"));
    EXPECT_TRUE(s.Next("151 other code"));
    EXPECT_TRUE(s.Next("15"));
    EXPECT_FALSE(s.Next("150"));
    EXPECT_FALSE(s.Next("150 end"));
}

TEST(TcpLog, PassArgumentIsMasked) {
    EXPECT_EQ(TcpMaskForLog("PASS secret\r\n"), "PASS ******\r\n");
    EXPECT_EQ(TcpMaskForLog("PASS \r\n"), "PASS \r\n");
    EXPECT_EQ(TcpMaskForLog("pass secret\r\n"), "pass secret\r\n");
    EXPECT_EQ(TcpMaskForLog("USER secret\r\n"), "USER secret\r\n");
    EXPECT_EQ(TcpMaskForLog(std::string_view("PASS ab\0cd", 10)), std::string("PASS **\0cd", 10));
}

TEST(TcpLog, TranscriptHoldsBothDirectionsInOrderWithPasswordMasked) {
    test::TempDir tmp;
    TcpLogFile log;
    ASSERT_TRUE(log.Open(tmp.file("log.txt")));
    SocketPair p;
    p.Write("331 Password required\r\n");
    char buf[128];
    ASSERT_EQ(TnSend(p.ours, "USER anna", false, log.handle()), kTcpSuccess);
    ASSERT_EQ(TnReadAnswerCode(p.ours, buf, sizeof buf, 1, log.handle()), 331);
    ASSERT_EQ(TnSend(p.ours, "PASS geheim", false, log.handle()), kTcpSuccess);
    EXPECT_EQ(p.ReadTheirs(), "USER anna\r\nPASS geheim\r\n");
    log.Close();
    EXPECT_EQ(test::ReadAll(tmp.file("log.txt")),
              "USER anna\r\n331 Password required\r\nPASS ******\r\n");
}

} // namespace
} // namespace km
