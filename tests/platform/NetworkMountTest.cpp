// Connecting network drives through gio: its questions read from its output,
// answered on its input; a recording stand-in for gio where the argument
// vector and the answers are checked, and the real gio and gvfs against a
// local FTP server on a private session bus where they can be started.
#include "platform/NetworkMount.h"
#include "platform/GioPromptReader.h"

#include "support/EnvScope.h"
#include "support/PrivateGvfsSession.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <deque>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace km;

namespace {

// Answers gio's questions from a script and keeps what it was asked.
class ScriptedUi : public NetworkMountUi {
public:
    std::deque<std::optional<NetworkLogin>> logins; // nullopt: the user cancels
    std::vector<NetworkLogin> asked;
    std::vector<std::vector<std::string>> choicesAsked;
    int choice = -1;

    bool AskLogin(NetworkLogin& login) override {
        asked.push_back(login);
        if (logins.empty() || !logins.front()) {
            if (!logins.empty())
                logins.pop_front();
            return false;
        }
        const NetworkLogin& a = *logins.front();
        login.user = a.user;
        login.domain = a.domain;
        login.password = a.password;
        login.other = a.other;
        logins.pop_front();
        return true;
    }
    int AskChoice(const std::string&, const std::vector<std::string>& choices) override {
        choicesAsked.push_back(choices);
        return choice;
    }
    bool Cancelled() override { return false; }
};

NetworkLogin answer(const std::string& user, const std::string& password,
                    const std::string& domain = {}) {
    NetworkLogin l;
    l.user = user;
    l.password = password;
    l.domain = domain;
    return l;
}

std::vector<std::string> splitNul(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t nul; (nul = text.find('\0', start)) != std::string::npos; start = nul + 1)
        out.push_back(text.substr(start, nul - start));
    return out;
}

} // namespace

TEST(GioPromptReader, QuestionsArriveInPiecesWithTheirMessageAndDefault) {
    GioPromptReader r;
    const std::string out =
        "Authentication Required\nEnter user and password for “nas”:\nUser [joe]: ";
    for (size_t i = 0; i + 1 < out.size(); ++i)
        EXPECT_FALSE(r.Feed(out.substr(i, 1))) << i;
    const auto user = r.Feed(out.substr(out.size() - 1));
    ASSERT_TRUE(user);
    EXPECT_EQ(user->kind, GioPrompt::Kind::User);
    EXPECT_EQ(user->defaultValue, "joe");
    EXPECT_EQ(user->message, "Authentication Required\nEnter user and password for “nas”:");
    // The next question follows on the same line, without a message of its own.
    const auto domain = r.Feed("Domain [WORKGROUP]: ");
    ASSERT_TRUE(domain);
    EXPECT_EQ(domain->kind, GioPrompt::Kind::Domain);
    EXPECT_EQ(domain->defaultValue, "WORKGROUP");
    EXPECT_EQ(domain->message, "");
    const auto password = r.Feed("Password: ");
    ASSERT_TRUE(password);
    EXPECT_EQ(password->kind, GioPrompt::Kind::Password);
    // A line that merely ends in a colon, or one not yet ended, asks nothing.
    EXPECT_FALSE(r.Feed("\nThe host said: hello: \n"));
    EXPECT_FALSE(r.Feed("Could not connect to x: "
                        "a line much longer than any question could ever be printed: "));
}

TEST(GioPromptReader, ChoicesAreTakenFromTheLinesBeforeTheQuestion) {
    GioPromptReader r;
    const auto c = r.Feed("The identity of “box” is unknown.\nFingerprint: ab:cd\n"
                          "[1] Log In Anyway\n[2] Cancel\nChoice: ");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->kind, GioPrompt::Kind::Choice);
    EXPECT_EQ(c->message, "The identity of “box” is unknown.\nFingerprint: ab:cd");
    EXPECT_EQ(c->choices, (std::vector<std::string>{"Log In Anyway", "Cancel"}));
    const auto other = r.Feed("PIM: ");
    ASSERT_TRUE(other);
    EXPECT_EQ(other->kind, GioPrompt::Kind::Other);
    EXPECT_EQ(other->label, "PIM");
}

TEST(GioPromptReader, ErrorTextIsGiosLineWithoutLogLinesOrTheLocation) {
    const std::string err =
        "\n(gio mount:8278): GVFS-RemoteVolumeMonitor-WARNING **: 08:58:40.922: remote volume "
        "monitor with dbus name org.gtk.vfs.UDisks2VolumeMonitor is not supported\n"
        "gio: ftp://127.0.0.1:45185/: Location is already mounted\n";
    EXPECT_EQ(GioErrorText(err, "ftp://127.0.0.1:45185/"), "Location is already mounted");
    EXPECT_EQ(GioErrorText("gio: smb://x/: Permission denied\n", "smb://y/"),
              "smb://x/: Permission denied");
    EXPECT_EQ(GioErrorText("something odd\n", "smb://y/"), "something odd");
    EXPECT_EQ(GioErrorText("(gio mount:1): GLib-WARNING **: x\n", "smb://y/"), "");
}

