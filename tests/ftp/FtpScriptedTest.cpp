// The engine against a scripted server, for what a real server will not do on
// demand: odd segmentation, replies outside a command's table, broken data
// connections, firewall logins and hostile passive replies.
#include "ScriptedServer.h"
#include "ftp/FtpResult.h"
#include "ftp/FtpSession.h"
#include "net/TcpHooks.h"
#include "net/TcpLog.h"
#include "support/TempDir.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace km {
namespace {

using test::ScriptedPeer;
using test::ScriptedServer;
using Lines = std::vector<std::string>;

FtpConfig QuickConfig(uint16_t port) {
    FtpConfig c;
    c.port = port;
    c.timeout = 3;
    c.passive = false;
    return c;
}

// Greets, accepts "USER anna" / "PASS pw", and knows no FEAT.
void Greet(ScriptedPeer& peer) {
    peer.Send("220 ready\r\n");
    peer.Answer("331 Password required\r\n");
    peer.Answer("230 Logged in\r\n");
    peer.Answer("502 Command not implemented\r\n");
}

class FtpScripted : public testing::Test {
protected:
    // Runs `script` as the server and logs in to it.
    void SetUp() override { ASSERT_EQ(session.Init(), kFtpOk); }
    void Start(ScriptedServer::Script script, bool passive = false) {
        server = std::make_unique<ScriptedServer>(std::move(script));
        FtpConfig c = QuickConfig(server->port());
        c.passive = passive;
        session.SetConfig(c);
    }
    int Login() { return session.Login("127.0.0.1", "anna", "pw"); }
    Lines Finish() {
        session.CloseConnections();
        server->Join();
        return server->Lines();
    }

