// The engine against servers that misbehave on purpose: replies too long to
// hold or without end, passive replies aimed elsewhere, listings with names
// that would leave the target folder, data connections that stall or vanish.
// Every case must end within its time limit, and a download that did not
// complete must leave its target as it was, with what arrived set aside.
#include "ScriptedServer.h"
#include "ftp/FtpResult.h"
#include "ftp/FtpSession.h"
#include "ftp/RemoteDirectory.h"
#include "net/TcpHooks.h"
#include "support/TempDir.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace km {
namespace {

using test::ScriptedPeer;
using test::ScriptedServer;
using Clock = std::chrono::steady_clock;
using Lines = std::vector<std::string>;

// Far above any timeout used here: only proves that nothing hung.
constexpr auto kNoHang = std::chrono::seconds(10);

const std::string& OneMiB() {
    static const std::string text(1 << 20, 'x');
    return text;
}

// Greets and logs "anna" in; FEAT is refused unless `features` answers it.
void Greet(ScriptedPeer& peer, const std::string& features = {}) {
    peer.Send("220 ready\r\n");
    peer.Answer("331 Password required\r\n");
    peer.Answer("230 Logged in\r\n");
    peer.Answer(features.empty() ? "502 Command not implemented\r\n" : features);
}

// Answers whatever comes as a willing server would, until the client leaves.
void AnswerAnything(ScriptedPeer& peer) {
    for (;;) {
        const std::string line = peer.ReadLine(3000);
        if (line == "<none>")
            return;
        const std::string verb = line.substr(0, 4);
        peer.Send(verb == "USER"   ? "331 Password required\r\n"
                  : verb == "PASS" ? "230 Logged in\r\n"
                  : verb == "NOOP" ? "200 NOOP ok\r\n"
                                   : "502 Not here\r\n");
    }
}

// Sends `line` every 20 ms until the peer is gone or `limit` has passed.
void SendEndlessly(int fd, const std::string& line, std::chrono::seconds limit) {
    const auto end = Clock::now() + limit;
    while (Clock::now() < end) {
        if (::send(fd, line.data(), line.size(), MSG_NOSIGNAL) <= 0)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// Floods `fd` without pause until the peer is gone or `limit` has passed.
void Flood(int fd, std::chrono::seconds limit) {
    const std::string chunk(4096, 'z');
    const auto end = Clock::now() + limit;
    while (Clock::now() < end) {
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        if ((p.revents & (POLLERR | POLLHUP)) != 0 ||
            ::send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0)
            return;
    }
}

int ListenLoopbackAt(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(fd, 4) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// A listener on 127.0.0.1 for passive replies to name; with a port, that one
// (fd stays -1 when it is taken).
struct DataPort {
    DataPort() { fd = test::ListenLoopback(port); }
    explicit DataPort(uint16_t fixed) : fd(ListenLoopbackAt(fixed)), port(fixed) {}
    ~DataPort() {
        if (fd >= 0)
            ::close(fd);
    }
    DataPort(const DataPort&) = delete;
    DataPort& operator=(const DataPort&) = delete;
    // Someone connected: the engine would have finished connecting before
    // its call returned, so a short look is enough.
    bool Contacted() const { return fd >= 0 && test::WaitReadable(fd, 100); }

    int fd = -1;
    uint16_t port = 0;
};

std::string Epsv(const std::string& inParentheses) {
    return "229 Entering Extended Passive Mode " + inParentheses + "\r\n";
}

std::string Epsv(uint16_t port) {
    return Epsv("(|||" + std::to_string(port) + "|)");
}

// Answers EPSV with `data`, takes the transfer command, accepts the data
// connection and confirms it with 150.
// Returns the data connection, or -1 when the client did not go on.
int OpenPassive(ScriptedPeer& peer, const DataPort& data) {
    peer.Answer(Epsv(data.port));
    if (peer.ReadLine() == "<none>") // RETR or LIST
        return -1;
    const int fd = test::AcceptWithin(data.fd, 3000);
    peer.Send("150 Opening data connection\r\n");
    return fd;
}

// One whole passive transfer of `bytes`.
void ServePassive(ScriptedPeer& peer, const DataPort& data, const std::string& bytes) {
    const int fd = OpenPassive(peer, data);
    if (fd < 0)
        return;
    test::SendAll(fd, bytes);
    ::close(fd);
    peer.Send("226 Transfer complete\r\n");
}

bool Sent(const Lines& lines, const std::string& verb) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.rfind(verb, 0) == 0; });
}

class FtpHostile : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(session.Init(), kFtpOk); }
    void TearDown() override {
        TcpSetHooks({});
        if (server)
            Finish();
    }
    void Start(ScriptedServer::Script script, int timeout = 2) {
        if (server)
            Finish();
        server = std::make_unique<ScriptedServer>(std::move(script));
        FtpConfig c;
        c.port = server->port();
        c.timeout = timeout;
        c.passive = true;
        session.SetConfig(c);
    }
    int Login() { return session.Login("127.0.0.1", "anna", "pw"); }
    Lines Finish() {
        session.CloseConnections();
        server->Join();
        Lines lines = server->Lines();
        server.reset();
        return lines;
    }
    // After a reply that did not fit, a NOOP (answered "200 NOOP ok") gets
    // its own answer, or none when the engine gave the connection up; never
    // the rest of the earlier reply.
    void ExpectNextCommandInStep(const char* after) {
        const int r = session.Noop();
        if (r == kFtpNotConnected || r == kFtpSendFailed)
            return;
        EXPECT_EQ(r, kFtpOk) << after;
        EXPECT_EQ(session.LastReply().substr(0, 40), "200 NOOP ok") << after;
    }
    static std::vector<std::string> Entries(const std::string& dir) {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    test::TempDir tmp;
    FtpSession session;
    DataPort data; // where the passive replies send the client
    std::unique_ptr<ScriptedServer> server;
    // Members, as the server thread and the hooks may outlive a failed test's body.
    std::atomic<int> accepted{0};
    std::atomic<bool> cancel{false};
    std::atomic<bool> dataSeen{false};
    int pumpsAfterData = 0;
};