namespace {

// gio in a temporary $PATH: records its arguments and its LC_MESSAGES, asks
// as gio does for an smb share, records the answers and ends as told.
class GioStandIn : public ::testing::Test {
protected:
    void SetUp() override {
        env.set("PATH",
                dir.path() + ":" + std::string(std::getenv("PATH") ? std::getenv("PATH") : ""));
        env.set("XDG_RUNTIME_DIR", dir.path()); // holds no gvfs mount
        env.set("LC_ALL", "C.UTF-8");
    }
    void write(const std::string& body) {
        const std::string script = dir.file("gio");
        test::WriteAll(
            script, "#!/bin/sh\n"
                    "printf '%s\\0' \"$@\" > '" +
                        dir.file("argv") +
                        "'\n"
                        "printf '%s|%s|%s' \"$LC_MESSAGES\" \"${LC_ALL-unset}\" \"$LC_CTYPE\" > '" +
                        dir.file("locale") + "'\n" + body);
        chmod(script.c_str(), 0755);
    }
    std::vector<std::string> argv() const { return splitNul(test::ReadAll(dir.file("argv"))); }
    std::string answers() const { return test::ReadAll(dir.file("answers")); }

    static constexpr const char* kSmbLogin = "echo 'Authentication Required'\n"
                                             "echo 'Enter password for share “docs” on “nas”:'\n"
                                             "printf 'User [guest]: '; read -r u || exit 2\n"
                                             "printf 'Domain [WORKGROUP]: '; read -r d || exit 2\n"
                                             "printf 'Password: '; read -r p || exit 2\n"
                                             "echo\n";

    test::TempDir dir;
    test::EnvScope env;
};

} // namespace

TEST_F(GioStandIn, AnswersUserDomainAndPasswordFromOneLoginInEnglish) {
    write(std::string(kSmbLogin) + "printf '%s\\n' \"$u\" \"$d\" \"$p\" > '" + dir.file("answers") +
          "'\nexit 0\n");
    ScriptedUi ui;
    ui.logins.push_back(answer("ann", "pa ss\nword", "OFFICE"));
    const NetworkMountResult r = MountNetworkLocation("smb://nas/docs", false, ui);
    EXPECT_EQ(r.status, NetworkMountStatus::Done) << r.message;
    EXPECT_TRUE(r.directory.empty()); // this session shows no gvfs mount
    EXPECT_EQ(argv(), (std::vector<std::string>{"mount", "smb://nas/docs"}));
    // A line break typed into the password cannot answer a further question.
    EXPECT_EQ(answers(), "ann\nOFFICE\npa ssword\n");
    ASSERT_EQ(ui.asked.size(), 1u);
    EXPECT_TRUE(ui.asked[0].askUser && ui.asked[0].askDomain && ui.asked[0].askPassword);
    EXPECT_EQ(ui.asked[0].user, "guest");
    EXPECT_EQ(ui.asked[0].message,
              "Authentication Required\nEnter password for share “docs” on “nas”:");
    // Untranslated questions, the user's character set.
    EXPECT_EQ(test::ReadAll(dir.file("locale")), "C|unset|C.UTF-8");
}

TEST_F(GioStandIn, AWrongPasswordIsAskedAgainAndCancellingClosesGiosInput) {
    write(std::string(kSmbLogin) + std::string(kSmbLogin) + "echo 'never reached' > '" +
          dir.file("answers") + "'\n");
    ScriptedUi ui;
    ui.logins.push_back(answer("ann", "wrong", "OFFICE"));
    ui.logins.push_back(std::nullopt);
    const NetworkMountResult r = MountNetworkLocation("smb://nas/docs", false, ui);
    EXPECT_EQ(r.status, NetworkMountStatus::Cancelled);
    EXPECT_EQ(ui.asked.size(), 2u);
    EXPECT_FALSE(std::ifstream(dir.file("answers")).good()); // gio read end of file and gave up
}

TEST_F(GioStandIn, FailureCarriesGiosMessageAndAnonymousIsPassedOn) {
    write("echo '(gio mount:9): GVFS-WARNING **: noise' >&2\n"
          "echo 'gio: ftp://h/: Connection refused' >&2\nexit 2\n");
    ScriptedUi ui;
    const NetworkMountResult r = MountNetworkLocation("ftp://h/", true, ui);
    EXPECT_EQ(r.status, NetworkMountStatus::Failed);
    EXPECT_EQ(r.message, "Connection refused");
    EXPECT_EQ(argv(), (std::vector<std::string>{"mount", "--anonymous", "ftp://h/"}));
    EXPECT_TRUE(ui.asked.empty());
}

TEST_F(GioStandIn, QuestionsWithChoicesAreAnsweredByNumber) {
    write("echo 'The identity of the remote computer (box) is unknown.'\n"
          "echo '[1] Log In Anyway'\necho '[2] Cancel Login'\n"
          "printf 'Choice: '; read -r c || exit 2\nprintf '%s' \"$c\" > '" +
          dir.file("answers") + "'\nexit 0\n");
    ScriptedUi ui;
    ui.choice = 0;
    const NetworkMountResult r = MountNetworkLocation("sftp://box/", false, ui);
    EXPECT_EQ(r.status, NetworkMountStatus::Done) << r.message;
    EXPECT_EQ(answers(), "1");
    ASSERT_EQ(ui.choicesAsked.size(), 1u);
    EXPECT_EQ(ui.choicesAsked[0], (std::vector<std::string>{"Log In Anyway", "Cancel Login"}));
}

