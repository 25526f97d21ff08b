#pragma once
// Desktop entries (.desktop files) and their Exec lines. A field code such as
// %f becomes exactly one argument whatever the file name holds; the program
// is never run through a shell.
#include <string>
#include <string_view>
#include <vector>

namespace km {

struct DesktopEntry {
    std::string id;   // desktop file ID, e.g. "org.gnome.gedit.desktop"
    std::string file; // where it was read
    std::string type; // "Application" for programs
    std::string name;
    std::string exec; // escapes of the value already undone
    std::string tryExec;
    std::string path; // working directory of the program, when given
    std::string icon;
    std::string url; // the target of a Type=Link entry
    bool hidden = false; // "deleted": hides entries of the same ID further down
    bool noDisplay = false;
    bool terminal = false;
    std::vector<std::string> mimeTypes;
    std::vector<std::string> categories;
    std::vector<std::string> onlyShowIn; // desktops (XDG_CURRENT_DESKTOP names)
    std::vector<std::string> notShowIn;
};

// Whether the entry is meant for a session on `desktops` (lower case, as
// XdgDirs gives them): OnlyShowIn names one of them, NotShowIn none.
bool ShownOnDesktops(const DesktopEntry& entry, const std::vector<std::string>& desktops);

// Reads the [Desktop Entry] group; false when the text has none.
bool ParseDesktopEntry(std::string_view text, DesktopEntry& out);
bool LoadDesktopEntry(const std::string& file, DesktopEntry& out);

// The value escapes of the format: \s \n \t \r \\.
std::string UnescapeValue(std::string_view raw);
std::string EscapeValue(std::string_view value);

// Splits an unescaped Exec value into arguments: blanks separate, double
// quotes group (with \" \` \$ \\ inside), as do single quotes and a
// backslash outside quotes. False on an unterminated quote.
bool SplitExec(std::string_view exec, std::vector<std::string>& args);
// One argument as an Exec line writes it, quoted when it holds reserved
// characters; '%' is not touched (the caller writes literal ones as %%).
std::string QuoteExecArgument(std::string_view arg);

// The argument vector that opens `file` with the entry. %f %F %u %U become
// the file; without any of them the file is appended. False for an Exec that
// cannot be parsed or names no program.
bool ExpandExec(const DesktopEntry& entry, const std::string& file, std::vector<std::string>& argv);

} // namespace km