TEST_F(FtpHostile, OversizedRepliesAreCutWithoutLosingStep) {
    Start([](ScriptedPeer& peer) {
        Greet(peer);
        peer.ReadLine(); // HELP: a long line inside a reply
        peer.Send("214-Commands:\r\n " + OneMiB() + "\r\n214 End\r\n");
        peer.Answer("200 NOOP ok\r\n");
        peer.ReadLine(); // PWD: the first line itself is too long
        peer.Send("257 \"" + OneMiB() + "\" is current\r\n");
        AnswerAnything(peer);
    });
    ASSERT_EQ(Login(), kFtpOk);
    auto start = Clock::now();
    const int help = session.Help("");
    EXPECT_LT(Clock::now() - start, kNoHang);
    EXPECT_TRUE(help == kFtpOk || help >= kFtpBadParameters) << help;
    EXPECT_LT(session.LastReply().size(), 4096u);
    ExpectNextCommandInStep("a reply with a 1 MiB second line");

    start = Clock::now();
    std::string dir;
    const int pwd = session.CurrentDir(dir);
    EXPECT_LT(Clock::now() - start, kNoHang);
    EXPECT_TRUE(pwd == kFtpOk || pwd >= kFtpBadParameters) << pwd;
    EXPECT_LT(session.LastReply().size(), 4096u);
    EXPECT_LT(dir.size(), 4096u);
    ExpectNextCommandInStep("a reply with a 1 MiB first line");
}

TEST_F(FtpHostile, OversizedGreetingFailsOrIsCut) {
    Start([](ScriptedPeer& peer) {
        peer.Send("220 " + OneMiB() + "\r\n");
        AnswerAnything(peer);
    });
    const auto start = Clock::now();
    const int login = Login();
    EXPECT_LT(Clock::now() - start, kNoHang);
    EXPECT_LT(session.LastReply().size(), 4096u);
    EXPECT_TRUE(login == kFtpOk || login >= kFtpBadParameters) << login;
    ExpectNextCommandInStep("a 1 MiB greeting");

    // The session is fit for the next site.
    Start([](ScriptedPeer& peer) {
        Greet(peer);
        peer.ReadLine(1000);
    });
    EXPECT_EQ(Login(), kFtpOk);
}

