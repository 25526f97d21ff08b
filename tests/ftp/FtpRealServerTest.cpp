// The engine against a real FTP server (pyftpdlib) that the suite starts on
// 127.0.0.1 with a temporary root.
#include "PyFtpServer.h"
#include "ftp/FtpResult.h"
#include "ftp/FtpSession.h"
#include "net/TcpLog.h"
#include "support/RandomBytes.h"
#include "support/TempDir.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <string>

namespace km {
namespace {

using Clock = std::chrono::steady_clock;

using test::RandomBytes;

class FtpRealServer : public testing::Test {
protected:
    static void SetUpTestSuite() {
        root_ = new test::TempDir;
        server_ = new test::PyFtpServer(root_->path(), "kestrum", "s3cret!");
    }
    static void TearDownTestSuite() {
        delete server_;
        delete root_;
        server_ = nullptr;
        root_ = nullptr;
    }
    void SetUp() override {
        if (const std::string missing = test::PyFtpMissing(); !missing.empty())
            GTEST_SKIP() << missing;
        ASSERT_NE(server_->port(), 0) << server_->startError();
        config.port = server_->port();
        config.timeout = 10;
        config.passive = false;
        session.SetConfig(config);
        ASSERT_EQ(session.Init(), kFtpOk);
        ASSERT_EQ(session.Login("127.0.0.1", "kestrum", "s3cret!"), kFtpOk);
    }
    void TearDown() override {
        if (server_->port() != 0) {
            EXPECT_EQ(session.Quit(), kFtpOk);
        }
    }
    static std::string Remote(const std::string& name) { return root_->file(name); }

    static test::TempDir* root_;
    static test::PyFtpServer* server_;
    test::TempDir local;
    FtpConfig config;
    FtpSession session;
};

test::TempDir* FtpRealServer::root_ = nullptr;
test::PyFtpServer* FtpRealServer::server_ = nullptr;

TEST_F(FtpRealServer, DirectoriesRenameDeleteAndListing) {
    const std::string_view hosts[] = {"Dos", "Windows", "WIN32", "Unix", "VMS", "CMS", "OS2"};
    EXPECT_EQ(session.SystemType(hosts), 3);
    std::string dir;
    EXPECT_EQ(session.CurrentDir(dir), kFtpOk);
    EXPECT_EQ(dir, "/");
    std::string created;
    ASSERT_EQ(session.MakeDir("work", created), kFtpOk);
    EXPECT_EQ(created, "/work");
    EXPECT_TRUE(std::filesystem::is_directory(Remote("work")));
    EXPECT_EQ(session.MakeDir("work", created), kFtpActionNotTaken);
    ASSERT_EQ(session.ChangeDir("work"), kFtpOk);
    EXPECT_EQ(session.CurrentDir(dir), kFtpOk);
    EXPECT_EQ(dir, "/work");
    EXPECT_EQ(session.ChangeDir("missing"), kFtpActionNotTaken);
    test::WriteAll(Remote("work/one.txt"), "1");
    test::WriteAll(Remote("work/two.txt"), "22");
    ASSERT_EQ(session.List("", local.file("list")), kFtpOk);
    const std::string listing = test::ReadAll(local.file("list"));
    EXPECT_NE(listing.find("one.txt\n"), std::string::npos);
    EXPECT_NE(listing.find("two.txt\n"), std::string::npos);
    EXPECT_EQ(listing.find('\r'), std::string::npos);
    ASSERT_EQ(session.List("/", local.file("list")), kFtpOk);
    EXPECT_NE(test::ReadAll(local.file("list")).find(" work\n"), std::string::npos);

    EXPECT_EQ(session.Rename("one.txt", "uno.txt"), kFtpOk);
    EXPECT_TRUE(std::filesystem::exists(Remote("work/uno.txt")));
    EXPECT_EQ(session.Rename("absent", "x"), kFtpServerCannotOpen);
    EXPECT_EQ(session.DeleteFile("uno.txt"), kFtpOk);
    EXPECT_EQ(session.DeleteFile("uno.txt"), kFtpActionNotTaken);
    EXPECT_EQ(session.DeleteFile("two.txt"), kFtpOk);
    EXPECT_EQ(session.ParentDir(), kFtpOk);
    EXPECT_EQ(session.RemoveDir("work"), kFtpOk);
    EXPECT_FALSE(std::filesystem::exists(Remote("work")));
    EXPECT_EQ(session.RemoveDir("work"), kFtpActionNotTaken);
}

TEST_F(FtpRealServer, TransfersKeepTheBytesInEveryType) {
    const std::string binary = RandomBytes(300000, 7);
    const std::string text = "first line\nsecond\r\nthird\n\nlast without end";
    struct Case {
        char type;
        std::string data;
        std::string onServer;
    };
    const Case cases[] = {
        {'I', binary, binary},
        {'L', binary, binary},
        // Type A sends CR LF on the wire; the server stores its own line ends.
        {'A', text, "first line\nsecond\nthird\n\nlast without end"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        const std::string name = std::string("file_") + c.type;
        test::WriteAll(local.file(name), c.data);
        std::vector<uint64_t> seen;
        session.SetProgressFunction([&](int, uint64_t bytes) { seen.push_back(bytes); });
        ASSERT_EQ(session.Store(local.file(name), name, c.type, true), kFtpOk);
        EXPECT_EQ(test::ReadAll(Remote(name)), c.onServer);
        // One call per 4096-byte block of the file.
        EXPECT_EQ(seen.size(), (c.data.size() + 4095) / 4096);
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen.back(), c.data.size());
        seen.clear();
        ASSERT_EQ(session.Retrieve(name, local.file(name + ".back"), c.type, true), kFtpOk);
        EXPECT_EQ(test::ReadAll(local.file(name + ".back")), c.onServer);
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen.back(), c.onServer.size());
    }
    EXPECT_EQ(session.Retrieve("not-there", local.file("file_I.back"), 'I', false),
              kFtpServerCannotOpen);
    EXPECT_EQ(test::ReadAll(local.file("file_I.back")), binary);