    test::TempDir tmp;
    FtpSession session;
    std::unique_ptr<ScriptedServer> server;
};

TEST_F(FtpScripted, LoginReadsRepliesHoweverTheyAreCut) {
    test::TempDir logDir;
    TcpLogFile log;
    ASSERT_TRUE(log.Open(logDir.file("log")));
    Start([](ScriptedPeer& peer) {
        peer.Send("220-Welcome\r\n22");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        peer.Send("0-to the ");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        peer.Send("test\r\n220 ready\r\n");
        peer.Answer("331 Password required\r\n");
        // Two replies in one segment: the second one answers the FEAT to come.
        peer.Answer("230 Logged in\r\n502 No FEAT here\r\n");
        peer.ReadLine(); // FEAT, answered already
        peer.Answer("257 \"/home/anna\" is current\r\n");
    });
    session.SetLogFile(log.handle());
    ASSERT_EQ(Login(), kFtpOk);
    EXPECT_EQ(session.LastReply(), "230 Logged in");
    std::string dir;
    EXPECT_EQ(session.CurrentDir(dir), kFtpOk);
    EXPECT_EQ(dir, "/home/anna");
    EXPECT_EQ(Finish(), (Lines{"USER anna", "PASS pw", "FEAT", "PWD"}));
    log.Close();
    EXPECT_EQ(test::ReadAll(logDir.file("log")),
              "220-Welcome\r\n220-to the test\r\n220 ready\r\nUSER anna\r\n"
              "331 Password required\r\nPASS **\r\n230 Logged in\r\nFEAT\r\n"
              "502 No FEAT here\r\nPWD\r\n"
              "257 \"/home/anna\" is current\r\n");
}

TEST_F(FtpScripted, RepliesOutsideACommandsTableAndOddReplies) {
    Start([](ScriptedPeer& peer) {
        Greet(peer);
        peer.Answer("226 Transfer complete\r\n"); // CWD
        peer.Answer("250-Directory changed\r\nfree text\r\n 250 still text\r\n250 Done\r\n");
        peer.Answer("257 /srv is your directory\r\n");           // PWD
        peer.Answer("257 \"/srv/new \"\"dir\"\"\" created\r\n"); // MKD
        peer.Answer("500 " + std::string(3000, 'x') + "\r\n");   // CDUP
        peer.ReadLine();                                         // TYPE L 8
        peer.Send("200 Type set\r\n");
        peer.Answer("215 UNIX Type: L8\r\n"); // SYST
        peer.Answer("350 Ready for RNTO\r\n");
        peer.Answer("250 Renamed\r\n");
        peer.Answer("214-Commands:\r\n USER PASS\r\n214 End\r\n");
        peer.Answer("200 NOOP ok\r\n");
        peer.Answer("350 Restarting at 4096\r\n");
        peer.Answer("202 Not needed\r\n");
        peer.ReadLine(); // DELE, left without an answer
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    });
    ASSERT_EQ(Login(), kFtpOk);
    EXPECT_EQ(session.ChangeDir("a"), kFtpUnexpectedAnswer);
    EXPECT_EQ(session.ChangeDir("b"), kFtpOk);
    std::string text;
    EXPECT_EQ(session.CurrentDir(text), kFtpNoDirectory);
    EXPECT_EQ(text, "/srv is your directory");
    EXPECT_EQ(session.MakeDir("new \"dir\"", text), kFtpOk);
    EXPECT_EQ(text, "/srv/new \"dir\"");
    EXPECT_EQ(session.ParentDir(), kFtpUnexpectedAnswer); // the line did not fit
    EXPECT_EQ(session.LastReply().substr(0, 8), "500 xxxx");
    session.FlushReplies();
    EXPECT_EQ(session.LastReply(), "");
    EXPECT_EQ(session.SetType('A'), kFtpOk); // current after connecting: nothing sent
    EXPECT_EQ(session.SetType('L'), kFtpOk);
    EXPECT_EQ(session.SetType('L'), kFtpOk);
    EXPECT_EQ(session.SetType('X'), kFtpBadParameters);
    const std::string_view hosts[] = {"Dos", "Windows", "WIN32", "Unix", "VMS"};
    EXPECT_EQ(session.SystemType(hosts), 3);
    EXPECT_EQ(session.Rename("old", "new"), kFtpOk);
    EXPECT_EQ(session.Help(""), kFtpOk);
    EXPECT_EQ(session.LastReply(), "214-Commands:\n USER PASS\n214 End");
    EXPECT_EQ(session.Noop(), kFtpOk);
    EXPECT_EQ(session.Restart(0), kFtpRestartOk); // nothing sent
    EXPECT_EQ(session.Restart(4096), kFtpRestartOk);
    EXPECT_EQ(session.Account("acct"), kFtpOk);
    // A name with a line break would smuggle in a second command.
    EXPECT_EQ(session.DeleteFile("x\r\nRMD /"), kFtpBadParameters);
    EXPECT_EQ(session.Rename("a", "b\nDELE c"), kFtpBadParameters);
    FtpConfig brief = QuickConfig(server->port());
    brief.timeout = 1;
    session.SetConfig(brief);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(session.DeleteFile("f"), kFtpUnexpectedAnswer); // timed out
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(950));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1400));
    EXPECT_EQ(Finish(), (Lines{"USER anna", "PASS pw", "FEAT", "CWD a", "CWD b", "PWD", "MKD new \"dir\"",
                               "CDUP", "TYPE L 8", "SYST", "RNFR old", "RNTO new", "HELP", "NOOP",
                               "REST 4096", "ACCT acct", "DELE f"}));
}

// Serves one active-mode download: data as given, then `final` on the control
// connection after the data connection is closed.
void ServeActiveDownload(ScriptedPeer& peer, const std::string& data, const std::string& final) {
    Greet(peer);
    peer.Answer("200 Type set to I\r\n");
    const std::string port = peer.ReadLine();
    const uint16_t p = test::PortOfPortCommand(port);
    peer.Send(p ? "200 PORT ok\r\n" : "501 bad PORT\r\n");
    peer.ReadLine(); // RETR
    peer.Send("150 Opening data connection\r\n");
    const int data_fd = test::ConnectLoopback(p);
    test::SendAll(data_fd, data);
    ::close(data_fd);
    if (!final.empty())
        peer.Send(final);
    peer.ReadLine(1000);
}