TEST_F(FtpHostile, EndlessMultiLineRepliesEndAtTheTimeout) {
    // A greeting, and a reply after the login, that keep going for longer
    // than the one-second timeout.
    Start(
        [](ScriptedPeer& peer) {
            SendEndlessly(peer.control, "220-and more\r\n", std::chrono::seconds(8));
        },
        1);
    auto start = Clock::now();
    EXPECT_NE(Login(), kFtpOk);
    EXPECT_LT(Clock::now() - start, kNoHang);
    EXPECT_LT(session.LastReply().size(), 4096u);

    Start(
        [](ScriptedPeer& peer) {
            Greet(peer);
            peer.ReadLine(); // HELP
            SendEndlessly(peer.control, "211-and more\r\n", std::chrono::seconds(8));
        },
        1);
    ASSERT_EQ(Login(), kFtpOk);
    start = Clock::now();
    EXPECT_NE(session.Help(""), kFtpOk);
    EXPECT_LT(Clock::now() - start, kNoHang);
    EXPECT_LT(session.LastReply().size(), 4096u);
}

TEST_F(FtpHostile, BadExtendedPassiveRepliesConnectNowhere) {
    // What a careless reading of each reply would reach.
    DataPort bait;
    ASSERT_GE(bait.fd, 0);
    DataPort wrapped(static_cast<uint16_t>(99999 & 0xFFFF)); // may be taken: then unwatched
    uint16_t dead = 0;
    ::close(test::ListenLoopback(dead));
    const std::string p = std::to_string(bait.port);
    const std::vector<std::string> replies = {
        Epsv(dead), // nobody listens there
        Epsv("(|||0|)"),
        Epsv("(|||99999|)"),
        Epsv("(||1|)"),
        Epsv("(||" + p + "|)"),
        Epsv("|||" + p + "|"),  // no parentheses
        Epsv("(|||" + p + ")"), // no closing delimiter
        Epsv("(|||" + p + "1|)"),
    };
    for (const std::string& reply : replies) {
        SCOPED_TRACE(reply);
        Start([reply](ScriptedPeer& peer) {
            Greet(peer);
            peer.Answer(reply);
            AnswerAnything(peer);
        });
        ASSERT_EQ(Login(), kFtpOk);
        const auto start = Clock::now();
        EXPECT_NE(session.List("", tmp.file("list")), kFtpOk);
        EXPECT_LT(Clock::now() - start, kNoHang);
        EXPECT_FALSE(bait.Contacted());
        EXPECT_FALSE(wrapped.Contacted());
        // The failed listing leaves no file, and the control connection works.
        EXPECT_TRUE(Entries(tmp.path()).empty());
        EXPECT_EQ(session.Noop(), kFtpOk);
        EXPECT_FALSE(Sent(Finish(), "LIST")) << "LIST without a data connection";
    }
}

TEST_F(FtpHostile, PassiveAddressIsAlwaysTheControlConnectionsPeer) {
    // The reply names a loopback address we do not listen on, then a public
    // one; only 127.0.0.1 at the named port answers.
    ASSERT_GE(data.fd, 0);
    const std::string port =
        std::to_string(data.port >> 8) + "," + std::to_string(data.port & 0xFF);
    Start([this, port](ScriptedPeer& peer) {
        Greet(peer);
        peer.Answer("500 EPSV not understood\r\n");
        for (const char* host : {"127,0,0,2", "192,0,2,1"}) {
            peer.ReadLine(); // PASV
            peer.Send(std::string("227 Entering Passive Mode (") + host + "," + port + ")\r\n");
            peer.ReadLine(); // LIST
            const int fd = test::AcceptWithin(data.fd, 3000);
            if (fd < 0) {
                peer.Send("425 No data connection\r\n");
                continue;
            }
            ++accepted;
            peer.Send("150 Here it comes\r\n");
            test::SendAll(fd, "listing\r\n");
            ::close(fd);
            peer.Send("226 Done\r\n");
        }
        peer.ReadLine(1000);
    });
    ASSERT_EQ(Login(), kFtpOk);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(session.List("", tmp.file("list")), kFtpOk);
        EXPECT_EQ(test::ReadAll(tmp.file("list")), "listing\n");
    }
    EXPECT_EQ(accepted, 2);
}

