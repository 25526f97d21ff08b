// The engine against pyftpdlib as servers are met today: passive-only and
// active-only, over IPv6, with explicit TLS, with MLSD/SIZE/MDTM, and
// transfers that are interrupted and resumed.
#include "PyFtpServer.h"
#include "ftp/FtpConnection.h"
#include "ftp/FtpResult.h"
#include "ftp/FtpSession.h"
#include "ftp/FtpSiteBook.h"
#include "ftp/RemoteDirectory.h"
#include "net/TcpLog.h"
#include "settings/SettingsStore.h"
#include "support/RandomBytes.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

namespace km {
namespace {

using test::RandomBytes;

bool HaveIpv6Loopback() {
    const int fd = ::socket(AF_INET6, SOCK_STREAM, 0);
    sockaddr_in6 sa{};
    sa.sin6_family = AF_INET6;
    sa.sin6_addr = in6addr_loopback;
    const bool ok = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
}

// One server per test, with a session logged in to it.
class FtpModes : public testing::Test {
protected:
    void SetUp() override {
        if (const std::string missing = test::PyFtpMissing(); !missing.empty())
            GTEST_SKIP() << missing;
    }
    // False, with the reason added as a failure, when the server does not
    // start or the session cannot begin.
    bool Serve(const test::PyFtpOptions& options) {
        server = std::make_unique<test::PyFtpServer>(root.path(), "kestrum", "s3cret!", options);
        if (server->port() == 0) {
            ADD_FAILURE() << server->startError();
            return false;
        }
        config.port = server->port();
        config.timeout = 10;
        session.SetConfig(config);
        const int init = session.Init();
        EXPECT_EQ(init, kFtpOk) << "FtpSession::Init";
        return init == kFtpOk;
    }
    int Login(const std::string& host = "127.0.0.1") {
        return session.Login(host, "kestrum", "s3cret!");
    }
    // Up and down again; the bytes must come back as they went.
    void RoundTrip(const std::string& name, const std::string& bytes) {
        test::WriteAll(local.file(name), bytes);
        ASSERT_EQ(session.Store(local.file(name), name, 'I', false), kFtpOk) << session.LastReply();
        EXPECT_EQ(test::ReadAll(root.file(name)), bytes);
        ASSERT_EQ(session.Retrieve(name, local.file(name + ".back"), 'I', false), kFtpOk)
            << session.LastReply();
        EXPECT_EQ(test::ReadAll(local.file(name + ".back")), bytes);
    }
    void TearDown() override { session.Release(); }

