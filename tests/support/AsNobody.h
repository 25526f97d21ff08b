#pragma once
// Tests of what permissions refuse need a user they bind, and root passes every
// permission check (CI runs as root). Run as root, RerunAsNobody() runs the
// current test again as "nobody" in a fresh process of this test binary and
// reports the child's result as this test's: its failures with their text, its
// skip with its reason. Run as anyone else it does nothing and the test goes on.
//
// A fresh process, not a bare fork: a forked child of a process with threads
// (Qt's thread pool, the panels' readers) may wait forever on a lock or a
// worker that was left behind. The binary is executed through a descriptor
// opened while still root, so the checkout may lie where nobody cannot look.
// The child makes its own temporary directories, as itself.
//
//     TEST_F(Store, UnreadableFileIsMovedAside) {
//         if (test::RerunAsNobody())
//             return; // done in the child
//         ...
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pwd.h>
#include <string>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace km::test {

namespace nobody_detail {

constexpr int kCannotDrop = 125;
constexpr const char* kMarker = "KM_TEST_AS_NOBODY";

// What the child said about `name`: from gtest's line that starts it to the
// one that ends it (all of it when there is no such line).
inline std::string Section(const std::string& out, const std::string& name) {
    const size_t run = out.find("[ RUN      ] " + name);
    if (run == std::string::npos)
        return out;
    size_t end = std::string::npos;
    for (const char* tag : {"[       OK ] ", "[  FAILED  ] ", "[  SKIPPED ] "})
        end = std::min(end, out.find(tag + name, run));
    if (end != std::string::npos)
        end = out.find('\n', end);
    return out.substr(run, end == std::string::npos ? std::string::npos : end - run);
}

// The message of a GTEST_SKIP in `section`: the lines after "Skipped", up
// to gtest's closing line.
inline std::string SkipMessage(const std::string& section) {
    const size_t at = section.find(": Skipped\n");
    if (at == std::string::npos)
        return {};
    const size_t from = at + 10;
    std::string text = section.substr(from, section.find("\n[  SKIPPED ]", from) - from);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

} // namespace nobody_detail

// True when the test was run by the child (its result is already reported
// here): the caller returns. False when this process is not root: the test
// runs here.
inline bool RerunAsNobody(std::chrono::seconds patience = std::chrono::seconds(90)) {
    using namespace nobody_detail;
    if (::geteuid() != 0)
        return false;
    if (std::getenv(kMarker)) { // privileges were not dropped after all: never loop
        ADD_FAILURE() << "still root in the child meant to run as nobody";
        return true;
    }
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = std::string(info->test_suite_name()) + "." + info->name();

    uid_t uid = 65534;
    gid_t gid = 65534;
    if (const passwd* pw = ::getpwnam("nobody")) {
        uid = pw->pw_uid;
        gid = pw->pw_gid;
    }
    if (const group* gr = ::getgrnam("nogroup"))
        gid = gr->gr_gid;

    // All that the child needs is made now: between fork and exec it only
    // makes system calls.
    const int exe = ::open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
    if (exe < 0) {
        ADD_FAILURE() << "cannot open this test binary: " << std::strerror(errno);
        return true;
    }
    std::vector<std::string> args = {"test-as-nobody", "--gtest_filter=" + name,
                                     "--gtest_color=no"};
    std::vector<std::string> env = {std::string(kMarker) + "=1"};
    const char* tmpdir = std::getenv("TMPDIR");
    for (char** e = environ; *e; ++e) {
        // The child's results go only to us; TMPDIR is decided below.
        if (std::strncmp(*e, "GTEST_", 6) != 0 && std::strncmp(*e, "TMPDIR=", 7) != 0)
            env.emplace_back(*e);
    }
    const size_t tmpSlot = env.size();
    env.push_back(tmpdir && *tmpdir ? std::string("TMPDIR=") + tmpdir : "TMPDIR=/tmp");
    static const char kTmpFallback[] = "TMPDIR=/tmp";
    std::vector<char*> argv, envp;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    const std::string tmp = env[tmpSlot].substr(7);
    static const char kDropFailed[] = "cannot become nobody: ";

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(exe);
        ADD_FAILURE() << "pipe: " << std::strerror(errno);
        return true;
    }
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::dup2(out[1], 2);
        // The raw calls: the C library's versions signal threads the child has not.
        if (::syscall(SYS_setgroups, 0, nullptr) != 0 ||
            ::syscall(SYS_setresgid, gid, gid, gid) != 0 ||
            ::syscall(SYS_setresuid, uid, uid, uid) != 0) {
            const char* why = std::strerror(errno);
            (void)!::write(2, kDropFailed, sizeof kDropFailed - 1);
            (void)!::write(2, why, std::strlen(why));
            ::_exit(kCannotDrop);
        }
        ::prctl(PR_SET_PDEATHSIG, SIGKILL); // after the change of user, which clears it
        if (::getppid() != parent)
            ::_exit(1);
        if (::access(tmp.c_str(), W_OK | X_OK) != 0) // access() asks as nobody now
            envp[tmpSlot] = const_cast<char*>(kTmpFallback);
        ::fexecve(exe, argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(exe);
    if (pid < 0) {
        ::close(out[0]);
        ADD_FAILURE() << "fork: " << std::strerror(errno);
        return true;
    }

    std::string output;
    bool late = false;
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            late = true;
            break;
        }
        pollfd p{out[0], POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        char buf[4096];
        const ssize_t n = ready > 0 ? ::read(out[0], buf, sizeof buf) : 0;
        if (n <= 0)
            break;
        output.append(buf, static_cast<size_t>(n));
    }
    ::close(out[0]);
    if (late)
        ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);

    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const std::string section = Section(output, name);
    if (late) {
        ADD_FAILURE() << "as nobody, the test did not end within " << patience.count() << " s:\n"
                      << section;
    } else if (code == kCannotDrop) {
        [&] { GTEST_SKIP() << output; }(); // "cannot become nobody: …"
    } else if (section.find("[  SKIPPED ] " + name) != std::string::npos) {
        [&] { GTEST_SKIP() << SkipMessage(section); }();
    } else if (code != 0 || section.find("[       OK ] " + name) == std::string::npos) {
        ADD_FAILURE() << "as nobody (exit "
                      << (WIFSIGNALED(status) ? "by signal " + std::to_string(WTERMSIG(status))
                                              : std::to_string(code))
                      << "):\n"
                      << section;
    }
    return true;
}

} // namespace km::test