// A listing that names files outside the folder it lists, or not at all.
std::string HostileListing(const std::string& longName) {
    const std::string file = "-rw-r--r--   1 ftp ftp   10 Jan 01  2020 ";
    const std::string dir = "drwxr-xr-x   2 ftp ftp 4096 Jan 01  2020 ";
    return "total 9\r\n" + file + "readme.txt\r\n" + dir + "docs\r\n" + file + "a/b\r\n" + file +
           "etc/\r\n" + file + "../../etc/passwd\r\n" + file + "/etc/passwd\r\n" + dir + "..\r\n" +
           dir + ".\r\n" + file + "nul" + std::string(1, '\0') + "byte\r\n" + file + longName +
           "\r\n" + "lrwxrwxrwx   1 ftp ftp   11 Jan 01  2020 link -> /etc/passwd\r\n" +
           "01-01-20  10:00AM       <DIR>          up/..\r\n" +
           "01-01-20  10:00AM                  12 dos.txt\r\n";
}

std::string HostileMachineListing(const std::string& longName) {
    return "type=cdir; /home/anna\r\n"
           "type=pdir; /home\r\n"
           "type=file;size=5; good.txt\r\n"
           "type=dir; sub\r\n"
           "type=file; ../../etc/passwd\r\n"
           "type=file; /etc/passwd\r\n"
           "type=file; a/b\r\n"
           "type=dir; ..\r\n"
           "type=dir; .\r\n"
           "type=file; nul" +
           std::string(1, '\0') + "x\r\n" + "type=file;size=1; " + longName + "\r\n" +
           "type=file; \r\n";
}

// The listed names, the long one taken out: it may be shown, but only whole.
std::vector<std::string> NamesBesides(const std::vector<RemoteEntry>& rows,
                                      const std::string& longName) {
    std::vector<std::string> names;
    for (const RemoteEntry& e : rows) {
        if (e.name != longName)
            names.push_back(e.name);
    }
    return names;
}

TEST_F(FtpHostile, ListingsYieldOnlySafeNames) {
    const std::string longName(4000, 'n');
    ASSERT_GE(data.fd, 0);
    Start([this, longName](ScriptedPeer& peer) {
        Greet(peer);
        ServePassive(peer, data, HostileListing(longName));
        peer.ReadLine(1000);
    });
    ASSERT_EQ(Login(), kFtpOk);
    std::vector<RemoteEntry> rows;
    bool readFailed = true;
    ASSERT_EQ(ListRemoteDirectory(session, false, tmp.file("listing"), rows, readFailed), kFtpOk);
    EXPECT_FALSE(readFailed);
    EXPECT_EQ(NamesBesides(rows, longName), (Lines{"readme.txt", "docs", "link", "dos.txt"}));
    EXPECT_TRUE(Entries(tmp.path()).empty()) << "the listing file is removed";
    EXPECT_EQ(Finish(), (Lines{"USER anna", "PASS pw", "FEAT", "EPSV", "LIST", "<none>"}));

    // The same names through MLSD, where the server offers it.
    Start([this, longName](ScriptedPeer& peer) {
        Greet(peer, "211-Features:\r\n MLST type*;size*;modify*;\r\n211 End\r\n");
        ServePassive(peer, data, HostileMachineListing(longName));
        peer.ReadLine(1000);
    });
    ASSERT_EQ(Login(), kFtpOk);
    ASSERT_TRUE(session.Features().mlsd);
    ASSERT_EQ(ListRemoteDirectory(session, false, tmp.file("listing"), rows, readFailed), kFtpOk);
    EXPECT_FALSE(readFailed);
    EXPECT_EQ(NamesBesides(rows, longName), (Lines{"good.txt", "sub"}));
    EXPECT_EQ(Finish(), (Lines{"USER anna", "PASS pw", "FEAT", "EPSV", "MLSD", "<none>"}));

    // Straight from the parsers, as VMS text too.
    EXPECT_EQ(NamesBesides(ParseRemoteListing(HostileListing(longName), true), longName),
              (Lines{"readme.txt", "docs", "link", "dos.txt"}));
    EXPECT_EQ(NamesBesides(ParseMachineListing(HostileMachineListing(longName)), longName),
              (Lines{"good.txt", "sub"}));
}

