#include "fileops/open_execute/SessionMenus.h"

#include "fileops/open_execute/MimeLookup.h"
#include "fileops/open_execute/ProcessLauncher.h"
#include "fileops/open_execute/XdgDirs.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

namespace km {
namespace {

bool lessName(const std::string& a, const std::string& b) {
    const int c = strcasecmp(a.c_str(), b.c_str());
    return c != 0 ? c < 0 : a < b;
}

std::string home() {
    const char* h = std::getenv("HOME");
    return h ? h : "";
}

} // namespace

std::string DesktopDirectory() {
    const XdgDirs dirs = XdgDirs::FromEnvironment();
    // user-dirs.dirs holds lines like XDG_DESKTOP_DIR="$HOME/Desktop".
    const std::string text = ReadSmallFile(dirs.configHome + "/user-dirs.dirs");
    const std::string key = "XDG_DESKTOP_DIR=\"";
    const size_t at = text.find(key);
    if (at != std::string::npos) {
        const size_t start = at + key.size();
        const size_t end = text.find('"', start);
        std::string value = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (value.rfind("$HOME", 0) == 0)
            value = home() + value.substr(5);
        if (!value.empty() && value[0] == '/')
            return value;
    }
    return home() + "/Desktop";
}

std::vector<DesktopItem> ReadDesktopItems(const std::string& dir) {
    std::vector<DesktopItem> items;
    DIR* d = opendir(dir.c_str());
    if (!d)
        return items;
    while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name.empty() || name[0] == '.')
            continue;
        DesktopItem item;
        item.path = dir + "/" + name;
        item.name = name;
        struct stat st;
        if (stat(item.path.c_str(), &st) != 0)
            continue;
        item.isFolder = S_ISDIR(st.st_mode);
        DesktopEntry entry;
        if (!item.isFolder && name.size() > 8 && name.compare(name.size() - 8, 8, ".desktop") == 0 &&
            LoadDesktopEntry(item.path, entry)) {
            item.isLauncher = entry.type == "Application" || entry.type == "Link";
            if (!entry.name.empty())
                item.name = entry.name;
        }
        items.push_back(std::move(item));
    }
    closedir(d);
    std::sort(items.begin(), items.end(), [](const DesktopItem& a, const DesktopItem& b) {
        if (a.isFolder != b.isFolder)
            return !a.isFolder;
        return lessName(a.name, b.name);
    });
    if (items.size() > 250)
        items.resize(250);
    return items;
}

std::vector<SettingsApplet> ReadSettingsApplets() {
    std::vector<SettingsApplet> applets;
    std::vector<std::string> seen;
    const XdgDirs dirs = XdgDirs::FromEnvironment();
    const std::vector<std::string>& desktops = dirs.desktops;
    for (const std::string& dir : dirs.DataPaths("applications")) {
        DIR* d = opendir(dir.c_str());
        if (!d)
            continue;
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name.size() <= 8 || name.compare(name.size() - 8, 8, ".desktop") != 0)
                continue;
            if (std::find(seen.begin(), seen.end(), name) != seen.end())
                continue;
            seen.push_back(name);
            SettingsApplet a;
            if (!LoadDesktopEntry(dir + "/" + name, a.entry) || a.entry.hidden || a.entry.noDisplay ||
                a.entry.type != "Application" || a.entry.exec.empty())
                continue;
            if (std::find(a.entry.categories.begin(), a.entry.categories.end(), "Settings") == a.entry.categories.end())
                continue;
            // Another desktop's settings and uninstalled programs are not ours to offer.
            if (!ShownOnDesktops(a.entry, desktops) ||
                (!a.entry.tryExec.empty() && FindProgram(a.entry.tryExec).empty()))
                continue;
            a.entry.id = name;
            a.name = a.entry.name;
            if (const size_t amp = a.name.find('&'); amp != std::string::npos)
                a.name.erase(amp, 1);
            if (!a.name.empty())
                applets.push_back(std::move(a));
        }
        closedir(d);
    }
    std::sort(applets.begin(), applets.end(),
              [](const SettingsApplet& x, const SettingsApplet& y) { return lessName(x.name, y.name); });
    return applets;
}

} // namespace km