    test::TempDir root, local;
    FtpConfig config;
    FtpSession session;
    std::unique_ptr<test::PyFtpServer> server;
};

TEST_F(FtpModes, PassiveOnlyAndActiveOnlyServers) {
    ASSERT_TRUE(Serve({"127.0.0.1", "passive-only"}));
    ASSERT_EQ(Login(), kFtpOk);
    RoundTrip("p.bin", RandomBytes(200000, 1));
    config.passive = false;
    session.SetConfig(config);
    EXPECT_NE(session.Store(local.file("p.bin"), "refused.bin", 'I', false), kFtpOk)
        << "a server without PORT cannot be used actively";
    session.Release();

    ASSERT_TRUE(Serve({"127.0.0.1", "active-only"}));
    ASSERT_EQ(Login(), kFtpOk);
    RoundTrip("a.bin", RandomBytes(200000, 2));
    config.passive = true;
    session.SetConfig(config);
    // Neither EPSV nor PASV: the passive answer says so.
    EXPECT_EQ(session.Retrieve("a.bin", local.file("x"), 'I', false), kFtpNoPassive);
}

TEST_F(FtpModes, Ipv6PassiveAndActiveAndTheBracketedAddress) {
    if (!HaveIpv6Loopback())
        GTEST_SKIP() << "this machine has no IPv6 loopback";
    ASSERT_TRUE(Serve({"::1"}));
    TcpLogFile log;
    ASSERT_TRUE(log.Open(local.file("log")));
    session.SetLogFile(log.handle());
    ASSERT_EQ(Login("::1"), kFtpOk);
    RoundTrip("six.bin", RandomBytes(100000, 3));
    config.passive = false;
    session.SetConfig(config);
    RoundTrip("eprt.bin", RandomBytes(100000, 4));
    EXPECT_EQ(session.Quit(), kFtpOk);
    config.passive = true;
    session.SetConfig(config);
    ASSERT_EQ(session.Login("[::1]:" + std::to_string(server->port()), "kestrum", "s3cret!"),
              kFtpOk);
    std::string dir;
    EXPECT_EQ(session.CurrentDir(dir), kFtpOk);
    session.SetLogFile(-1);
    const std::string t = test::ReadAll(local.file("log"));
    EXPECT_NE(t.find("EPSV\r\n229 "), std::string::npos) << t;
    EXPECT_NE(t.find("EPRT |2|::1|"), std::string::npos) << t;
    EXPECT_EQ(t.find("PASV"), std::string::npos) << "IPv6 never falls back to PASV";
}

TEST_F(FtpModes, MlsdSizeAndMdtmGiveExactEntriesAndTimes) {
    ASSERT_TRUE(Serve({}));
    ASSERT_EQ(Login(), kFtpOk);
    EXPECT_TRUE(session.Features().mlsd);
    EXPECT_TRUE(session.Features().size);
    EXPECT_TRUE(session.Features().mdtm);
    EXPECT_TRUE(session.Features().restStream);
    test::WriteAll(root.file("with blanks; and = signs.txt"), "12345");
    ::mkdir(root.file("sub").c_str(), 0755);
    const time_t when = 1700000000; // 2023-11-14 22:13:20 UTC
    const utimbuf times{when, when};
    ::utime(root.file("with blanks; and = signs.txt").c_str(), &times);

    std::vector<RemoteEntry> entries;
    bool readFailed = true;
    ASSERT_EQ(ListRemoteDirectory(session, false, local.file("list"), entries, readFailed), kFtpOk);
    EXPECT_FALSE(readFailed);
    ASSERT_EQ(entries.size(), 2u);
    const RemoteEntry* file = entries[0].isDirectory ? &entries[1] : &entries[0];
    EXPECT_EQ(file->name, "with blanks; and = signs.txt");
    EXPECT_EQ(file->size, 5u);
    EXPECT_EQ(file->lastWrite, FileTimeFromUnix(when, 0)) << "UTC to the second";

    uint64_t size = 0;
    EXPECT_EQ(session.Size("with blanks; and = signs.txt", size), kFtpOk);
    EXPECT_EQ(size, 5u);
    EXPECT_NE(session.Size("absent", size), kFtpOk);
    int64_t modified = 0;
    EXPECT_EQ(session.ModificationTime("with blanks; and = signs.txt", modified), kFtpOk);
    EXPECT_EQ(modified, when);
    // A download takes the server's time, not the time it arrived.
    ASSERT_EQ(session.Retrieve("with blanks; and = signs.txt", local.file("f"), 'I', false),
              kFtpOk);
    struct stat st;
    ASSERT_EQ(::stat(local.file("f").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, when);
}

TEST_F(FtpModes, InterruptedTransfersResume) {
    ASSERT_TRUE(Serve({}));
    TcpLogFile log;
    ASSERT_TRUE(log.Open(local.file("log")));
    session.SetLogFile(log.handle());
    ASSERT_EQ(Login(), kFtpOk);
    const std::string big = RandomBytes(6 << 20, 9);
    test::WriteAll(root.file("big.bin"), big);
    test::WriteAll(local.file("big.bin"), "the old copy");
    session.SetProgressFunction([&](int, uint64_t bytes) {
        if (bytes >= (2 << 20))
            session.Cancel();
    });
    EXPECT_EQ(session.Retrieve("big.bin", local.file("big.bin"), 'I', true), kFtpAborted);
    EXPECT_EQ(test::ReadAll(local.file("big.bin")), "the old copy");
    const int64_t kept = FtpSession::PartialDownloadSize(local.file("big.bin"));
    EXPECT_GE(kept, 2 << 20);
    EXPECT_LT(kept, static_cast<int64_t>(big.size()));

    session.SetProgressFunction(nullptr);
    ASSERT_EQ(session.Retrieve("big.bin", local.file("big.bin"), 'I', false, true), kFtpOk);
    EXPECT_EQ(test::ReadAll(local.file("big.bin")), big);
    EXPECT_EQ(FtpSession::PartialDownloadSize(local.file("big.bin")), -1) << "used up";

    // Up: the server keeps what arrived; APPE sends the rest.
    session.SetProgressFunction([&](int, uint64_t bytes) {
        if (bytes >= (2 << 20))
            session.Cancel();
    });
    EXPECT_EQ(session.Store(local.file("big.bin"), "up.bin", 'I', true), kFtpAborted);
    const auto there = std::filesystem::file_size(root.file("up.bin"));
    EXPECT_LT(there, big.size());
    session.SetProgressFunction(nullptr);
    ASSERT_EQ(session.Store(local.file("big.bin"), "up.bin", 'I', false, true), kFtpOk)
        << session.LastReply();
    EXPECT_EQ(test::ReadAll(root.file("up.bin")), big);

    // Without resuming, a partial file is started over.
    test::WriteAll(root.file("small.txt"), "fresh");
    ASSERT_EQ(session.Retrieve("small.txt", local.file("small.txt"), 'I', false), kFtpOk);
    EXPECT_EQ(test::ReadAll(local.file("small.txt")), "fresh");
    session.SetLogFile(-1);
    const std::string t = test::ReadAll(local.file("log"));
    EXPECT_NE(t.find("REST " + std::to_string(kept) + "\r\n350 "), std::string::npos);
    EXPECT_NE(t.find("APPE up.bin\r\n"), std::string::npos);
}

TEST_F(FtpModes, NamesAsLongAsTheFileSystemAllows) {
    ASSERT_TRUE(Serve({}));
    ASSERT_EQ(Login(), kFtpOk);
    // 250 bytes: the temporary and partial names must still fit in 255.
    RoundTrip(std::string(246, 'n') + ".bin", "long");
    const std::string shared(240, 'x');
    test::WriteAll(root.file(shared + "-one"), "one");
    test::WriteAll(root.file(shared + "-two"), "two");
    // Two long names with the same start never share a partial file.
    test::WriteAll(local.file("seed"), "");
    ASSERT_EQ(session.Retrieve(shared + "-one", local.file(shared + "-one"), 'I', false), kFtpOk);
    ASSERT_EQ(session.Retrieve(shared + "-two", local.file(shared + "-two"), 'I', false, true),
              kFtpOk);
    EXPECT_EQ(test::ReadAll(local.file(shared + "-two")), "two");
}

// TLS: a server certificate made here, which no system store knows.
class FtpTls : public FtpModes {
protected:
    void SetUp() override {
        if (const std::string missing = test::PyFtpMissing(true); !missing.empty())
            GTEST_SKIP() << missing;
    }
    bool ServeTls(bool required, const std::string& cn = "localhost") {
        pem = local.file(cn + ".pem");
        if (!test::MakeCertificate(pem, cn)) {
            ADD_FAILURE() << "openssl could not make a certificate for " << cn;
            return false;
        }
        test::PyFtpOptions o;
        o.tlsPem = pem;
        o.tlsRequired = required;
        return Serve(o);
    }
    std::string pem;
};

TEST_F(FtpTls, EncryptedLoginAndTransfersWithTheUsersConsent) {
    ASSERT_TRUE(ServeTls(true));
    // Plain text is refused by this server.
    EXPECT_NE(Login(), kFtpOk);

    config.encryption = FtpEncryption::Required;
    session.SetConfig(config);
    EXPECT_EQ(Login(), kFtpCertificateRejected) << "unknown certificates need an answer";
    EXPECT_EQ(session.LastReply(), "") << "the reason shown is ours, not the server's 234";

    std::vector<FtpCertificate> asked;
    session.SetCertificateCheck([&](const FtpCertificate& c) {
        asked.push_back(c);
        return true;
    });
    TcpLogFile log;
    ASSERT_TRUE(log.Open(local.file("log")));
    session.SetLogFile(log.handle());
    ASSERT_EQ(Login(), kFtpOk) << session.LastReply();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].host, "127.0.0.1");
    EXPECT_EQ(asked[0].fingerprint.size(), 32u * 3 - 1) << "SHA-256 as AB:CD:...";
    EXPECT_FALSE(asked[0].problem.empty());
    EXPECT_TRUE(session.Encrypted());
    EXPECT_TRUE(session.DataProtected());
    RoundTrip("secret.bin", RandomBytes(300000, 5));
    EXPECT_TRUE(session.LastDataResumedTls()) << "data connections reuse the TLS session";
    config.passive = false;
    session.SetConfig(config);
    RoundTrip("active.bin", RandomBytes(100000, 6));
    std::vector<RemoteEntry> entries;
    bool readFailed = true;
    ASSERT_EQ(ListRemoteDirectory(session, false, local.file("list"), entries, readFailed), kFtpOk);
    EXPECT_EQ(entries.size(), 2u);
    session.SetLogFile(-1);
    const std::string t = test::ReadAll(local.file("log"));
    EXPECT_NE(t.find("AUTH TLS\r\n234"), std::string::npos);
    EXPECT_NE(t.find("PROT P\r\n200"), std::string::npos);
    EXPECT_EQ(t.find("s3cret!"), std::string::npos);
}

TEST_F(FtpTls, TlsIfAvailableAndRequireTls) {
    ASSERT_TRUE(Serve({}));
    config.encryption = FtpEncryption::IfAvailable;
    session.SetConfig(config);
    ASSERT_EQ(Login(), kFtpOk) << "a server without TLS is used in clear text";
    EXPECT_FALSE(session.Encrypted());
    config.encryption = FtpEncryption::Required;
    session.SetConfig(config);
    EXPECT_EQ(Login(), kFtpNoTls);
}

class TlsConnectUi : public FtpConnectUi {
public:
    std::vector<std::pair<std::string, std::string>> asked; // fingerprint, previous
    bool answer = true;
    void Warning(int) override {}
    void Error(std::string_view) override {}
    bool PanelShowsFtp() override { return false; }
    void RereadPanels(bool) override {}
    bool AcceptCertificate(const FtpCertificate& c, const std::string& previous) override {
        asked.emplace_back(c.fingerprint, previous);
        return answer;
    }
};

TEST_F(FtpTls, TheAnswerIsRememberedPerHostUntilTheCertificateChanges) {
    ASSERT_TRUE(ServeTls(true));
    SettingsStore store(local.file("KM.reg"));
    store.PutInt("FTP", "Port", server->port());
    store.PutInt("FTP", "Logging", 0);
    FtpSite site;
    site.address = "127.0.0.1";
    site.user = "kestrum";
    site.password = "s3cret!";
    site.encryption = 2;
    WriteFtpSite(store, "tls", site);
    session.Release(); // the connection makes its own session
    TlsConnectUi ui;
    ui.answer = false;
    EXPECT_EQ(ConnectFtpSite(store, "tls", local.path(), ui), kFtpCertificateRejected);
    ui.answer = true;
    ASSERT_EQ(ConnectFtpSite(store, "tls", local.path(), ui), 0);
    DisconnectFtp(ui);
    ASSERT_EQ(ConnectFtpSite(store, "tls", local.path(), ui), 0);
    DisconnectFtp(ui);
    ASSERT_EQ(ui.asked.size(), 2u) << "asked until accepted, then no more";
    EXPECT_TRUE(ui.asked[1].second.empty());

    // A new certificate on the same host is asked about, naming the old one.
    server.reset();
    ASSERT_TRUE(ServeTls(true));
    session.Release();
    store.PutInt("FTP", "Port", server->port());
    ASSERT_EQ(ConnectFtpSite(store, "tls", local.path(), ui), 0);
    DisconnectFtp(ui);
    ASSERT_EQ(ui.asked.size(), 3u);
    EXPECT_EQ(ui.asked[2].second, ui.asked[1].first);
    EXPECT_NE(ui.asked[2].first, ui.asked[1].first);
    ReleaseFtpAtExit();
}

} // namespace
} // namespace km
