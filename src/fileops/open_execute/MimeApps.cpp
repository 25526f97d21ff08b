#include "fileops/open_execute/MimeApps.h"

#include "fileops/open_execute/KeyFile.h"
#include "fileops/open_execute/MimeLookup.h"
#include "fileops/open_execute/ProcessLauncher.h"

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

namespace km {
namespace {

bool isFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool contains(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

// Desktop files below `dir`, with their IDs (subdirectories join with '-').
void collectEntries(const std::string& dir, const std::string& prefix, int depth,
                    std::vector<std::pair<std::string, std::string>>& out) {
    DIR* d = opendir(dir.c_str());
    if (!d)
        return;
    while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string path = dir + "/" + name;
        struct stat st;
        if (stat(path.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            if (depth < 4)
                collectEntries(path, prefix + name + "-", depth + 1, out);
        } else if (name.size() > 8 && name.compare(name.size() - 8, 8, ".desktop") == 0) {
            out.emplace_back(prefix + name, path);
        }
    }
    closedir(d);
}

} // namespace

MimeApps::MimeApps(XdgDirs dirs)
    : dirs_(std::move(dirs)), appDirs_(dirs_.DataPaths("applications")) {
    auto addLists = [&](const std::string& dir, bool legacy) {
        for (const std::string& desktop : dirs_.desktops) {
            if (isFile(dir + "/" + desktop + "-mimeapps.list"))
                lists_.push_back(dir + "/" + desktop + "-mimeapps.list");
        }
        if (isFile(dir + "/mimeapps.list"))
            lists_.push_back(dir + "/mimeapps.list");
        if (legacy && isFile(dir + "/defaults.list"))
            lists_.push_back(dir + "/defaults.list");
    };
    addLists(dirs_.configHome, false);
    for (const std::string& d : dirs_.configDirs)
        addLists(d, false);
    for (const std::string& d : appDirs_)
        addLists(d, true);
}

std::optional<DesktopEntry> MimeApps::FindEntry(std::string_view id) const {
    const std::string sid(id);
    if (sid.empty() || sid.find('/') != std::string::npos || sid.find("..") != std::string::npos)
        return std::nullopt;
    for (const std::string& dir : appDirs_) {
        // "kde4-foo.desktop" may live as kde4/foo.desktop.
        std::string path = dir + "/" + sid;
        for (size_t dash = 0; !isFile(path);) {
            dash = sid.find('-', dash);
            if (dash == std::string::npos)
                break;
            std::string sub = sid;
            sub[dash++] = '/';
            path = dir + "/" + sub;
        }
        if (!isFile(path))
            continue;
        DesktopEntry e;
        // The first file with the ID decides, even when it hides the entry.
        if (!LoadDesktopEntry(path, e) || e.hidden || e.type != "Application" || e.exec.empty())
            return std::nullopt;
        if (!e.tryExec.empty() && FindProgram(e.tryExec).empty())
            return std::nullopt;
        e.id = sid;
        return e;
    }
    return std::nullopt;
}

std::vector<std::string> MimeApps::claimedIn(const std::string& dir, std::string_view type) const {
    std::vector<std::string> ids;
    const std::string cache = ReadSmallFile(dir + "/mimeinfo.cache");
    if (!cache.empty()) {
        const KeyFile f(cache);
        if (const std::string* v = f.Get("MIME Cache", type))
            ids = SplitList(*v);
        return ids;
    }
    // No cache (typical for the user's own directory): read the entries.
    std::vector<std::pair<std::string, std::string>> entries;
    collectEntries(dir, "", 0, entries);
    std::sort(entries.begin(), entries.end());
    for (const auto& [id, path] : entries) {
        DesktopEntry e;
        if (LoadDesktopEntry(path, e) && contains(e.mimeTypes, std::string(type)))
            ids.push_back(id);
    }
    return ids;
}

std::optional<DesktopEntry> MimeApps::DefaultFor(std::string_view type) const {
    for (const std::string& list : lists_) {
        const KeyFile f(ReadSmallFile(list));
        const std::string* v = f.Get("Default Applications", type);
        if (!v)
            continue;
        for (const std::string& id : SplitList(*v)) {
            if (auto e = FindEntry(id))
                return e;
        }
    }
    std::vector<DesktopEntry> all = AssociatedWith(type);
    if (all.empty())
        return std::nullopt;
    return std::move(all.front());
}

std::vector<DesktopEntry> MimeApps::AssociatedWith(std::string_view type) const {
    std::vector<std::string> ids, removed;
    auto take = [&](const std::vector<std::string>& list) {
        for (const std::string& id : list) {
            if (!contains(ids, id) && !contains(removed, id))
                ids.push_back(id);
        }
    };
    for (const std::string& list : lists_) {
        const KeyFile f(ReadSmallFile(list));
        if (const std::string* v = f.Get("Added Associations", type))
            take(SplitList(*v));
        // A removal applies to this file's level and everything below it.
        if (const std::string* v = f.Get("Removed Associations", type)) {
            for (std::string& id : SplitList(*v))
                removed.push_back(std::move(id));
        }
    }
    for (const std::string& dir : appDirs_)
        take(claimedIn(dir, type));
    std::vector<DesktopEntry> out;
    for (const std::string& id : ids) {
        if (auto e = FindEntry(id))
            out.push_back(std::move(*e));
    }
    return out;
}

std::optional<DesktopEntry> MimeApps::ForProgram(std::string_view program) const {
    const std::string base(program.substr(program.rfind('/') + 1));
    if (base.empty())
        return std::nullopt;
    if (auto e = FindEntry(base + ".desktop"))
        return e;
    std::vector<std::string> seen;
    for (const std::string& dir : appDirs_) {
        std::vector<std::pair<std::string, std::string>> entries;
        collectEntries(dir, "", 0, entries);
        std::sort(entries.begin(), entries.end());
        for (const auto& [id, path] : entries) {
            if (contains(seen, id))
                continue; // a more important directory had this ID
            seen.push_back(id);
            DesktopEntry e;
            std::vector<std::string> argv;
            if (!LoadDesktopEntry(path, e) || e.hidden || e.type != "Application" ||
                !SplitExec(e.exec, argv) || argv.empty())
                continue;
            if (argv[0].substr(argv[0].rfind('/') + 1) == base) {
                e.id = id;
                return e;
            }
        }
    }
    return std::nullopt;
}

} // namespace km
