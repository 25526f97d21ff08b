// The installed program: what `cmake --install` puts under a prefix, and that
// the program started from there finds its help pages and runs. With
// $KM_INSTALLED_PREFIX set the tests check that tree instead (the test command
// points it at the unpacked Debian package).
#include "mainwindow/HelpWindow.h"
#include "support/TempDir.h"

#include <QDir>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

const std::string kBinDir = KM_INSTALL_BINDIR;
const std::string kHelpDir = KM_INSTALL_HELPDIR;

void MakeHelp(const std::string& dir) {
    fs::create_directories(dir);
    km::test::WriteAll(dir + "/index.html", "<html><head><title>Contents</title></head></html>");
}

std::string Clean(const std::string& path) {
    return QDir::cleanPath(QString::fromStdString(path)).toStdString();
}

// Where the program in `programDir` finds its help pages.
std::string HelpFor(const std::string& programDir) {
    return km::HelpDirectoryFor(QString::fromStdString(programDir)).toStdString();
}

// Starts argv with `env` (NAME=value) added to this process's environment; its pid or -1.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, bool quiet) {
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        bool replaced = name == "DISPLAY" || name == "WAYLAND_DISPLAY";
        for (const std::string& mine : env)
            replaced = replaced || mine.compare(0, name.size() + 1, name + "=") == 0;
        if (!replaced)
            envStrings.push_back(entry);
    }
    envStrings.insert(envStrings.end(), env.begin(), env.end());
    std::vector<char*> args, envp;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const std::string& e : envStrings)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet)
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Waits up to `ms` for the child to end; its exit status or -1 while it runs.
int WaitFor(pid_t pid, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < end);
    return -1;
}

std::set<std::string> HelpFiles(const std::string& dir) {
    std::set<std::string> names;
    for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
        const std::string name = e.path().filename().string();
        if (e.path().extension() == ".html" || name == "keywords.txt")
            names.insert(name);
    }
    return names;
}

// The tree under test: $KM_INSTALLED_PREFIX, else this build installed into a temporary prefix.
class InstalledProgram : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* given = std::getenv("KM_INSTALLED_PREFIX"); given && *given) {
            prefix_ = given;
            return;
        }
        prefix_ = install_.path();
        const pid_t pid = Spawn({KM_CMAKE_COMMAND, "--install", KM_BUILD_DIR, "--prefix", prefix_},
                                {"DESTDIR="}, true);
        ASSERT_GT(pid, 0);
        ASSERT_EQ(WaitFor(pid, 60000), 0) << "cmake --install failed";
    }

    std::string at(const std::string& relative) const { return prefix_ + "/" + relative; }

    km::test::TempDir install_;
    std::string prefix_;
};

} // namespace

// The lookup the program does from its own directory, on a tree moved anywhere.
TEST(HelpLookup, FollowsTheProgramsDirectory) {
    km::test::TempDir root;
    const std::string prefix = root.file("relocated");
    fs::create_directories(prefix + "/" + kBinDir);
    const std::string bin = prefix + "/" + kBinDir;

    // Installed pages without their contents page are not the help.
    fs::create_directories(prefix + "/" + kHelpDir);
    EXPECT_NE(HelpFor(bin), Clean(prefix + "/" + kHelpDir));

    MakeHelp(prefix + "/" + kHelpDir);
    EXPECT_EQ(HelpFor(bin), Clean(prefix + "/" + kHelpDir));

    // A build tree's copy beside the program comes first.
    MakeHelp(bin + "/help");
    EXPECT_EQ(HelpFor(bin), Clean(bin + "/help"));
}

TEST_F(InstalledProgram, HoldsItsFilesAndFindsItsHelp) {
    const std::string program = at(kBinDir + "/kestrum");
    EXPECT_EQ(access(program.c_str(), X_OK), 0) << program;
    const std::string sfx = at("lib/kestrum/km-sfx");
    EXPECT_EQ(access(sfx.c_str(), X_OK), 0) << sfx;
    for (const char* data : {"applications/org.kestrum.Kestrum.desktop",
                             "icons/hicolor/scalable/apps/org.kestrum.Kestrum.svg",
                             "metainfo/org.kestrum.Kestrum.metainfo.xml"})
        EXPECT_TRUE(fs::is_regular_file(at(std::string("share/") + data))) << data;

    ASSERT_TRUE(fs::is_directory(at(kHelpDir)));
    EXPECT_EQ(HelpFiles(at(kHelpDir)), HelpFiles(KM_HELP_SOURCE_DIR));
    EXPECT_EQ(HelpFor(at(kBinDir)), Clean(at(kHelpDir)));
}

TEST_F(InstalledProgram, Starts) {
    km::test::TempDir env;
    chmod(env.path().c_str(), 0700);
    const pid_t pid = Spawn({at(kBinDir + "/kestrum")},
                            {"QT_QPA_PLATFORM=offscreen", "XDG_SESSION_ID=installed",
                             "HOME=" + env.path(), "XDG_CONFIG_HOME=" + env.file("config"),
                             "XDG_RUNTIME_DIR=" + env.path(), "TMPDIR=" + env.path()},
                            false);
    ASSERT_GT(pid, 0);
    // It listens for a second start once its window is up.
    const std::string socket = env.file("kestrum-session-installed.sock");
    int ended = -1;
    bool listening = false;
    for (int i = 0; i < 1000 && !listening && ended == -1; ++i) {
        struct stat st;
        listening = stat(socket.c_str(), &st) == 0;
        if (!listening)
            ended = WaitFor(pid, 10);
    }
    if (ended == -1)
        ended = WaitFor(pid, 200);
    EXPECT_TRUE(listening) << "the installed program never came up";
    if (ended != -1)
        FAIL() << "the installed program ended on its own with status " << ended;
    kill(pid, SIGTERM);
    if (WaitFor(pid, 5000) == -1) {
        kill(pid, SIGKILL); // never leave one behind
        waitpid(pid, nullptr, 0);
        ADD_FAILURE() << "the installed program ignored SIGTERM";
    }
}
