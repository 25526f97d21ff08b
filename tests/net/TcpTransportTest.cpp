#include "net/TcpTransport.h"
#include "SocketPair.h"
#include "net/SocketTable.h"
#include "net/TcpHooks.h"
#include "net/TcpLengthPrefixed.h"
#include "net/TcpRecvUntilClosedEx.h"
#include "net/TcpStatus.h"
#include "net/TcpTrace.h"
#include "support/TempDir.h"

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <climits>
#include <filesystem>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace km {
namespace {

using Clock = std::chrono::steady_clock;
using test::SocketPair;

// Restores the process-wide hooks whatever a test left behind.
class HooksGuard {
public:
    ~HooksGuard() { TcpSetHooks({}); }
};

// A raw client socket connected to 127.0.0.1:port.
int RawConnect(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

TEST(TcpStatus, TextsAndAtoi) {
    EXPECT_STREQ(TcpErrorString(1), "Successful call");
    EXPECT_STREQ(TcpErrorString(-11), "Call cancelled by signal or TcpAbort");
    EXPECT_STREQ(TcpErrorString(-13), "Bad port number or alias");
    EXPECT_STREQ(TcpErrorString(3), "Not a Tcp return code");
    EXPECT_STREQ(TcpErrorString(-3), "Not a Tcp return code");
    EXPECT_EQ(TcpAtoi("230 Logged in"), 230);
    EXPECT_EQ(TcpAtoi(" 230"), 0);
    EXPECT_EQ(TcpAtoi("-5"), 0);
    EXPECT_EQ(TcpAtoi(nullptr), 0);
    EXPECT_EQ(TcpAtoi("99999999999999999999 x"), INT_MAX);
    EXPECT_EQ(TcpAtol("4294967296"), 4294967296L);
}

TEST(TcpConnect, RefusesBeforeLookingAnythingUp) {
    ASSERT_EQ(TcpInit(), kTcpSuccess);
    int sock = 42;
    EXPECT_EQ(TcpConnect(sock, "no-such-host.invalid", nullptr, nullptr), kTcpBadPort);
    EXPECT_EQ(sock, -1);
    uint16_t port = 21;
    EXPECT_EQ(TcpConnect(sock, "", nullptr, &port), kTcpUnknownHost);
    EXPECT_EQ(TcpGetIPAddr("127.0.0.1"), htonl(INADDR_LOOPBACK));
    EXPECT_EQ(TcpGetIPAddr(""), 0xFFFFFFFFu);
}

TEST(TcpConnect, ListenAcceptAndTalk) {
    ASSERT_EQ(TcpInit(), kTcpSuccess);
    int listener = -1;
    uint16_t port = 0;
    ASSERT_EQ(TcpGetListenSocket(listener, nullptr, &port, 1, "127.0.0.1"), kTcpSuccess);
    EXPECT_NE(port, 0);
    EXPECT_EQ(SocketTable::KindOf(listener), kSocketListening);

    int client = -1;
    uint16_t used = port;
    ASSERT_EQ(TcpConnect(client, "127.0.0.1", nullptr, &used, 5), kTcpSuccess);
    EXPECT_EQ(used, port);
    EXPECT_EQ(SocketTable::KindOf(client), kSocketConnected);
    int server = -1;
    ASSERT_EQ(TcpAccept(server, listener, 5), kTcpSuccess);
    EXPECT_EQ(SocketTable::KindOf(server), kSocketAccepted);

    uint32_t peer = 0;
    uint16_t peerPort = 0;
    ASSERT_EQ(TcpGetPeerAddr(server, &peer, &peerPort), kTcpSuccess);
    EXPECT_EQ(peer, htonl(INADDR_LOOPBACK));
    char name[256];
    uint32_t remote = 0;
    EXPECT_GE(TcpGetRemoteID(client, name, sizeof name, &remote), kTcpOverflow);
    EXPECT_EQ(remote, htonl(INADDR_LOOPBACK));

    ASSERT_EQ(TcpSend(client, "hello", 5, false, -1), kTcpSuccess);
    char buf[16];
    EXPECT_EQ(TcpRecv(server, nullptr, 0, 5, -1), 1); // readiness only
    EXPECT_EQ(TcpRecv(server, buf, sizeof buf, 5, -1), 5);
    EXPECT_EQ(std::string(buf, 5), "hello");
    EXPECT_EQ(TcpClose(client), kTcpSuccess);
    EXPECT_EQ(client, -1);
    EXPECT_EQ(TcpRecv(server, buf, sizeof buf, 5, -1), kTcpClosed);

    const auto start = Clock::now();
    EXPECT_EQ(TcpAccept(server, listener, -1), kTcpTimeout);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_EQ(server, -1);
    int none = -1;
    EXPECT_EQ(TcpClose(none), kTcpSuccess);
    EXPECT_EQ(TcpClose(listener), kTcpSuccess);
    EXPECT_EQ(SocketTable::KindOf(port), kSocketUntracked);
}

TEST(TcpConnect, RefusedConnectionAndBusyPort) {
    ASSERT_EQ(TcpInit(), kTcpSuccess);
    int listener = -1;
    uint16_t port = 0;
    ASSERT_EQ(TcpGetListenSocket(listener, nullptr, &port, 1, "127.0.0.1"), kTcpSuccess);
    int second = -1;
    uint16_t samePort = port;
    // Address reuse does not let two sockets listen on one port.
    EXPECT_EQ(TcpGetListenSocket(second, nullptr, &samePort, 1, "127.0.0.1"),
              kTcpBindFailed);
    TcpClose(listener);
    int sock = -1;
    EXPECT_EQ(TcpConnect(sock, "127.0.0.1", nullptr, &port, 5), kTcpConnectFailed);
    EXPECT_EQ(sock, -1);
}

TEST(TcpRecv, TimeoutRules) {
    SocketPair p;
    char buf[8];
    auto start = Clock::now();
    EXPECT_EQ(TcpRecv(p.ours, buf, sizeof buf, -1, -1), kTcpTimeout);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(50));
    start = Clock::now();
    EXPECT_EQ(TcpRecv(p.ours, buf, sizeof buf, 1, -1), kTcpTimeout);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(950));
    // 0 waits without limit: data that comes late is still received.
    p.WriteLater({"late"}, 1200);
    EXPECT_EQ(TcpRecv(p.ours, buf, sizeof buf, 0, -1), 4);
    EXPECT_EQ(TcpRecv(-1, buf, sizeof buf, 0, -1), kTcpError);
}