TEST_F(FtpScripted, ActiveDownloadWithProgress) {
    const std::string data(10000, 'd');
    Start([&](ScriptedPeer& peer) { ServeActiveDownload(peer, data, "226 Done\r\n"); });
    ASSERT_EQ(Login(), kFtpOk);
    std::vector<uint64_t> seen;
    session.SetProgressFunction([&](int zero, uint64_t bytes) {
        EXPECT_EQ(zero, 0);
        seen.push_back(bytes);
    });
    EXPECT_EQ(session.Retrieve("file.bin", tmp.file("file.bin"), 'I', true), kFtpOk);
    EXPECT_EQ(test::ReadAll(tmp.file("file.bin")), data);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), data.size());
    const Lines lines = Finish();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[3], "TYPE I");
    EXPECT_EQ(lines[4].rfind("PORT 127,0,0,1,", 0), 0u);
    EXPECT_EQ(lines[5], "RETR file.bin");
}

TEST_F(FtpScripted, DataClosedWithoutFinalReplyKeepsTheOldFile) {
    test::WriteAll(tmp.file("keep.txt"), "previous");
    Start([&](ScriptedPeer& peer) { ServeActiveDownload(peer, "partial", "451 Local error\r\n"); });
    ASSERT_EQ(Login(), kFtpOk);
    EXPECT_EQ(session.Retrieve("keep.txt", tmp.file("keep.txt"), 'I', false), kFtpUnexpectedAnswer);
    EXPECT_EQ(test::ReadAll(tmp.file("keep.txt")), "previous");
    Finish();

    // The server drops the control connection as well.
    Start([&](ScriptedPeer& peer) {
        ServeActiveDownload(peer, "partial", "");
        peer.Close();
    });
    ASSERT_EQ(Login(), kFtpOk);
    EXPECT_EQ(session.Retrieve("keep.txt", tmp.file("keep.txt"), 'I', false), kFtpUnexpectedAnswer);
    EXPECT_EQ(test::ReadAll(tmp.file("keep.txt")), "previous");
}

TEST_F(FtpScripted, LocalFileProblemsFailBeforeAnythingIsSent) {
    Start([](ScriptedPeer& peer) {
        Greet(peer);
        peer.ReadLine(1000);
    });
    ASSERT_EQ(Login(), kFtpOk);
    EXPECT_EQ(session.Retrieve("f", tmp.file("no/such/dir/f"), 'I', false), kFtpCannotOpenLocal);
    EXPECT_EQ(session.Retrieve("f", tmp.path(), 'I', false), kFtpCannotOpenLocal);
    EXPECT_EQ(session.Store(tmp.file("missing"), "f", 'I', false), kFtpCannotOpenLocal);
    EXPECT_EQ(session.Store(tmp.path(), "f", 'I', false), kFtpCannotOpenLocal);
    EXPECT_EQ(session.List("", ""), kFtpBadParameters);
    EXPECT_EQ(Finish(), (Lines{"USER anna", "PASS pw", "FEAT", "<none>"}));
}

