#pragma once
// Console programs (ls, top, vim) have no window of their own: they run in
// the user's terminal emulator, which stays open after a short run so that
// what the program printed can be read.
#include "fileops/open_execute/MimeApps.h"

#include <string>
#include <vector>

namespace km {

// A run shorter than this keeps the terminal open until Enter is pressed.
constexpr int kHoldTerminalSeconds = 3;

// Whether `path` (an executable file) needs a terminal: false for a known
// terminal emulator and for a program whose desktop entry says
// Terminal=false; true for everything else.
bool IsConsoleProgram(const std::string& path, const MimeApps& apps);

// Whether the file name is one of the terminal emulators this program knows.
bool IsTerminalEmulator(const std::string& path);

// The argument vector that runs `argv` in a terminal emulator: Debian's
// x-terminal-emulator, else $TERMINAL, else xdg-terminal-exec, else the
// current desktop's own terminal, else any known one that is installed.
// Empty when there is none.
std::vector<std::string> TerminalCommand(const std::vector<std::string>& argv);

} // namespace km
