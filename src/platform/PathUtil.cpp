#include "platform/PathUtil.h"

#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace km {

bool IsRootPath(std::string_view path) { return path == "/"; }

int PathDepth(std::string_view path) {
    if (IsRootPath(path))
        return 0;
    int n = 0;
    for (char c : path)
        n += c == '/';
    return n;
}

std::string JoinPath(std::string_view dir, std::string_view name) {
    std::string out(dir);
    if (out.empty() || out.back() != '/')
        out += '/';
    out += name;
    return out;
}

std::string ParentPath(std::string_view path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string_view::npos || slash == 0)
        return "/";
    return std::string(path.substr(0, slash));
}

std::string_view BaseName(std::string_view path) {
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string ResolvePath(std::string_view base, std::string_view typed) {
    std::string joined = (!typed.empty() && typed[0] == '/') ? std::string(typed)
                                                             : JoinPath(base, typed);
    std::vector<std::string_view> parts;
    std::string_view rest(joined);
    while (!rest.empty()) {
        const size_t slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string out;
    for (auto p : parts) {
        out += '/';
        out += p;
    }
    return out.empty() ? "/" : out;
}

std::string NearestExistingDirectory(std::string_view path) {
    std::string p = ResolvePath("/", path);
    for (;;) {
        struct stat st;
        if (stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            return p;
        if (IsRootPath(p))
            return p;
        p = ParentPath(p);
    }
}

std::string StartDirectory() {
    char buf[4096];
    if (getcwd(buf, sizeof buf) && buf[0] == '/')
        return ResolvePath("/", buf);
    return "/";
}

} // namespace km