    config.passive = true;
    session.SetConfig(config);
    ASSERT_EQ(session.Store(local.file("file_I"), "passive.bin", 'I', false), kFtpOk);
    ASSERT_EQ(session.Retrieve("passive.bin", local.file("passive.back"), 'I', false), kFtpOk);
    EXPECT_EQ(test::ReadAll(local.file("passive.back")), binary);
}

TEST_F(FtpRealServer, CancelMidwayLeavesTheConnectionUsable) {
    const std::string big = RandomBytes(8 << 20, 11);
    test::WriteAll(Remote("big.bin"), big);
    test::WriteAll(local.file("big.bin"), "old copy");
    session.SetProgressFunction([&](int, uint64_t bytes) {
        if (bytes >= (1 << 20))
            session.Cancel();
    });
    EXPECT_EQ(session.Retrieve("big.bin", local.file("big.bin"), 'I', true), kFtpAborted);
    EXPECT_EQ(test::ReadAll(local.file("big.bin")), "old copy");
    std::string dir;
    EXPECT_EQ(session.CurrentDir(dir), kFtpOk);
    EXPECT_EQ(dir, "/");

    test::WriteAll(local.file("up.bin"), big);
    EXPECT_EQ(session.Store(local.file("up.bin"), "up.bin", 'I', true), kFtpAborted);
    EXPECT_EQ(session.CurrentDir(dir), kFtpOk);
    EXPECT_LT(std::filesystem::file_size(Remote("up.bin")), big.size());
    session.SetProgressFunction(nullptr);
    EXPECT_EQ(session.Retrieve("big.bin", local.file("big.bin"), 'I', true), kFtpOk);
    EXPECT_EQ(test::ReadAll(local.file("big.bin")), big);
}

TEST_F(FtpRealServer, TheRateLimitHoldsATransferBack) {
    test::WriteAll(Remote("paced.bin"), std::string(400 * 1024, 'p'));
    config.rateLimit = 1024 * 1024;
    session.SetConfig(config);
    const auto start = Clock::now();
    ASSERT_EQ(session.Retrieve("paced.bin", local.file("paced.bin"), 'I', false), kFtpOk);
    // 400 KiB at 1 MiB/s cannot take less than 0.39 s, however fast the link.
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(350));
    EXPECT_EQ(std::filesystem::file_size(local.file("paced.bin")), 400u * 1024);
}

TEST_F(FtpRealServer, TranscriptHoldsCommandsAndRepliesWithThePasswordMasked) {
    EXPECT_EQ(session.Quit(), kFtpOk);
    TcpLogFile log;
    ASSERT_TRUE(log.Open(local.file("KMFTPLOG.TXT")));
    session.SetLogFile(log.handle());
    ASSERT_EQ(session.Login("127.0.0.1", "kestrum", "s3cret!"), kFtpOk);
    std::string dir;
    EXPECT_EQ(session.CurrentDir(dir), kFtpOk);
    EXPECT_EQ(session.ChangeDir("nowhere"), kFtpActionNotTaken);
    EXPECT_EQ(session.Quit(), kFtpOk);
    session.SetLogFile(-1);
    log.Close();
    const std::string t = test::ReadAll(local.file("KMFTPLOG.TXT"));
    EXPECT_EQ(t.find("s3cret"), std::string::npos);
    const std::string expected[] = {"220 ",
                                    "\r\nUSER kestrum\r\n331 ",
                                    "\r\nPASS *******\r\n230 ",
                                    "\r\nPWD\r\n257 \"/\"",
                                    "\r\nCWD nowhere\r\n550 ",
                                    "\r\nQUIT\r\n221 "};
    size_t at = 0;
    for (const std::string& piece : expected) {
        const size_t found = t.find(piece, at);
        ASSERT_NE(found, std::string::npos) << piece << " in\n" << t;
        at = found + piece.size();
    }
    EXPECT_EQ(t.substr(t.size() - 2), "\r\n");
    ASSERT_EQ(session.Login("127.0.0.1", "kestrum", "s3cret!"), kFtpOk);
}

TEST_F(FtpRealServer, WrongPasswordIsRejected) {
    FtpSession other;
    EXPECT_EQ(other.Init(), kFtpAlreadyActive);
    EXPECT_EQ(session.Login("127.0.0.1", "kestrum", "wrong"), kFtpLoginRejected);
    EXPECT_EQ(session.LastReply().substr(0, 4), "530 ");
    ASSERT_EQ(session.Login("127.0.0.1", "kestrum", "s3cret!"), kFtpOk);
}

} // namespace
} // namespace km
