#pragma once
// A recording script in place of the user's terminal emulator: it is found
// first in $PATH as x-terminal-emulator, writes its argument vector
// (NUL-separated) to a log, then runs the command after "-e" as a terminal
// would, with no keyboard and no screen, so a held-open terminal closes at once.
#include "support/TempDir.h"

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace km::test {

class TerminalStandIn {
public:
    // `name` is the program it stands in for.
    explicit TerminalStandIn(const std::string& name = "x-terminal-emulator") {
        const char* old = std::getenv("PATH");
        hadPath_ = old != nullptr;
        oldPath_ = old ? old : "";
        const std::string script = dir_.file(name);
        WriteAll(script, "#!/bin/sh\n"
                         "printf '%s\\0' \"$@\" > \"" +
                             log() + ".tmp\" && mv \"" + log() + ".tmp\" \"" + log() +
                             "\"\n"
                             "[ \"$1\" = -e ] && shift\n"
                             "exec \"$@\" </dev/null >/dev/null 2>&1\n");
        chmod(script.c_str(), 0755);
        setenv("PATH", (dir_.path() + ":" + oldPath_).c_str(), 1);
    }
    ~TerminalStandIn() {
        if (hadPath_)
            setenv("PATH", oldPath_.c_str(), 1);
        else
            unsetenv("PATH");
    }
    TerminalStandIn(const TerminalStandIn&) = delete;
    TerminalStandIn& operator=(const TerminalStandIn&) = delete;

    std::string log() const { return dir_.file("terminal.log"); }
    bool started() const {
        struct stat st;
        return stat(log().c_str(), &st) == 0;
    }
    // The terminal's arguments at its last start.
    std::vector<std::string> args() const {
        const std::string text = ReadAll(log());
        std::vector<std::string> fields;
        size_t start = 0;
        for (size_t nul; (nul = text.find('\0', start)) != std::string::npos; start = nul + 1)
            fields.push_back(text.substr(start, nul - start));
        return fields;
    }

private:
    TempDir dir_;
    std::string oldPath_;
    bool hadPath_ = false;
};

} // namespace km::test