TEST_F(FtpHostile, OverlongLocalNameFailsWithoutLeavingAFile) {
    const std::string name(4000, 'r');
    const std::string folder = tmp.file("target");
    std::filesystem::create_directory(folder);
    ASSERT_GE(data.fd, 0);
    // A server that would serve the file, should the engine ask for it.
    Start([this](ScriptedPeer& peer) {
        Greet(peer);
        peer.Answer("200 Type set to I\r\n");
        ServePassive(peer, data, "content");
        peer.ReadLine(1000);
    });
    ASSERT_EQ(Login(), kFtpOk);
    for (bool resume : {false, true}) {
        const int r = session.Retrieve(name, folder + "/" + name, 'I', false, resume);
        EXPECT_NE(r, kFtpOk);
        EXPECT_GE(r, kFtpBadParameters);
    }
    EXPECT_EQ(FtpSession::PartialDownloadSize(folder + "/" + name), -1);
    EXPECT_TRUE(Entries(folder).empty());
    EXPECT_EQ(Entries(tmp.path()), (Lines{"target"}));
}

// Serves a download that sends `head` and then stalls; answers the ABOR.
void ServeStalledDownload(ScriptedPeer& peer, const DataPort& data, const std::string& head) {
    Greet(peer);
    peer.Answer("200 Type set to I\r\n");
    const int fd = OpenPassive(peer, data);
    test::SendAll(fd, head);
    peer.ReadLine(8000); // ABOR, once the client gave up
    peer.Send("426 Aborted\r\n226 ABOR done\r\n");
    ::close(fd);
    peer.ReadLine(1000);
}

TEST_F(FtpHostile, StalledDownloadTimesOutAndKeepsWhatArrived) {
    const std::string head(5000, 'h');
    const std::string tail(3000, 't');
    const std::string target = tmp.file("file.bin");
    test::WriteAll(target, "old content");
    ASSERT_GE(data.fd, 0);
    Start([this, head](ScriptedPeer& peer) { ServeStalledDownload(peer, data, head); });
    ASSERT_EQ(Login(), kFtpOk);
    const auto start = Clock::now();
    const int r = session.Retrieve("file.bin", target, 'I', false);
    EXPECT_LT(Clock::now() - start, kNoHang);
    EXPECT_NE(r, kFtpOk);
    EXPECT_EQ(test::ReadAll(target), "old content");
    EXPECT_EQ(FtpSession::PartialDownloadSize(target), static_cast<int64_t>(head.size()));
    EXPECT_TRUE(Sent(Finish(), "ABOR"));

    // Resuming proves the kept bytes are the ones that arrived.
    Start([this, tail](ScriptedPeer& peer) {
        Greet(peer);
        peer.Answer("200 Type set to I\r\n");
        peer.Answer(Epsv(data.port));
        peer.Answer("350 Restarting\r\n");
        peer.ReadLine(); // RETR
        const int fd = test::AcceptWithin(data.fd, 3000);
        peer.Send("150 Opening data connection\r\n");
        test::SendAll(fd, tail);
        ::close(fd);
        peer.Send("226 Transfer complete\r\n");
        peer.ReadLine(1000);
    });
    ASSERT_EQ(Login(), kFtpOk);
    EXPECT_EQ(session.Retrieve("file.bin", target, 'I', false, true), kFtpOk);
    EXPECT_EQ(test::ReadAll(target), head + tail);
    EXPECT_EQ(FtpSession::PartialDownloadSize(target), -1);
    const Lines lines = Finish();
    EXPECT_TRUE(Sent(lines, "REST 5000"));
}

TEST_F(FtpHostile, CancelFlagFromThePumpAbortsAStalledDownload) {
    const std::string head(3000, 'h');
    const std::string target = tmp.file("file.bin");
    ASSERT_GE(data.fd, 0);
    Start([this, head](ScriptedPeer& peer) { ServeStalledDownload(peer, data, head); }, 3);
    ASSERT_EQ(Login(), kFtpOk);
    // Cancels only once data flows, so the abort hits the transfer itself.
    session.SetProgressFunction([this](int, uint64_t) { dataSeen = true; });
    TcpSetHooks({[this] {
                     if (dataSeen && ++pumpsAfterData == 3)
                         cancel = true;
                 },
                 &cancel});
    const auto start = Clock::now();
    EXPECT_EQ(session.Retrieve("file.bin", target, 'I', true), kFtpAborted);
    EXPECT_LT(Clock::now() - start, kNoHang);
    TcpSetHooks({});
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_EQ(FtpSession::PartialDownloadSize(target), static_cast<int64_t>(head.size()));
    EXPECT_TRUE(Sent(Finish(), "ABOR"));
}

