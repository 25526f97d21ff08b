#pragma once
// Running the helper programs the tests start: quietly, and with a Python
// that has the module a script needs.
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace km::test {

inline int RunQuietly(const std::vector<std::string>& args) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int devnull = ::open("/dev/null", O_RDWR);
        ::dup2(devnull, 1);
        ::dup2(devnull, 2);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// An interpreter that can import `module` ($KM_PYTHON, python3 on PATH, the
// system's: a private Python on PATH may lack Debian's packages), or empty.
inline const std::string& PythonWithModule(const std::string& module) {
    static std::map<std::string, std::string> found; // asked once per module
    if (const auto it = found.find(module); it != found.end())
        return it->second;
    std::vector<std::string> candidates;
    if (const char* env = std::getenv("KM_PYTHON"); env && *env)
        candidates.emplace_back(env);
    candidates.emplace_back("python3");
    candidates.emplace_back("/usr/bin/python3");
    std::string& python = found[module];
    for (const std::string& c : candidates) {
        if (RunQuietly({c, "-c", "import " + module}) == 0) {
            python = c;
            break;
        }
    }
    return python;
}

} // namespace km::test
