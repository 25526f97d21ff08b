// The engine's pieces that work on bytes alone: result texts, reply mapping,
// reply texts, line ends, and the settings it reads.
#include "ftp/FtpCommandTable.h"
#include "ftp/FtpConfig.h"
#include "ftp/FtpLineEnds.h"
#include "ftp/FtpReplyText.h"
#include "ftp/FtpResult.h"
#include "ftp/FtpSession.h"
#include "settings/SettingsStore.h"
#include "support/TempDir.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <string>

namespace km {
namespace {

TEST(FtpResult, UnknownCodesHaveTheirOwnText) {
    EXPECT_STREQ(FtpErrorText(5001), "Unknown error code");
    EXPECT_STREQ(FtpErrorText(-2), "Unknown error code");
    EXPECT_STREQ(FtpSession::ErrorText(-1), "FTP - File transfer aborted");
}

TEST(FtpCommandTable, RepliesMapThroughEachCommandsList) {
    // CWD and CDUP share the list of DELE, "HELP %s" that of HELP.
    EXPECT_EQ(FtpMapReply(kCmdCdup, 550), kFtpActionNotTaken);
    EXPECT_EQ(FtpMapReply(kCmdHelpOn, 214), 0);
    EXPECT_EQ(FtpMapReply(kCmdCwd, 226), kFtpUnexpectedAnswer);
    // Transport failures: no reply, closed, timeout, cancelled, overflow.
    EXPECT_EQ(FtpMapReply(kCmdPwd, -1), kFtpNoAnswer);
    EXPECT_EQ(FtpMapReply(kCmdPwd, 0), kFtpUnexpectedAnswer);
    EXPECT_EQ(FtpMapReply(kCmdPwd, -2), kFtpUnexpectedAnswer);
    EXPECT_EQ(FtpMapReply(kCmdPwd, -11), kFtpUnexpectedAnswer);
    EXPECT_EQ(FtpMapReply(kCmdPwd, 2), kFtpUnexpectedAnswer);
    EXPECT_EQ(FtpMapReply(99, 200), kFtpUnexpectedAnswer);
    EXPECT_EQ(FtpFormatCommand(FtpCommandFormat(kCmdRnto), "a b%s"), "RNTO a b%s");
    EXPECT_EQ(FtpFormatCommand(FtpCommandFormat(kCmdCdup), "ignored"), "CDUP");
    EXPECT_EQ(FtpCommandFormat(kCmdGreeting), nullptr);
}

TEST(FtpReplyText, QuotedNames) {
    std::string name;
    EXPECT_TRUE(FtpQuotedName("257 \"/pub/linux\" is current directory.", name));
    EXPECT_EQ(name, "/pub/linux");
    EXPECT_TRUE(FtpQuotedName("257 \"/say \"\"hi\"\"\" created.", name));
    EXPECT_EQ(name, "/say \"hi\"");
    EXPECT_FALSE(FtpQuotedName("257 /pub is current", name));
    EXPECT_FALSE(FtpQuotedName("257 \"unterminated", name));
    EXPECT_EQ(name, "");
    EXPECT_FALSE(FtpQuotedName("257", name));
    EXPECT_EQ(FtpTextAfterCode("257 /pub is current"), "/pub is current");
    EXPECT_EQ(FtpTextAfterCode("257 "), "");
}

TEST(FtpReplyText, PassiveReplies) {
    uint32_t addr = 0;
    uint16_t port = 0;
    ASSERT_TRUE(FtpParsePassive("227 Entering Passive Mode (10,1,2,3,195,80).", addr, port));
    EXPECT_EQ(addr, inet_addr("10.1.2.3"));
    EXPECT_EQ(port, 195 * 256 + 80);
    ASSERT_TRUE(FtpParsePassive("227 =(127,0,0,1,0,21)", addr, port));
    EXPECT_EQ(port, 21);
    EXPECT_FALSE(FtpParsePassive("227 Entering Passive Mode 10,1,2,3,4,5", addr, port));
    EXPECT_FALSE(FtpParsePassive("227 (10,1,2,3,4)", addr, port));
    EXPECT_FALSE(FtpParsePassive("227 (10,1,2,3,4,256)", addr, port));
    EXPECT_FALSE(FtpParsePassive("227 (10,1,2,3,4,99999)", addr, port));
    EXPECT_FALSE(FtpParsePassive("227 (10,1,,3,4,5)", addr, port));
    EXPECT_FALSE(FtpParsePassive("227 (", addr, port));
}

TEST(FtpLineEnds, ConvertsAcrossBlockBoundaries) {
    FtpLineEnds in;
    char out[32];
    std::string local;
    for (std::string block : {"a\r", "\nb\r", "c\r\r", "\n", "d\r"}) {
        const size_t n = in.FromNetwork(block.data(), block.size(), out);
        local.append(out, n);
    }
    local.append(out, in.FinishFromNetwork(out));
    EXPECT_EQ(local, "a\nb\rc\r\nd\r");

    FtpLineEnds outward;
    std::string wire;
    for (std::string block : {"x\n", "y\r", "\nz\n\n"}) {
        const size_t n = outward.ToNetwork(block.data(), block.size(), out);
        wire.append(out, n);
    }
    EXPECT_EQ(wire, "x\r\ny\r\nz\r\n\r\n");
}

TEST(FtpConfig, ReadsSectionFtpWithSaneFallbacks) {
    test::TempDir tmp;
    SettingsStore store(tmp.file("KM.reg"));
    FtpConfig c = ReadFtpConfig(store);
    EXPECT_FALSE(c.passive);
    EXPECT_EQ(c.port, 21);
    EXPECT_EQ(c.timeout, 30);
    EXPECT_EQ(c.pauseBlocks, 40);
    EXPECT_EQ(c.pauseMs, 100);

    store.PutInt("FTP", "Passive", 1);
    store.PutInt("FTP", "Port", 2121);
    store.PutInt("FTP", "Timeout", 5);
    store.PutInt("FTP", "PauseBlocks", 10);
    store.PutInt("FTP", "PauseMs", 0);
    c = ReadFtpConfig(store);
    EXPECT_TRUE(c.passive);
    EXPECT_EQ(c.port, 2121);
    EXPECT_EQ(c.timeout, 5);
    EXPECT_EQ(c.pauseBlocks, 10);
    EXPECT_EQ(c.pauseMs, 0);

    store.PutInt("FTP", "Port", 70000);
    store.PutInt("FTP", "Timeout", 0);
    store.PutInt("FTP", "PauseBlocks", 0);
    store.PutInt("FTP", "PauseMs", -5);
    c = ReadFtpConfig(store);
    EXPECT_EQ(c.port, 21);
    EXPECT_EQ(c.timeout, 30);
    EXPECT_EQ(c.pauseBlocks, 40);
    EXPECT_EQ(c.pauseMs, 0);
}

TEST(FtpSession, OneSessionPerProcess) {
    FtpSession a;
    FtpSession b;
    std::string text;
    EXPECT_EQ(a.ChangeDir("/"), kFtpNotInitialized);
    EXPECT_EQ(a.Release(), kFtpNoSession);
    ASSERT_EQ(a.Init(), kFtpOk);
    EXPECT_EQ(a.Init(), kFtpAlreadyActive);
    EXPECT_EQ(b.Init(), kFtpAlreadyActive);
    EXPECT_EQ(a.CurrentDir(text), kFtpNotConnected);
    EXPECT_EQ(a.Login("", "u", "p"), kFtpBadParameters);
    EXPECT_EQ(a.List("", "x"), kFtpNotConnected);
    EXPECT_EQ(a.Release(), kFtpOk);
    EXPECT_EQ(b.Init(), kFtpOk);
    EXPECT_EQ(b.Release(), kFtpOk);
}

} // namespace
} // namespace km