TEST_F(FtpHostile, ServerVanishingMidTransferLeavesOnlyThePartialFile) {
    const std::string head(2500, 'h');
    const std::string target = tmp.file("file.bin");
    ASSERT_GE(data.fd, 0);

    // Both connections closed at once.
    Start([this, head](ScriptedPeer& peer) {
        Greet(peer);
        peer.Answer("200 Type set to I\r\n");
        const int fd = OpenPassive(peer, data);
        test::SendAll(fd, head);
        ::close(fd);
        peer.Close();
    });
    ASSERT_EQ(Login(), kFtpOk);
    auto start = Clock::now();
    EXPECT_NE(session.Retrieve("file.bin", target, 'I', false), kFtpOk);
    EXPECT_LT(Clock::now() - start, kNoHang);
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_EQ(FtpSession::PartialDownloadSize(target), static_cast<int64_t>(head.size()));
    EXPECT_NE(session.Noop(), kFtpOk);
    Finish();

    // The control connection closed, the data connection left hanging.
    Start(
        [this, head](ScriptedPeer& peer) {
            Greet(peer);
            peer.Answer("200 Type set to I\r\n");
            const int fd = OpenPassive(peer, data);
            test::SendAll(fd, head);
            peer.Close();
            test::WaitReadable(fd, 8000); // until the client closes it
            ::close(fd);
        },
        1);
    ASSERT_EQ(Login(), kFtpOk);
    start = Clock::now();
    EXPECT_NE(session.Retrieve("file.bin", target, 'I', false), kFtpOk);
    EXPECT_LT(Clock::now() - start, kNoHang);
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_EQ(FtpSession::PartialDownloadSize(target), static_cast<int64_t>(head.size()));
    Finish();

    // Nothing of it sticks to the next login.
    Start([](ScriptedPeer& peer) {
        Greet(peer);
        peer.Answer("200 NOOP ok\r\n");
    });
    ASSERT_EQ(Login(), kFtpOk);
    EXPECT_EQ(session.Noop(), kFtpOk);
}

TEST_F(FtpHostile, AbortAgainstAServerThatKeepsSendingIsBounded) {
    const std::string target = tmp.file("file.bin");
    ASSERT_GE(data.fd, 0);
    // ABOR answered with garbage, or not at all; the data keeps coming.
    for (const std::string abortReply : {"garbage without a code\r\n", ""}) {
        SCOPED_TRACE(abortReply);
        Start(
            [this, abortReply](ScriptedPeer& peer) {
                Greet(peer);
                peer.Answer("200 Type set to I\r\n");
                const int fd = OpenPassive(peer, data);
                test::SendAll(fd, std::string(8192, 'd'));
                std::thread flood([fd] { Flood(fd, std::chrono::seconds(8)); });
                peer.ReadLine(); // ABOR
                peer.Send(abortReply);
                peer.Answer("200 NOOP ok\r\n");
                flood.join();
                ::close(fd);
            },
            1);
        ASSERT_EQ(Login(), kFtpOk);
        session.SetProgressFunction([this](int, uint64_t) { session.Cancel(); });
        const auto start = Clock::now();
        EXPECT_EQ(session.Retrieve("file.bin", target, 'I', true), kFtpAborted);
        EXPECT_LT(Clock::now() - start, kNoHang);
        EXPECT_FALSE(std::filesystem::exists(target));
        EXPECT_GT(FtpSession::PartialDownloadSize(target), 0);
        EXPECT_EQ(session.Noop(), kFtpOk);
        EXPECT_EQ(session.LastReply(), "200 NOOP ok");
        session.SetProgressFunction({});
        Finish();
    }
}

} // namespace
} // namespace km