TEST_F(FtpScripted, PassiveReplyNamingAnotherHostConnectsToTheServer) {
    uint16_t dataPort = 0;
    const int dataListener = test::ListenLoopback(dataPort);
    ASSERT_GE(dataListener, 0);
    Start(
        [&](ScriptedPeer& peer) {
            Greet(peer);
            peer.Answer("500 EPSV not understood\r\n");
            peer.ReadLine(); // PASV
            peer.Send("227 Entering Passive Mode (10,9,8,7," + std::to_string(dataPort >> 8) + "," +
                      std::to_string(dataPort & 0xFF) + ")\r\n");
            peer.ReadLine(); // LIST
            const int fd = test::AcceptWithin(dataListener, 3000);
            peer.Send("150 Here it comes\r\n");
            test::SendAll(fd, "line one\r\nline two\r\n");
            ::close(fd);
            peer.Send("226 Done\r\n");
            peer.Answer("502 No passive here\r\n");
            peer.Answer("227 Entering Passive Mode 10,9,8,7,1,2\r\n");
            peer.ReadLine(1000);
        },
        true);
    ASSERT_EQ(Login(), kFtpOk);
    EXPECT_EQ(session.List("", tmp.file("list")), kFtpOk);
    // Type A: the network's CR LF arrives as local line ends.
    EXPECT_EQ(test::ReadAll(tmp.file("list")), "line one\nline two\n");
    EXPECT_EQ(session.List("/pub", tmp.file("list")), kFtpNoPassive);
    EXPECT_EQ(session.List("", tmp.file("list")), kFtpUnexpectedAnswer);
    ::close(dataListener);
    EXPECT_EQ(Finish(), (Lines{"USER anna", "PASS pw", "FEAT", "EPSV", "PASV", "LIST", "PASV", "PASV",
                               "<none>"}));
}

TEST_F(FtpScripted, AborIsRepeatedWhileTheServerSays500) {
    Start([&](ScriptedPeer& peer) {
        Greet(peer);
        peer.Answer("200 Type set to I\r\n");
        const uint16_t p = test::PortOfPortCommand(peer.ReadLine());
        peer.Send("200 PORT ok\r\n");
        peer.ReadLine(); // RETR
        peer.Send("150 Opening data connection\r\n");
        const int fd = test::ConnectLoopback(p);
        test::SendAll(fd, std::string(8192, 'x'));
        peer.Answer("500 What?\r\n");                           // ABOR
        peer.Answer("426 Aborted\r\n226 Abort successful\r\n"); // ABOR again
        ::close(fd);
        peer.Answer("257 \"/\"\r\n"); // PWD
    });
    ASSERT_EQ(Login(), kFtpOk);
    session.SetProgressFunction([&](int, uint64_t) { session.Cancel(); });
    EXPECT_EQ(session.Retrieve("big", tmp.file("big"), 'I', true), kFtpAborted);
    EXPECT_FALSE(std::filesystem::exists(tmp.file("big")));
    std::string dir;
    EXPECT_EQ(session.CurrentDir(dir), kFtpOk);
    const Lines lines = Finish();
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[6], "ABOR");
    EXPECT_EQ(lines[7], "ABOR");
    EXPECT_EQ(lines[8], "PWD");
}

TEST_F(FtpScripted, CancelFlagFromThePumpEndsAStalledTransfer) {
    Start([&](ScriptedPeer& peer) {
        Greet(peer);
        peer.Answer("200 Type set to I\r\n");
        const uint16_t p = test::PortOfPortCommand(peer.ReadLine());
        peer.Send("200 PORT ok\r\n");
        peer.ReadLine(); // RETR
        peer.Send("150 Opening data connection\r\n");
        const int fd = test::ConnectLoopback(p);
        test::SendAll(fd, "a little"); // and then nothing more
        peer.Answer("426 Aborted\r\n226 Abort successful\r\n");
        ::close(fd);
    });
    ASSERT_EQ(Login(), kFtpOk);
    std::atomic<bool> cancel{false};
    int pumps = 0;
    TcpSetHooks({[&] {
                     if (++pumps == 5)
                         cancel = true;
                 },
                 &cancel});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(session.Retrieve("stalled", tmp.file("stalled"), 'I', false), kFtpAborted);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    TcpSetHooks({});
    EXPECT_GE(pumps, 5);
    EXPECT_FALSE(std::filesystem::exists(tmp.file("stalled")));
    // What arrived is kept aside for a resume.
    EXPECT_EQ(FtpSession::PartialDownloadSize(tmp.file("stalled")), 8);
    const Lines lines = Finish();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[6], "ABOR");
}

struct FirewallCase {
    int mode;
    Lines expected;
};

class FtpFirewall : public FtpScripted, public testing::WithParamInterface<FirewallCase> {};

