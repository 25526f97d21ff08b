#include "fileops/open_execute/XdgDirs.h"

#include <cstdlib>

namespace km {
namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

// The base-directory rules: relative entries are invalid and ignored.
std::vector<std::string> splitList(const std::string& value, const char* fallback) {
    std::vector<std::string> out;
    const std::string list = value.empty() ? fallback : value;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t colon = list.find(':', start);
        std::string part =
            list.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        while (part.size() > 1 && part.back() == '/')
            part.pop_back();
        if (!part.empty() && part[0] == '/')
            out.push_back(part);
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    return out;
}

std::string homeDir(const char* var, const char* below) {
    std::string v = env(var);
    if (!v.empty() && v[0] == '/')
        return v;
    return env("HOME") + below;
}

} // namespace

XdgDirs XdgDirs::FromEnvironment() {
    XdgDirs d;
    d.configHome = homeDir("XDG_CONFIG_HOME", "/.config");
    d.configDirs = splitList(env("XDG_CONFIG_DIRS"), "/etc/xdg");
    d.dataHome = homeDir("XDG_DATA_HOME", "/.local/share");
    d.dataDirs = splitList(env("XDG_DATA_DIRS"), "/usr/local/share:/usr/share");
    const std::string desktops = env("XDG_CURRENT_DESKTOP");
    size_t start = 0;
    while (start < desktops.size()) {
        size_t colon = desktops.find(':', start);
        if (colon == std::string::npos)
            colon = desktops.size();
        std::string name = desktops.substr(start, colon - start);
        for (char& c : name)
            c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (!name.empty())
            d.desktops.push_back(name);
        start = colon + 1;
    }
    return d;
}

std::vector<std::string> XdgDirs::DataPaths(const std::string& sub) const {
    std::vector<std::string> out;
    out.push_back(dataHome + "/" + sub);
    for (const std::string& d : dataDirs)
        out.push_back(d + "/" + sub);
    return out;
}

} // namespace km