TEST_F(GioStandIn, OnlyAConnectedDriveIsHandedToGioToDisconnect) {
    write("exit 0\n"); // gio succeeds quietly on a share that has gone already
    ScriptedUi ui;
    const NetworkMountResult r = UnmountNetworkLocation(dir.file("gvfs/ftp:host=h"), ui);
    EXPECT_EQ(r.status, NetworkMountStatus::Failed);
    EXPECT_NE(r.message.find("not connected"), std::string::npos) << r.message;
    EXPECT_FALSE(std::ifstream(dir.file("argv")).good());
}

TEST_F(GioStandIn, WhatIsNoNetworkLocationNeverReachesGio) {
    write("exit 0\n");
    ScriptedUi ui;
    for (const char* bad : {"--unmount-scheme=smb", "file:///", "/etc"}) {
        const NetworkMountResult r = MountNetworkLocation(bad, false, ui);
        EXPECT_EQ(r.status, NetworkMountStatus::Failed) << bad;
    }
    EXPECT_FALSE(std::ifstream(dir.file("argv")).good());
    env.set("PATH", dir.file("nothing-here"));
    const NetworkMountResult r = MountNetworkLocation("ftp://h/", false, ui);
    EXPECT_EQ(r.status, NetworkMountStatus::Failed);
    EXPECT_NE(r.message.find("not installed"), std::string::npos) << r.message;
}

namespace {

// The real gio and gvfs on a private session bus, against a local FTP server.
class RealGvfs : public ::testing::Test {
protected:
    void SetUp() override {
        if (!session.skipReason().empty())
            GTEST_SKIP() << session.skipReason();
        ASSERT_EQ(session.error(), "");
        location = session.location();
    }

    test::PrivateGvfsSession session;
    std::string location;
};

} // namespace

TEST_F(RealGvfs, MountsWithTheLoginAskedUntilRightThenUnmounts) {
    ScriptedUi ui;
    ui.logins.push_back(answer("joe", "wrong"));
    ui.logins.push_back(answer("joe", "s3cret"));
    const NetworkMountResult r = MountNetworkLocation(location, false, ui);
    ASSERT_EQ(r.status, NetworkMountStatus::Done) << r.message;
    ASSERT_EQ(ui.asked.size(), 2u);
    EXPECT_TRUE(ui.asked[0].askUser && ui.asked[0].askPassword);
    EXPECT_FALSE(ui.asked[0].askDomain);
    EXPECT_NE(ui.asked[0].message.find("127.0.0.1"), std::string::npos) << ui.asked[0].message;
    EXPECT_EQ(r.directory, session.mountDir());
    EXPECT_EQ(test::ReadAll(r.directory + "/a.txt"), "hello from ftp\n");

    const std::vector<Volume> mounts = ListNetworkMounts();
    ASSERT_EQ(mounts.size(), 1u);
    EXPECT_EQ(mounts[0].mountPoint, r.directory);
    EXPECT_EQ(mounts[0].label, "127.0.0.1:" + std::to_string(session.port()));

    // Mounted already: nothing asked, the same directory, here with the folder typed.
    ScriptedUi again;
    const NetworkMountResult twice = MountNetworkLocation(location + "sub", false, again);
    EXPECT_EQ(twice.status, NetworkMountStatus::Done) << twice.message;
    EXPECT_EQ(twice.directory, r.directory + "/sub");
    EXPECT_TRUE(again.asked.empty());

    ScriptedUi off;
    const NetworkMountResult u = UnmountNetworkLocation(r.directory, off);
    EXPECT_EQ(u.status, NetworkMountStatus::Done) << u.message;
    EXPECT_TRUE(ListNetworkMounts().empty());
    ScriptedUi none;
    const NetworkMountResult gone = UnmountNetworkLocation(r.directory, none);
    EXPECT_EQ(gone.status, NetworkMountStatus::Failed);
    EXPECT_FALSE(gone.message.empty());
}

TEST_F(RealGvfs, ACancelledLoginMountsNothingAndARefusedConnectionSaysWhy) {
    ScriptedUi ui;
    ui.logins.push_back(std::nullopt);
    const NetworkMountResult r = MountNetworkLocation(location, false, ui);
    EXPECT_EQ(r.status, NetworkMountStatus::Cancelled) << r.message;
    EXPECT_TRUE(ListNetworkMounts().empty());

    const uint16_t port = session.port();
    session.stopServer(); // nobody listens there now
    ScriptedUi refused;
    const NetworkMountResult f =
        MountNetworkLocation("ftp://127.0.0.1:" + std::to_string(port) + "/", false, refused);
    EXPECT_EQ(f.status, NetworkMountStatus::Failed);
    EXPECT_FALSE(f.message.empty());
    EXPECT_EQ(f.message.find("WARNING"), std::string::npos) << f.message;
}
