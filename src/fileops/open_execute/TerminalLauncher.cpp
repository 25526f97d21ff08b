#include "fileops/open_execute/TerminalLauncher.h"

#include "fileops/open_execute/AssociationWriter.h"
#include "fileops/open_execute/ProcessLauncher.h"
#include "fileops/open_execute/XdgDirs.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string_view>

namespace km {
namespace {

struct KnownTerminal {
    const char* program;
    const char* desktop; // the desktop it belongs to (lower case), or ""
    const char* execute; // the option after which the command follows; "" for none
};

// Most specific first; the generic ones last.
constexpr KnownTerminal kTerminals[] = {
    {"gnome-terminal", "gnome", "--"},
    {"konsole", "kde", "-e"},
    {"xfce4-terminal", "xfce", "-x"},
    {"mate-terminal", "mate", "-x"},
    {"qterminal", "lxqt", "-e"},
    {"lxterminal", "lxde", "-e"},
    {"terminator", "", "-x"},
    {"alacritty", "", "-e"},
    {"kitty", "", ""},
    {"foot", "", ""},
    {"urxvt", "", "-e"},
    {"xterm", "", "-e"},
};

// Runs the command, and after a short run waits for Enter. The script is
// fixed text; the command reaches it only as positional parameters, so no
// shell ever interprets what the user typed.
std::string holdScript() {
    return "start=$(date +%s); \"$@\"; status=$?; "
           "if [ $(( $(date +%s) - start )) -lt " +
           std::to_string(kHoldTerminalSeconds) +
           " ]; then printf '\\n[%s: exit status %d. Press Enter to close.]' \"$1\" \"$status\"; "
           "read -r _; fi; exit $status";
}

std::string baseName(std::string_view path) {
    return std::string(path.substr(path.rfind('/') + 1));
}

std::string realPath(const std::string& path) {
    char buf[PATH_MAX];
    return realpath(path.c_str(), buf) ? std::string(buf) : path;
}

std::vector<std::string> held(const std::vector<std::string>& argv) {
    std::vector<std::string> out = {"/bin/sh", "-c", holdScript(), "kestrum-hold"};
    out.insert(out.end(), argv.begin(), argv.end());
    return out;
}

std::vector<std::string> with(std::vector<std::string> terminal, const char* execute,
                              const std::vector<std::string>& argv) {
    if (*execute)
        terminal.emplace_back(execute);
    const std::vector<std::string> command = held(argv);
    terminal.insert(terminal.end(), command.begin(), command.end());
    return terminal;
}

} // namespace

bool IsTerminalEmulator(const std::string& path) {
    const std::string base = baseName(path);
    if (base == "x-terminal-emulator" || base == "xdg-terminal-exec")
        return true;
    return std::any_of(std::begin(kTerminals), std::end(kTerminals),
                       [&](const KnownTerminal& t) { return base == t.program; });
}

bool IsConsoleProgram(const std::string& path, const MimeApps& apps) {
    const std::string real = realPath(path);
    if (IsTerminalEmulator(path) || IsTerminalEmulator(real))
        return false;
    // A link such as x-www-browser is known by the program it names.
    for (const std::string& p : {path, real}) {
        if (const auto e = apps.ForProgram(p))
            return e->terminal;
    }
    return true;
}

std::vector<std::string> TerminalCommand(const std::vector<std::string>& argv) {
    // Debian's alternative accepts "-e program args..." by policy.
    if (const std::string t = FindProgram("x-terminal-emulator"); !t.empty())
        return with({t}, "-e", argv);
    if (const char* env = std::getenv("TERMINAL"); env && *env) {
        std::vector<std::string> words = SplitCommandText(env);
        if (!words.empty() && !(words[0] = FindProgram(words[0])).empty()) {
            const KnownTerminal* known = nullptr;
            for (const KnownTerminal& k : kTerminals) {
                if (baseName(words[0]) == k.program)
                    known = &k;
            }
            return with(words, known ? known->execute : "-e", argv);
        }
    }
    if (const std::string t = FindProgram("xdg-terminal-exec"); !t.empty())
        return with({t}, "", argv);
    const std::vector<std::string> desktops = XdgDirs::FromEnvironment().desktops;
    for (const std::string& d : desktops) {
        for (const KnownTerminal& k : kTerminals) {
            if (d == k.desktop) {
                if (const std::string t = FindProgram(k.program); !t.empty())
                    return with({t}, k.execute, argv);
            }
        }
    }
    for (const KnownTerminal& k : kTerminals) {
        if (const std::string t = FindProgram(k.program); !t.empty())
            return with({t}, k.execute, argv);
    }
    return {};
}

} // namespace km
