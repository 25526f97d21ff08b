#include "fileops/open_execute/ProcessLauncher.h"

#include "support/TempDir.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace km;
using km::test::TempDir;
using km::test::WriteAll;

namespace {

TEST(ProcessLauncher, ReportsWhyAProgramDidNotStart) {
    TempDir dir;
    WriteAll(dir.file("text"), "no interpreter line\n");
    chmod(dir.file("text").c_str(), 0755);
    WriteAll(dir.file("noexec"), "#!/bin/sh\n");
    EXPECT_EQ(LaunchDetached({dir.file("text")}, dir.path()), ENOEXEC);
    EXPECT_EQ(LaunchDetached({dir.file("noexec")}, dir.path()), EACCES);
    EXPECT_EQ(LaunchDetached({dir.file("missing")}, dir.path()), ENOENT);
    EXPECT_EQ(LaunchDetached({"no-such-program-anywhere"}, dir.path()), ENOENT);
    EXPECT_EQ(LaunchDetached({"true"}, dir.file("missing-dir")), ENOENT);
    EXPECT_EQ(LaunchDetached({"true"}, dir.path()), 0);
    // The intermediate child is reaped, the program belongs to init: nothing
    // of ours is left to wait for.
    int status;
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST(ProcessLauncher, RunAndWaitCollectsOutputAndStatus) {
    TempDir dir;
    const RunResult r =
        RunAndWait({"sh", "-c", "pwd; echo \"$1\" >&2; exit 3", "sh", "a b;$c"}, dir.path());
    EXPECT_EQ(r.error, 0);
    EXPECT_EQ(r.exitStatus, 3);
    EXPECT_EQ(r.output, dir.path() + "\na b;$c\n");
    EXPECT_EQ(RunAndWait({"no-such-program-anywhere"}, {}).error, ENOENT);
    EXPECT_EQ(FindProgram("sh").empty(), false);
    EXPECT_EQ(FindProgram(dir.file("missing")), "");
}

} // namespace
