#pragma once
// What the task-bar menus offer: the items of the desktop directory, and
// the settings applications the desktop knows (its "control panel").
#include "fileops/open_execute/DesktopEntry.h"

#include <string>
#include <vector>

namespace km {

struct DesktopItem {
    std::string name; // the file name, or a desktop entry's Name
    std::string path;
    bool isFolder = false;
    bool isLauncher = false; // a desktop entry of a program or a link
};

// The XDG desktop directory ($XDG_DESKTOP_DIR in user-dirs.dirs, else ~/Desktop).
std::string DesktopDirectory();

// Its items: files before folders, each group by name without regard to
// case; at most 250; names beginning with '.' left out.
std::vector<DesktopItem> ReadDesktopItems(const std::string& dir);

struct SettingsApplet {
    std::string name; // the first '&' removed
    DesktopEntry entry;
};

// The installed applications whose categories include "Settings", sorted by
// name without regard to case; an ID found twice counts once (the first wins).
// Entries for other desktops (OnlyShowIn, NotShowIn) and those whose TryExec
// program is missing are left out.
std::vector<SettingsApplet> ReadSettingsApplets();

} // namespace km
