#pragma once
// The freedesktop.org base directories, read from the environment at each
// call so that a changed environment (and a test's private one) is seen.
#include <string>
#include <vector>

namespace km {

struct XdgDirs {
    std::string configHome;              // $XDG_CONFIG_HOME or ~/.config
    std::vector<std::string> configDirs; // $XDG_CONFIG_DIRS or /etc/xdg
    std::string dataHome;                // $XDG_DATA_HOME or ~/.local/share
    std::vector<std::string> dataDirs;   // $XDG_DATA_DIRS or /usr/local/share:/usr/share
    std::vector<std::string> desktops;   // $XDG_CURRENT_DESKTOP, lower case

    static XdgDirs FromEnvironment();

    // dataHome first, then dataDirs, each with `sub` appended.
    std::vector<std::string> DataPaths(const std::string& sub) const;
};

} // namespace km