TEST_P(FtpFirewall, EachModeSendsItsCommands) {
    const FirewallCase& c = GetParam();
    Start([&](ScriptedPeer& peer) {
        peer.Send("220 Firewall\r\n");
        for (size_t i = 0; i < c.expected.size(); ++i) {
            const std::string line = peer.ReadLine();
            if (line.rfind("USER", 0) == 0)
                peer.Send("331 Password please\r\n");
            else if (line.rfind("PASS", 0) == 0)
                peer.Send("230 Welcome\r\n");
            else
                peer.Send("220 Connected to the site\r\n");
        }
    });
    EXPECT_EQ(session.FirewallLogin("127.0.0.1", "fw", "fwpw", "ftp.example", "anna", "pw", c.mode),
              kFtpOk);
    EXPECT_EQ(Finish(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, FtpFirewall,
    testing::Values(
        FirewallCase{1, {"USER fw", "PASS fwpw", "SITE ftp.example", "USER anna", "PASS pw"}},
        FirewallCase{2, {"OPEN ftp.example", "USER anna", "PASS pw"}},
        FirewallCase{3, {"USER fw", "PASS fwpw", "USER anna@ftp.example", "PASS pw"}},
        FirewallCase{4, {"USER anna@ftp.example", "PASS pw"}}),
    [](const testing::TestParamInfo<FirewallCase>& info) {
        return "Mode" + std::to_string(info.param.mode);
    });

TEST_F(FtpScripted, FirewallErrorsHaveTheirOwnResults) {
    Start([](ScriptedPeer& peer) {
        peer.Send("220 Firewall\r\n");
        peer.Answer("331 Password please\r\n");
        peer.Answer("530 Not you\r\n");
    });
    EXPECT_EQ(session.FirewallLogin("127.0.0.1", "fw", "bad", "site", "anna", "pw", 1),
              kFtpFirewallRejects);
    Finish();

    Start([](ScriptedPeer& peer) {
        peer.Send("220 Firewall\r\n");
        peer.Answer("550 Unknown site\r\n");
    });
    EXPECT_EQ(session.FirewallLogin("127.0.0.1", "", "", "site", "anna", "pw", 2),
              kFtpConnectError);
    Finish();

    Start([](ScriptedPeer& peer) {
        peer.Send("220 Firewall\r\n");
        peer.Answer("530 Not allowed\r\n");
    });
    EXPECT_EQ(session.FirewallLogin("127.0.0.1", "", "", "site", "anna", "pw", 4),
              kFtpConnectError);
    Finish();

    // Mode 5 and missing addresses: refused without connecting.
    server = std::make_unique<ScriptedServer>([](ScriptedPeer&) {}, 300);
    session.SetConfig(QuickConfig(server->port()));
    EXPECT_EQ(session.FirewallLogin("127.0.0.1", "", "", "site", "a", "p", 5), kFtpBadParameters);
    EXPECT_EQ(session.FirewallLogin("", "", "", "site", "a", "p", 1), kFtpBadParameters);
    EXPECT_EQ(session.FirewallLogin("127.0.0.1", "", "", "", "a", "p", 1), kFtpBadParameters);
    server->Join();
    EXPECT_FALSE(server->connected());

    // Nothing listens on the port: the firewall "has no FTP server".
    uint16_t closedPort = 0;
    ::close(test::ListenLoopback(closedPort));
    session.SetConfig(QuickConfig(closedPort));
    EXPECT_EQ(session.FirewallLogin("127.0.0.1", "", "", "site", "a", "p", 2), kFtpFirewallNoFtp);
    EXPECT_EQ(session.Login("127.0.0.1", "a", "p"), kFtpNoFtpServer);
    // Any other connection failure is an "Error during connection with firewall".
    session.SetConfig(QuickConfig(0));
    EXPECT_EQ(session.FirewallLogin("127.0.0.1", "", "", "site", "a", "p", 2),
              kFtpFirewallConnectError);
    EXPECT_EQ(session.Login("127.0.0.1", "a", "p"), kFtpConnectError);
}

} // namespace
} // namespace km
