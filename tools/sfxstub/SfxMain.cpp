// km-sfx: the program in front of a self-extracting archive. Run, it reads the
// configuration block at the end of its own file, extracts the archive behind
// it (into the stored directory, the one named on the command line, or the
// current one), and starts the stored program there. Questions go to the
// terminal; without one, existing files are kept and nothing is asked.
#include "archive/zip/UnzipEngine.h"
#include "archive/zip/ZipErrorTexts.h"
#include "archive/zip/ZipRecords.h"
#include "archive/zip/ZipSfxConfig.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using namespace km;

// A line typed at the terminal, without its line end; echo off for a password.
bool askLine(const char* prompt, bool secret, std::string* line) {
    const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (tty < 0)
        return false;
    if (::write(tty, prompt, std::strlen(prompt)) < 0) {
        ::close(tty);
        return false;
    }
    termios saved{};
    const bool hide = secret && ::tcgetattr(tty, &saved) == 0;
    if (hide) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(tty, TCSAFLUSH, &quiet);
    }
    line->clear();
    char c;
    while (::read(tty, &c, 1) == 1 && c != '\n')
        *line += c;
    if (hide) {
        ::tcsetattr(tty, TCSAFLUSH, &saved);
        if (::write(tty, "\n", 1) < 0) {
        }
    }
    ::close(tty);
    return true;
}

uint16_t onRecord(uint16_t, uint16_t type, const char* text, uintptr_t) {
    const std::vector<std::string> f = zip::RecordFields(text ? text : "");
    // Fields count from 1, as the record formats number them.
    auto at = [&](size_t i) { return i >= 1 && i <= f.size() ? f[i - 1] : std::string(); };
    switch (type) {
    case 22:
    case 23:
        std::fprintf(
            stderr, "%s\n",
            zip::ZipMessageBoxText(1, type == 23, at(2), std::atoi(at(3).c_str())).c_str());
        return 0;
    case 24: {
        // Keep what is there unless the user says otherwise.
        std::string answer;
        const std::string prompt = "Replace " + at(2) + "? [y]es, [n]o, [A]ll, [N]one: ";
        if (!askLine(prompt.c_str(), false, &answer))
            return 2;
        if (answer == "y")
            return 0;
        if (answer == "A")
            return 1;
        return answer == "N" ? 3 : 2;
    }
    default:
        return 0;
    }
}

// The stored command line as an argument vector: blanks separate, double quotes group.
std::vector<std::string> splitCommand(const std::string& command) {
    std::vector<std::string> args;
    std::string current;
    bool quoted = false, any = false;
    for (const char c : command) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (any || !current.empty())
                args.push_back(current);
            current.clear();
            any = false;
        } else {
            current += c;
        }
    }
    if (any || !current.empty())
        args.push_back(current);
    return args;
}

int runProgram(const std::string& command, const std::string& directory) {
    std::vector<std::string> args = splitCommand(command);
    if (args.empty())
        return 0;
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    pid_t pid;
    const int err = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (err != 0) {
        std::fprintf(stderr, "Cannot start %s: %s\n", argv[0], std::strerror(err));
        return 1;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

} // namespace

int main(int argc, char** argv) {
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) {
        std::perror("km-sfx: cannot find its own file");
        return 1;
    }
    const std::string archive(self, static_cast<size_t>(n));
    const int fd = ::open(archive.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        std::perror(archive.c_str());
        return 1;
    }
    // The block ends the archive comment, so it lies within the last 64 KiB.
    const off_t tailSize = std::min<off_t>(st.st_size, 0x10000 + 22);
    std::string tail(static_cast<size_t>(tailSize), '\0');
    const bool read = ::pread(fd, tail.data(), tail.size(), st.st_size - tailSize) == tailSize;
    ::close(fd);
    zip::SfxConfig config;
    if (!read || !zip::DecodeSfxConfig(tail, &config)) {
        std::fprintf(stderr, "%s: no archive is attached to this program\n", archive.c_str());
        return 1;
    }
    std::string target = argc > 1 ? argv[1] : config.extractTo;
    if (target.empty())
        target = ".";
    std::string password;
    if (config.askPassword && !askLine("Password: ", true, &password)) {
        std::fprintf(stderr, "A password is needed, and there is no terminal to ask it on\n");
        return 1;
    }
    UnzipEngine_Initialise();
    UnzipEngine_InstallCallbackEx(&onRecord, 0);
    UnzipEngine_ArchiveName(archive.c_str());
    UnzipEngine_ExtractTo((target.back() == '/' ? target : target + "/").c_str());
    UnzipEngine_RestoreStructure(config.restoreStructure ? 1 : 0);
    UnzipEngine_Overwrite(10);
    if (!password.empty())
        UnzipEngine_Decrypt(password.c_str());
    const int64_t done = UnzipEngine_Run();
    const int error = UnzipEngine_GetLastError();
    std::printf("%lld files extracted to %s\n", static_cast<long long>(done < 0 ? 0 : done),
                target.c_str());
    // Every file kept by the user's own answers is no failure.
    if (error != 0 && error != zip::UnzipErrorNothingToDo)
        return 1;
    return config.program.empty() ? 0 : runProgram(config.program, target);
}
