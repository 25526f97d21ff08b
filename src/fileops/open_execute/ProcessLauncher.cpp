#include "fileops/open_execute/ProcessLauncher.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
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

// A child starts with no signal blocked and SIGPIPE at its default, whatever
// this process has set for itself.
void initSpawnSignals(posix_spawnattr_t& attr) {
    posix_spawnattr_init(&attr);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
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
    initSpawnSignals(attr);
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

namespace {

constexpr size_t kMaxConversationOutput = 1024 * 1024;
constexpr int kSliceMs = 50;

void appendCapped(std::string& to, const char* data, size_t size) {
    if (to.size() < kMaxConversationOutput)
        to.append(data, std::min(size, kMaxConversationOutput - to.size()));
}

// The reader of the program's input may be gone; this process must not die
// of SIGPIPE for it. The signal is blocked for the write and one it raised
// is taken back before the mask is restored.
ssize_t writeWithoutSigpipe(int fd, const char* data, size_t size) {
    sigset_t pipeOnly, old, pending;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeOnly, &old);
    sigpending(&pending);
    const bool wasPending = sigismember(&pending, SIGPIPE) == 1;
    ssize_t n;
    do {
        n = ::write(fd, data, size);
    } while (n < 0 && errno == EINTR);
    const int err = errno;
    if (n < 0 && err == EPIPE && !wasPending) {
        const timespec zero{0, 0};
        while (sigtimedwait(&pipeOnly, nullptr, &zero) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    errno = err;
    return n;
}

std::vector<std::string> changedEnvironment(const std::vector<std::string>& changes) {
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e)
        env.emplace_back(*e);
    for (const std::string& change : changes) {
        const size_t eq = change.find('=');
        const std::string prefix = change.substr(0, eq) + "=";
        std::erase_if(env, [&](const std::string& v) { return v.starts_with(prefix); });
        if (eq != std::string::npos)
            env.push_back(change);
    }
    return env;
}

void closeFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// Ends a program that was asked to stop: SIGTERM, and SIGKILL when it has not
// gone within a second.
void endProgram(pid_t pid, int* status) {
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 50; ++i) {
        if (::waitpid(pid, status, WNOHANG) == pid)
            return;
        ::usleep(20 * 1000);
    }
    ::kill(pid, SIGKILL);
    waitFor(pid, status);
}

} // namespace

ConversationResult
RunConversation(const std::vector<std::string>& argv, const std::string& workingDir,
                const std::vector<std::string>& environment,
                const std::function<std::optional<std::string>(std::string_view)>& onOutput,
                const std::function<bool()>& keepGoing) {
    ConversationResult result;
    const std::string program = argv.empty() ? std::string() : FindProgram(argv[0]);
    if (program.empty()) {
        result.error = ENOENT;
        return result;
    }
    int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 ||
        ::pipe2(err, O_CLOEXEC) != 0) {
        result.error = errno;
        for (int* p : {in, out, err}) {
            closeFd(p[0]);
            closeFd(p[1]);
        }
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    if (!workingDir.empty())
        posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str());
    posix_spawnattr_t attr;
    initSpawnSignals(attr);
    std::vector<char*> args = cArgv(argv);
    const std::vector<std::string> envStrings = changedEnvironment(environment);
    std::vector<char*> envp = cArgv(envStrings);
    pid_t pid = -1;
    const int spawnErr =
        posix_spawn(&pid, program.c_str(), &actions, &attr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    closeFd(in[0]);
    closeFd(out[1]);
    closeFd(err[1]);
    int inFd = in[1], outFd = out[0], errFd = err[0];
    if (spawnErr != 0) {
        closeFd(inFd);
        closeFd(outFd);
        closeFd(errFd);
        result.error = spawnErr;
        return result;
    }
    for (int fd : {inFd, outFd, errFd})
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    if (!onOutput)
        closeFd(inFd);

    std::string pending; // answers not yet taken by the program
    int status = 0;
    bool exited = false;
    char buf[4096];
    // Reads what is there now; false once the stream has ended.
    const auto drain = [&](int& fd, bool isOutput) {
        for (;;) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return true;
            if (n <= 0) {
                closeFd(fd);
                return false;
            }
            const size_t size = static_cast<size_t>(n);
            if (!isOutput) {
                appendCapped(result.errorOutput, buf, size);
                continue;
            }
            appendCapped(result.output, buf, size);
            if (!onOutput || inFd < 0)
                continue;
            std::optional<std::string> answer = onOutput(std::string_view(buf, size));
            if (!answer) {
                closeFd(inFd);
                pending.clear();
            } else {
                pending += *answer;
            }
        }
    };
    while (outFd >= 0 || errFd >= 0) {
        pollfd fds[3];
        nfds_t count = 0;
        if (outFd >= 0)
            fds[count++] = {outFd, POLLIN, 0};
        if (errFd >= 0)
            fds[count++] = {errFd, POLLIN, 0};
        if (inFd >= 0 && !pending.empty())
            fds[count++] = {inFd, POLLOUT, 0};
        if (::poll(fds, count, kSliceMs) < 0 && errno != EINTR)
            break;
        if (outFd >= 0)
            drain(outFd, true);
        if (errFd >= 0)
            drain(errFd, false);
        if (inFd >= 0 && !pending.empty()) {
            const ssize_t n = writeWithoutSigpipe(inFd, pending.data(), pending.size());
            if (n > 0)
                pending.erase(0, static_cast<size_t>(n));
            else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                closeFd(inFd); // the program stopped reading
                pending.clear();
            }
        }
        if (keepGoing && !keepGoing()) {
            endProgram(pid, &status);
            exited = result.cancelled = true;
            break;
        }
        if (!exited && ::waitpid(pid, &status, WNOHANG) == pid) {
            // Something it started may hold the pipes open: take what is there and stop.
            exited = true;
            if (outFd >= 0)
                drain(outFd, true);
            if (errFd >= 0)
                drain(errFd, false);
            break;
        }
    }
    closeFd(inFd);
    closeFd(outFd);
    closeFd(errFd);
    // It may go on after closing its output: wait, still asking whether to.
    while (!exited) {
        if (::waitpid(pid, &status, WNOHANG) == pid)
            break;
        if (keepGoing && !keepGoing()) {
            endProgram(pid, &status);
            result.cancelled = true;
            break;
        }
        ::usleep(kSliceMs * 1000);
    }
    if (!result.cancelled && WIFEXITED(status))
        result.exitStatus = WEXITSTATUS(status);
    return result;
}

} // namespace km
