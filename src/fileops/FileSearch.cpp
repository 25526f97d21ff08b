#include "fileops/FileSearch.h"

#include "platform/FileAttributes.h"
#include "platform/PathUtil.h"
#include "platform/Wildcard.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace km {
namespace {

constexpr size_t kBlock = 16384;

struct Search {
    const SearchRequest& request;
    FileOpUi& ui;
    std::string pattern;
    TextMatcher matcher;
    SearchOutcome out;

    bool cancelled() {
        if (ui.Pump())
            out.cancelled = true;
        return out.cancelled;
    }

    // `dir` ends in '/'.
    void visit(const std::string& dir) {
        DIR* d = opendir(dir == "/" ? "/" : dir.substr(0, dir.size() - 1).c_str());
        if (!d)
            return;
        std::vector<std::string> subdirs;
        while (dirent* e = readdir(d)) {
            const std::string_view name = e->d_name;
            if (name == "." || name == "..")
                continue;
            const std::string path = dir + e->d_name;
            bool isDir = e->d_type == DT_DIR;
            if (e->d_type == DT_UNKNOWN) {
                struct stat lst;
                isDir = lstat(path.c_str(), &lst) == 0 && S_ISDIR(lst.st_mode);
            }
            if (isDir) {
                if (request.subdirectories)
                    subdirs.push_back(path);
                continue;
            }
            if (!WildcardMatch(pattern, name))
                continue;
            if (!considerFile(path, name))
                break;
        }
        closedir(d);
        for (const std::string& sub : subdirs) {
            if (cancelled())
                return;
            ui.ShowPaths(sub, {});
            visit(sub + "/");
            if (out.cancelled)
                return;
        }
    }

    // False when the search is over.
    bool considerFile(const std::string& path, std::string_view name) {
        struct stat st;
        if (stat(path.c_str(), &st) != 0) {
            // A dangling link is still a name that matched.
            if (lstat(path.c_str(), &st) != 0)
                return true;
        } else if (S_ISDIR(st.st_mode)) {
            return true; // a link to a directory: neither a file nor entered
        }
        const uint32_t attrs = ReadAttributes(path.c_str(), name, st);
        if ((attrs & AttrSystem) && !request.showSystem)
            return true;
        if ((attrs & AttrHidden) && !request.showHidden)
            return true;
        if (cancelled())
            return false;
        ui.ShowPaths(path, {});
        if (matcher.length() == 0) {
            out.found.push_back(path);
            return true;
        }
        switch (FileContainsText(path, matcher, ui)) {
        case ContainsResult::Yes: out.found.push_back(path); return true;
        case ContainsResult::No: return true;
        case ContainsResult::Cancelled: out.cancelled = true; return false;
        }
        return true;
    }
};

bool lessIgnoringCase(const std::string& a, const std::string& b) {
    const int c = strcasecmp(a.c_str(), b.c_str());
    return c != 0 ? c < 0 : a < b;
}

} // namespace

std::string SearchTextOf(const std::string& typed) {
    if (typed.size() <= TextMatcher::kMaxLength)
        return typed;
    size_t cut = TextMatcher::kMaxLength;
    while (cut > 0 && (static_cast<unsigned char>(typed[cut]) & 0xC0) == 0x80)
        --cut;
    return typed.substr(0, cut);
}

ContainsResult FileContainsText(const std::string& path, const TextMatcher& matcher, FileOpUi& ui) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return ContainsResult::No;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return ContainsResult::No;
    }
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    // The matcher carries its state from block to block, so a text across a
    // block boundary is found without reading any byte twice.
    TextMatcher m = matcher;
    m.Reset();
    unsigned char buffer[kBlock];
    ContainsResult result = ContainsResult::No;
    for (;;) {
        if (ui.Pump()) {
            result = ContainsResult::Cancelled;
            break;
        }
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        if (m.Feed(buffer, static_cast<size_t>(n))) {
            result = ContainsResult::Yes;
            break;
        }
    }
    close(fd);
    return result;
}

SearchOutcome SearchFiles(const SearchRequest& request, FileOpUi& ui) {
    const std::string& pattern = request.pathPattern;
    const size_t slash = pattern.rfind('/');
    std::string dir = slash == std::string::npos ? request.currentDir
                                                 : ResolvePath(request.currentDir, pattern.substr(0, slash + 1));
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    Search s{request, ui, slash == std::string::npos ? pattern : pattern.substr(slash + 1),
             TextMatcher(request.text, request.caseInsensitive), {}};
    if (!s.pattern.empty())
        s.visit(dir);
    std::sort(s.out.found.begin(), s.out.found.end(), lessIgnoringCase);
    return std::move(s.out);
}

} // namespace km