TEST(TcpHooks, PumpRunsWhileWaitingAndCancelEndsTheWait) {
    HooksGuard guard;
    SocketPair p;
    std::atomic<bool> cancel{false};
    int pumps = 0;
    TcpSetHooks({[&] {
                     if (++pumps == 4)
                         cancel = true;
                 },
                 &cancel});
    char buf[8];
    const auto start = Clock::now();
    EXPECT_EQ(TcpRecv(p.ours, buf, sizeof buf, 10, -1), kTcpCancelled);
    EXPECT_EQ(pumps, 4);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000));

    // A flag that is already on is no new request: the wait runs its course,
    // so the replies after an abort can still be read.
    EXPECT_EQ(TcpRecv(p.ours, buf, sizeof buf, 1, -1), kTcpTimeout);
    cancel = false;
    EXPECT_EQ(TcpRecv(p.ours, buf, sizeof buf, 1, -1), kTcpTimeout);
}

TEST(TcpHooks, AbortFromThePumpCancelsOnlyTheCallInProgress) {
    HooksGuard guard;
    SocketPair p;
    bool abortNow = false;
    TcpSetHooks({[&] {
                     if (abortNow)
                         TcpAbort();
                 },
                 nullptr});
    EXPECT_EQ(TcpAbort(), kTcpSuccess); // nothing blocked: no effect on later calls
    EXPECT_FALSE(TcpIsBlocking());
    p.Write("x");
    char buf[8];
    EXPECT_EQ(TcpRecv(p.ours, buf, sizeof buf, 1, -1), 1);
    abortNow = true;
    int listener = -1;
    uint16_t port = 0;
    ASSERT_EQ(TcpGetListenSocket(listener, nullptr, &port, 1, "127.0.0.1"), kTcpSuccess);
    int accepted = -1;
    EXPECT_EQ(TcpAccept(accepted, listener, 5), kTcpCancelled);
    EXPECT_EQ(TcpWaitMs(500), kTcpCancelled);
    // Cleanup from inside a blocked call only cancels that call.
    ASSERT_EQ(TcpInit(), kTcpSuccess);
    TcpSetHooks({[&] { EXPECT_EQ(TcpCleanup(), kTcpError); }, nullptr});
    EXPECT_EQ(TcpRecv(p.ours, buf, sizeof buf, 5, -1), kTcpCancelled);
    EXPECT_EQ(SocketTable::KindOf(listener), kSocketListening);
    TcpSetHooks({});
    TcpClose(listener);
}

TEST(TcpFlush, DiscardsPendingInput) {
    SocketPair p;
    p.Write(std::string(10000, 'z'));
    EXPECT_EQ(TcpIsDataAvail(p.ours), 1);
    EXPECT_EQ(TcpFlush(p.ours), kTcpSuccess);
    EXPECT_EQ(TcpIsDataAvail(p.ours), 0);
    EXPECT_EQ(TcpIsOOBDataAvail(p.ours), 0);
    EXPECT_EQ(TcpFlush(-1), kTcpError);
}

