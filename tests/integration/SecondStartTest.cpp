// Starts the real program twice in a private environment: the second start
// in the same desktop session must hand over to the first and exit at once;
// a start in another session runs on its own.
#include "support/TempDir.h"

#include <chrono>
#include <filesystem>
#include <csignal>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

pid_t launch(const km::test::TempDir& env, const char* session) {
    const pid_t pid = fork();
    if (pid == 0) {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        setenv("XDG_SESSION_ID", session, 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("HOME", env.path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", env.file("config").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", env.path().c_str(), 1);
        setenv("TMPDIR", env.path().c_str(), 1);
        execl(KM_BINARY, KM_BINARY, static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// Waits up to `ms` for the child to end; its exit status or -1 while running.
int waitFor(pid_t pid, int ms) {
    for (int i = 0; i < ms / 10; ++i) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

} // namespace

TEST(SecondStart, HandsOverAndExits) {
    km::test::TempDir env;
    chmod(env.path().c_str(), 0700);
    const pid_t first = launch(env, "s1");
    const std::string socket = env.file("kestrum-session-s1.sock");
    bool ready = false;
    for (int i = 0; i < 1000 && !ready; ++i) {
        struct stat st;
        ready = stat(socket.c_str(), &st) == 0;
        if (!ready)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!ready) {
        kill(first, SIGTERM); // an instance left running would hold the test's output open
        waitFor(first, 5000);
        FAIL() << "the first instance never listened on " << socket;
    }
    EXPECT_EQ(waitFor(first, 200), -1);

    const pid_t second = launch(env, "s1");
    EXPECT_EQ(waitFor(second, 5000), 0);
    EXPECT_EQ(waitFor(first, 100), -1) << "the first instance must keep running";

    // Another session of the same user (a second display, a remote desktop).
    const pid_t elsewhere = launch(env, "s2");
    EXPECT_EQ(waitFor(elsewhere, 1500), -1) << "a start in another session must run";

    kill(elsewhere, SIGTERM);
    kill(first, SIGTERM);
    waitFor(elsewhere, 5000);
    waitFor(first, 5000);
}

TEST(SessionEnd, SigtermSavesTheWindowAndEndsEvenWithAQuestionOpen) {
    km::test::TempDir env;
    chmod(env.path().c_str(), 0700);
    // Text kept at an earlier end: this start reports it (a message box nobody answers).
    const std::string kept = env.file("state/Orlent/KM/recovery/2026-01-01_00-00-00");
    std::filesystem::create_directories(kept);
    km::test::WriteAll(kept + "/1-notes.txt", "unsaved");
    km::test::WriteAll(kept + "/INDEX", std::string("/home/x/notes.txt\0", 18) + kept + "/1-notes.txt" + '\0');
    setenv("XDG_STATE_HOME", env.file("state").c_str(), 1);
    const pid_t pid = launch(env, "t1");
    unsetenv("XDG_STATE_HOME");
    struct stat st;
    for (int i = 0; i < 1000 && stat((kept + "/INDEX.shown").c_str(), &st) != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(stat((kept + "/INDEX.shown").c_str(), &st), 0) << "the kept text is reported once";
    EXPECT_NE(stat((kept + "/INDEX").c_str(), &st), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    kill(pid, SIGTERM);
    const int status = waitFor(pid, 10000);
    if (status == -1)
        kill(pid, SIGKILL);
    EXPECT_EQ(status, 0) << "SIGTERM ends the program as a close does";
    const std::string settings = km::test::ReadAll(env.file("config/Orlent/KM.reg"));
    EXPECT_NE(settings.find("\"wp.left\""), std::string::npos) << "the placement was saved";
    EXPECT_NE(settings.find("\"ColL\""), std::string::npos) << "the column widths were saved";
}

TEST(TemporaryFolder, AStartSweepsDayOldLeftoversAndTheEndRemovesItsOwnRun) {
    km::test::TempDir env;
    chmod(env.path().c_str(), 0700);
    const std::string root = env.file("km-" + std::to_string(getuid()));
    ASSERT_EQ(mkdir(root.c_str(), 0700), 0);
    km::test::WriteAll(root + "/old-listing", "of a run two days ago");
    km::test::WriteAll(root + "/recent-listing", "of a run an hour ago");
    const time_t now = time(nullptr);
    const struct timeval old[2] = {{now - 2 * 86400, 0}, {now - 2 * 86400, 0}};
    const struct timeval recent[2] = {{now - 3600, 0}, {now - 3600, 0}};
    utimes((root + "/old-listing").c_str(), old);
    utimes((root + "/recent-listing").c_str(), recent);

    const pid_t pid = launch(env, "p1");
    struct stat st;
    const std::string prefix = "run-" + std::to_string(pid) + "-";
    const auto ownRun = [&] {
        for (const auto& e : std::filesystem::directory_iterator(root)) {
            if (e.path().filename().string().rfind(prefix, 0) == 0)
                return true;
        }
        return false;
    };
    for (int i = 0; i < 1000 && !ownRun(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(ownRun());
    EXPECT_NE(stat((root + "/old-listing").c_str(), &st), 0) << "swept at start";
    kill(pid, SIGTERM);
    const int status = waitFor(pid, 10000);
    if (status == -1)
        kill(pid, SIGKILL);
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(ownRun()) << "the run's folder goes with it";
    EXPECT_EQ(stat((root + "/recent-listing").c_str(), &st), 0) << "under a day old: kept";
}
