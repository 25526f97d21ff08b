#include "ftp/FtpConnection.h"
#include "ftp/FtpSite.h"
#include "ftp/FtpSiteBook.h"
#include "settings/SettingsStore.h"

#include "PyFtpServer.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace km;
using km::test::ReadAll;
using km::test::TempDir;

namespace {

TEST(FtpSiteRecord, RoundTripCommentsShortRecordsAndTabs) {
    FtpSite s;
    s.address = "ftp.example.org";
    s.anonymous = false;
    s.user = "ann";
    s.password = "p\tw";
    s.useFirewall = true;
    s.firewallAddress = "proxy";
    s.firewallPort = "2121";
    s.firewallUser = "fw";
    s.firewallPassword = "fwpw";
    s.firewallMode = 3;
    s.loginDirectory = "/pub";
    const std::string text = FormatFtpSite(s);
    EXPECT_EQ(text, "ftp.example.org\t0\tann\tp w\t1\tproxy\t2121\tfw\tfwpw\t3\t/pub\t0\t0")
        << "a typed tab cannot shift fields";
    const FtpSite back = ParseFtpSite(text);
    EXPECT_EQ(back.user, "ann");
    EXPECT_EQ(back.password, "p w");
    EXPECT_TRUE(back.useFirewall);
    EXPECT_EQ(back.firewallMode, 3);
    EXPECT_EQ(back.loginDirectory, "/pub");
    // This program's fields behind the eleven: an old record reads as the defaults.
    EXPECT_EQ(back.dataConnection, 0);
    s.dataConnection = 2;
    s.encryption = 1;
    const FtpSite again = ParseFtpSite(FormatFtpSite(s));
    EXPECT_EQ(again.dataConnection, 2);
    EXPECT_EQ(again.encryption, 1);
    EXPECT_EQ(ParseFtpSite(FormatFtpSite(s) + "9").encryption, 0) << "out of range";

    const FtpSite commented = ParseFtpSite("host.example (the old box)\t1\tuser\tpw\t0");
    EXPECT_EQ(commented.address, "host.example");
    EXPECT_TRUE(commented.anonymous);
    EXPECT_EQ(commented.password, "pw");
    EXPECT_FALSE(commented.useFirewall);
    EXPECT_EQ(commented.firewallAddress, "");
    EXPECT_EQ(commented.firewallMode, 1);
    EXPECT_EQ(FormatFtpSite(commented).substr(0, 13), "host.example\t") << "saving drops the comment";

    EXPECT_EQ(ParseFtpSite("only.address").address, "only.address");
    EXPECT_EQ(ParseFtpSite("h\t1\tu\tp\t1\tf\t21\tfu\tfp\t9\td").firewallMode, 1) << "an unknown mode";
    EXPECT_TRUE(ParseFtpSite("h\tx").anonymous) << "any flag but '0' is on";
}

TEST(FtpSiteRecord, BookListsSortedNamesAndDeletes) {
    TempDir dir;
    SettingsStore store(dir.file("KM.reg"));
    FtpSite s;
    s.address = "a";
    WriteFtpSite(store, "zeta", s);
    WriteFtpSite(store, "Alpha", s);
    WriteFtpSite(store, "beta", s);
    EXPECT_EQ(ListFtpSites(store), (std::vector<std::string>{"Alpha", "beta", "zeta"}));
    DeleteFtpSite(store, "beta");
    SettingsStore reread(dir.file("KM.reg"));
    EXPECT_EQ(ListFtpSites(reread), (std::vector<std::string>{"Alpha", "zeta"}));
    EXPECT_FALSE(ReadFtpSite(reread, "beta"));
    EXPECT_EQ(ReadFtpSite(reread, "zeta")->address, "a");
}

class RecordingConnectUi : public FtpConnectUi {
public:
    std::vector<int> warnings;
    std::vector<std::string> errors;
    std::vector<bool> rereads;
    bool showsFtp = false;
    void Warning(int id) override { warnings.push_back(id); }
    void Error(std::string_view text) override { errors.emplace_back(text); }
    bool PanelShowsFtp() override { return showsFtp; }
    void RereadPanels(bool both) override { rereads.push_back(both); }
};

class FtpConnectTest : public ::testing::Test {
protected:
    void SetUp() override {
        mkdir(root.file("pub").c_str(), 0755);
        if (const std::string missing = test::PyFtpMissing(); !missing.empty())
            GTEST_SKIP() << missing;
        server = std::make_unique<test::PyFtpServer>(root.path(), "ann", "secret-pw");
        ASSERT_NE(server->port(), 0) << server->startError();
        store.PutInt("FTP", "Port", server->port());
        store.PutString("FTP", "LogFile", "ftp.log");
        FtpSite s;
        s.address = "127.0.0.1 (this machine)";
        s.user = "ann";
        s.password = "secret-pw";
        s.loginDirectory = "/pub";
        WriteFtpSite(store, "local", s);
        s.password = "wrong";
        WriteFtpSite(store, "bad", s);
    }
    void TearDown() override { ReleaseFtpAtExit(); }
    TempDir root, work;
    SettingsStore store{work.file("KM.reg")};
    std::unique_ptr<test::PyFtpServer> server;
    RecordingConnectUi ui;
};

TEST_F(FtpConnectTest, ConnectLogsInWithAMaskedLogAndDisconnectReleases) {
    ASSERT_EQ(ConnectFtpSite(store, "local", work.path(), ui), 0);
    const FtpConnectionState& st = FtpState();
    EXPECT_TRUE(st.connected);
    EXPECT_TRUE(st.engineStarted);
    EXPECT_EQ(st.siteName, "local");
    EXPECT_EQ(FtpHostTypes()[static_cast<size_t>(st.hostType)], "Unix");
    EXPECT_EQ(ui.warnings, std::vector<int>{4460});
    EXPECT_EQ(ui.rereads, std::vector<bool>{true});
    std::string dir;
    ASSERT_EQ(st.session->CurrentDir(dir), 0);
    EXPECT_EQ(dir, "/pub") << "the login directory";

    struct stat info;
    ASSERT_EQ(stat(work.file("ftp.log").c_str(), &info), 0) << "relative to the current directory";
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    DisconnectFtp(ui);
    const std::string log = ReadAll(work.file("ftp.log"));
    EXPECT_NE(log.find("USER ann\r\n"), std::string::npos);
    EXPECT_NE(log.find("PASS *********\r\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("secret-pw"), std::string::npos);
    EXPECT_NE(log.find("QUIT\r\n"), std::string::npos);
    EXPECT_EQ(ui.warnings, (std::vector<int>{4460, 4470}));
    EXPECT_FALSE(FtpState().engineStarted);
    EXPECT_FALSE(FtpState().connected);
    EXPECT_TRUE(FtpState().siteName.empty());
}

TEST_F(FtpConnectTest, FailedLoginShowsTheReplyAndASecondSiteEndsTheFirstLogin) {
    EXPECT_NE(ConnectFtpSite(store, "bad", work.path(), ui), 0);
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(ui.errors[0].substr(0, 3), "530") << ui.errors[0];
    EXPECT_FALSE(FtpState().connected);
    EXPECT_TRUE(FtpState().engineStarted) << "the session stays for the next try";

    ASSERT_EQ(ConnectFtpSite(store, "local", work.path(), ui), 0);
    // Another site while a panel shows this one: refused, nothing changes.
    ui.showsFtp = true;
    EXPECT_EQ(ConnectFtpSite(store, "bad", work.path(), ui), 4440);
    EXPECT_EQ(FtpState().siteName, "local");
    // Without a panel on it, the first login ends with QUIT before the next one.
    ui.showsFtp = false;
    store.PutString("FTP", "LogFile", "second.log");
    ui.rereads.clear();
    EXPECT_NE(ConnectFtpSite(store, "bad", work.path(), ui), 0);
    EXPECT_NE(ReadAll(work.file("ftp.log")).find("QUIT\r\n"), std::string::npos);
    EXPECT_EQ(ui.rereads, std::vector<bool>{false});
    EXPECT_TRUE(FtpState().siteName.empty());

    store.PutInt("FTP", "Logging", 0);
    unlink(work.file("second.log").c_str());
    ASSERT_EQ(ConnectFtpSite(store, "local", work.path(), ui), 0);
    struct stat info;
    EXPECT_NE(stat(work.file("second.log").c_str(), &info), 0) << "no log while logging is off";
    EXPECT_EQ(FtpState().logFile, -1);
}

} // namespace
