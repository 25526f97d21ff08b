#include "fileops/open_execute/ProcessLauncher.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace km {
namespace {

constexpr size_t kMaxOutput = 64 * 1024;

bool isExecutableFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::vector<char*> cArgv(const std::vector<std::string>& argv) {
    std::vector<char*> out;
    out.reserve(argv.size() + 1);
    for (const std::string& a : argv)
        out.push_back(const_cast<char*>(a.c_str()));
    out.push_back(nullptr);
    return out;
}

void writeErrno(int fd, int err) {
    ssize_t r;
    do {
        r = ::write(fd, &err, sizeof err);
    } while (r < 0 && errno == EINTR);
}

pid_t waitFor(pid_t pid, int* status) {
    pid_t r;
    do {
        r = ::waitpid(pid, status, 0);
    } while (r < 0 && errno == EINTR);
    return r;
}

} // namespace

bool IsResourceError(int error) {
    return error == ENOMEM || error == EAGAIN;
}

std::string FindProgram(std::string_view program) {
    if (program.empty())
        return {};
    if (program.find('/') != std::string_view::npos) {
        std::string p(program);
        return isExecutableFile(p) ? p : std::string();
    }
    const char* env = std::getenv("PATH");
    const std::string path = env && *env ? env : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    for (;;) {
        const size_t colon = path.find(':', start);
        std::string dir =
            path.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (dir.empty())
            dir = ".";
        const std::string candidate = dir + "/" + std::string(program);
        if (isExecutableFile(candidate))
            return candidate;
        if (colon == std::string::npos)
            return {};
        start = colon + 1;
    }
}

int LaunchDetached(const std::vector<std::string>& argv, const std::string& workingDir) {
    if (argv.empty())
        return ENOENT;
    const std::string program = FindProgram(argv[0]);
    if (program.empty()) {
        // Tell "not there" from "there but not runnable".
        struct stat st;
        return argv[0].find('/') != std::string::npos && stat(argv[0].c_str(), &st) == 0 ? EACCES
                                                                                         : ENOENT;
    }
    // Everything the children use is prepared here: between fork and exec only
    // async-signal-safe calls are allowed, as other threads may hold locks.
    std::vector<char*> args = cArgv(argv);
    const char* dir = workingDir.empty() ? nullptr : workingDir.c_str();
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return errno;
    const pid_t pid = ::fork();
    if (pid < 0) {
        const int err = errno;
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return err;
    }
    if (pid == 0) {
        ::close(pipeFds[0]);
        ::setsid(); // leave our session, so closing our terminal does not end it
        const pid_t grandchild = ::fork();
        if (grandchild < 0) {
            writeErrno(pipeFds[1], errno);
            ::_exit(127);
        }
        if (grandchild > 0)
            ::_exit(0);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
        // Descriptors someone opened without close-on-exec stay ours.
        ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
        if (dir && ::chdir(dir) != 0) {
            writeErrno(pipeFds[1], errno);
            ::_exit(127);
        }
        ::execve(program.c_str(), args.data(), environ);
        writeErrno(pipeFds[1], errno);
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    int status = 0;
    waitFor(pid, &status);
    // The pipe closes without data when exec succeeded.
    int childError = 0;
    ssize_t n;
    do {
        n = ::read(pipeFds[0], &childError, sizeof childError);
    } while (n < 0 && errno == EINTR);
    ::close(pipeFds[0]);
    if (n == static_cast<ssize_t>(sizeof childError))
        return childError ? childError : EIO;
    return 0;
}

RunResult RunAndWait(const std::vector<std::string>& argv, const std::string& workingDir) {
    RunResult result;
    const std::string program = argv.empty() ? std::string() : FindProgram(argv[0]);
    if (program.empty()) {
        result.error = ENOENT;
        return result;
    }
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        result.error = errno;
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    if (!workingDir.empty())
        posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str());
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<char*> args = cArgv(argv);
    pid_t pid = -1;
    const int err = posix_spawn(&pid, program.c_str(), &actions, &attr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    ::close(pipeFds[1]);
    if (err != 0) {
        ::close(pipeFds[0]);
        result.error = err;
        return result;
    }
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(pipeFds[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        // Keep reading past the limit so the program is not stopped by a full pipe.
        if (result.output.size() < kMaxOutput)
            result.output.append(
                buf, std::min(static_cast<size_t>(n), kMaxOutput - result.output.size()));
    }
    ::close(pipeFds[0]);
    int status = 0;
    if (waitFor(pid, &status) == pid && WIFEXITED(status))
        result.exitStatus = WEXITSTATUS(status);
    return result;
}

} // namespace km
