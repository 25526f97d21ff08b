#include "archive/tar_gzip/TarOutputName.h"

#include "platform/Collation.h"

#include <cstring>

namespace km::tar {

std::vector<std::string> OutputComponents(const std::string& storedName, bool keepPath) {
    std::vector<std::string> parts;
    std::string current;
    auto flush = [&] {
        if (!current.empty() && current != "." && current != "..")
            parts.push_back(current);
        current.clear();
    };
    for (char c : storedName) {
        if (c == '/')
            flush();
        else
            current += c;
    }
    const std::string last = current;
    flush();
    if (keepPath)
        return parts;
    // A name that ends in a separator or in "." / ".." names no file.
    if (last.empty() || last == "." || last == "..")
        return {};
    return {last};
}

std::string JoinComponents(const std::vector<std::string>& components) {
    std::string out;
    for (const auto& c : components) {
        if (!out.empty())
            out += '/';
        out += c;
    }
    return out;
}

std::string DecompressedName(const std::string& archivePath) {
    const size_t slash = archivePath.rfind('/');
    const std::string name = slash == std::string::npos ? archivePath : archivePath.substr(slash + 1);
    static const struct {
        const char* suffix;
        const char* replacement;
    } kSuffixes[] = {{".gz", ""},    {".gzip", ""},  {".z", ""},     {".xz", ""},
                     {".bz2", ""},   {".bz", ""},    {".zst", ""},   {".zstd", ""},
                     {".tgz", ".tar"}, {".taz", ".tar"}, {".txz", ".tar"}, {".tbz2", ".tar"},
                     {".tbz", ".tar"}, {".tzst", ".tar"}};
    for (const auto& s : kSuffixes) {
        const size_t n = std::strlen(s.suffix);
        if (name.size() > n && EqualsIgnoreCase(std::string_view(name).substr(name.size() - n), s.suffix))
            return name.substr(0, name.size() - n) + s.replacement;
    }
    return name + ".out";
}

} // namespace km::tar