TEST(TcpCleanup, ClosesTheSocketsOfThisThread) {
    ASSERT_EQ(TcpInit(), kTcpSuccess);
    int listener = -1;
    uint16_t port = 0;
    ASSERT_EQ(TcpGetListenSocket(listener, nullptr, &port, 1, "127.0.0.1"), kTcpSuccess);
    const size_t before = SocketTable::Count();
    ASSERT_GE(before, 1u);
    EXPECT_EQ(TcpCleanup(), kTcpSuccess);
    EXPECT_EQ(SocketTable::Count(), 0u);
    EXPECT_LT(RawConnect(port), 0);
}

TEST(TcpPP, LengthPrefixedMessages) {
    SocketPair p;
    ASSERT_EQ(TcpPPSend(p.ours, "hello", 5, -1), kTcpSuccess);
    EXPECT_EQ(p.ReadTheirs(), std::string("\0\5hello", 7));
    EXPECT_EQ(TcpPPSend(p.ours, "", 70000, -1), kTcpBadLength);

    char buf[8];
    p.Write(std::string("\0\3abc", 5));
    EXPECT_EQ(TcpPPRecv(p.ours, buf, sizeof buf, 1, false, -1), 3);
    EXPECT_EQ(std::string(buf, 3), "abc");
    p.Write(std::string("\0\3abc", 5));
    EXPECT_EQ(TcpPPRecv(p.ours, buf, sizeof buf, 1, true, -1), kTcpBadLength);
    TcpFlush(p.ours);
    p.Write(std::string("\1\0", 2));
    EXPECT_EQ(TcpPPRecv(p.ours, buf, sizeof buf, 1, false, -1), kTcpOverflow);
    p.Write(std::string("\0\0", 2));
    EXPECT_EQ(TcpPPRecv(p.ours, buf, sizeof buf, 1, false, -1), kTcpZeroLength);
    p.Write(std::string("\0\4ab", 4));
    EXPECT_EQ(TcpPPRecv(p.ours, buf, sizeof buf, -1, false, -1), kTcpTimeout);
}

TEST(TcpRecvUntilClosedEx, ReceivesIntoAFileWithProgress) {
    test::TempDir tmp;
    const std::string target = tmp.file("out.bin");
    test::WriteAll(target, "old contents");
    {
        SocketPair p;
        p.WriteLater({std::string(5000, 'a'), std::string(100, 'b')});
        std::thread closer([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            ::shutdown(p.theirs, SHUT_WR);
        });
        std::vector<uint64_t> totals;
        EXPECT_EQ(TcpRecvUntilClosedEx(
                      p.ours, target, 5,
                      [&](uint64_t t) {
                          totals.push_back(t);
                          return true;
                      },
                      -1),
                  kTcpSuccess);
        closer.join();
        ASSERT_GE(totals.size(), 3u);
        EXPECT_EQ(totals.front(), 0u);
        EXPECT_EQ(totals.back(), 5100u);
        EXPECT_EQ(test::ReadAll(target), std::string(5000, 'a') + std::string(100, 'b'));
    }
    {
        // Stopped by the progress function: the old file stays as it was.
        test::WriteAll(target, "old contents");
        SocketPair p;
        p.Write(std::string(9000, 'c'));
        EXPECT_EQ(TcpRecvUntilClosedEx(
                      p.ours, target, 5, [](uint64_t t) { return t == 0; }, -1),
                  kTcpCancelled);
        EXPECT_EQ(test::ReadAll(target), "old contents");
    }
    SocketPair p;
    EXPECT_EQ(TcpRecvUntilClosedEx(p.ours, tmp.file("missing/dir/x"), 1, nullptr, -1),
              kTcpFileError);
}

TEST(TcpTrace, DumpLineLayoutAndMaskedOutput) {
    const unsigned char bytes[] = {'A', 'B', 0x00, 0x7F, 'c', 'd', 'e', 'f', 'g', 0xFF};
    EXPECT_EQ(TcpFormatDumpLine("<", bytes, sizeof bytes), "< 41 42 00 7F 63 64 65 66 - 67 FF " +
                                                               std::string(6 * 3 + 2, ' ') +
                                                               "AB..cdefg.\r\n");
    const unsigned char sixteen[16] = {};
    const std::string full = TcpFormatDumpLine("Overflow", sixteen, sizeof sixteen);
    EXPECT_EQ(full.find("- "), 9u + 8 * 3);
    EXPECT_EQ(full.size(), 9u + 16 * 3 + 2 + 2 + 16 + 2);
    std::string seen;
    TcpSetTraceSink([&](std::string_view line) { seen += line; });
    TcpSetTraceMask(kTraceEnter | kTraceDump);
    SocketPair p;
    TcpSend(p.ours, "hi", 2, false, -1);
    TcpSetTraceMask(0);
    TcpSend(p.ours, "quiet", 5, false, -1);
    TcpSetTraceSink(nullptr);
    EXPECT_NE(seen.find("\tentering TcpSend on socket"), std::string::npos);
    EXPECT_NE(seen.find("> 68 69 "), std::string::npos);
    EXPECT_EQ(seen.find("71 75"), std::string::npos);
}

} // namespace
} // namespace km
