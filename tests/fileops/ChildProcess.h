#pragma once
// Runs part of a test in a child process: under limits the test process must
// not take on (few descriptors, a small largest file), or as the unprivileged
// user "nobody" (CI runs as root, for whom permissions do not hold).
#include <functional>
#include <grp.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace km::test {

enum ChildResult : int { ChildPassed = 0, ChildFailed = 1, NobodyUnavailable = 2 };

// `job` runs in the child and may hand text back through `output` (its
// messages, say) for the parent to check with readable failures.
inline int RunInChild(const std::function<bool(std::string& output)>& job,
                      std::string* output = nullptr, bool asNobody = false) {
    int fds[2];
    if (pipe(fds) != 0)
        return ChildFailed;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        if (asNobody && geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            _exit(NobodyUnavailable);
        std::string text;
        const bool ok = job(text);
        for (size_t done = 0; done < text.size();) {
            const ssize_t n = write(fds[1], text.data() + done, text.size() - done);
            if (n <= 0)
                break;
            done += static_cast<size_t>(n);
        }
        _exit(ok ? ChildPassed : ChildFailed);
    }
    close(fds[1]);
    std::string text;
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        text.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (output)
        *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : ChildFailed;
}

inline int RunAsNobody(const std::function<bool(std::string& output)>& job,
                       std::string* output = nullptr) {
    return RunInChild(job, output, true);
}

} // namespace km::test
