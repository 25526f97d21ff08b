#include "fileops/DirectoryCompare.h"

#include "platform/FileAttributes.h"

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

namespace km {
namespace {

unsigned char fold(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 'a' && u <= 'z' ? static_cast<unsigned char>(u - 32) : u;
}

// Compares two texts as if both were padded with blanks to the same length.
int comparePadded(std::string_view a, std::string_view b) {
    const size_t n = std::max(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = i < a.size() ? fold(a[i]) : ' ';
        const unsigned char y = i < b.size() ? fold(b[i]) : ' ';
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

struct Key {
    std::string_view base, extension; // the name up to and after its first '.'
    std::string_view name;
    long long minute; // local time as a number YYYYMMDDhhmm
};

Key keyOf(const CompareFile& f) {
    Key k;
    k.name = f.name;
    const size_t dot = k.name.find('.');
    k.base = k.name.substr(0, dot);
    k.extension = dot == std::string_view::npos ? std::string_view() : k.name.substr(dot + 1);
    const std::tm t = LocalTimeOf(f.lastWrite);
    k.minute = (((((t.tm_year + 1900LL) * 100 + t.tm_mon + 1) * 100 + t.tm_mday) * 100 + t.tm_hour) * 100) + t.tm_min;
    return k;
}

int compareNames(const Key& a, const Key& b) {
    const int c = comparePadded(a.base, b.base);
    return c != 0 ? c : comparePadded(a.extension, b.extension);
}

bool keyLess(const Key& a, const Key& b) {
    const int c = compareNames(a, b);
    if (c != 0)
        return c < 0;
    if (a.minute != b.minute)
        return a.minute < b.minute;
    return a.name < b.name;
}

} // namespace

std::vector<CompareFile> ReadCompareFiles(const std::string& dir, bool showHidden, bool showSystem) {
    std::vector<CompareFile> files;
    DIR* d = opendir(dir.c_str());
    if (!d)
        return files;
    const std::string prefix = dir.empty() || dir.back() == '/' ? dir : dir + "/";
    while (dirent* e = readdir(d)) {
        const std::string_view name = e->d_name;
        if (name == "." || name == ".." || e->d_type == DT_DIR)
            continue;
        const std::string path = prefix + e->d_name;
        struct stat st;
        if (stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
            continue;
        const uint32_t attrs = ReadAttributes(path.c_str(), name, st);
        if (((attrs & AttrSystem) && !showSystem) || ((attrs & AttrHidden) && !showHidden))
            continue;
        files.push_back({std::string(name), FileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec)});
    }
    closedir(d);
    return files;
}

DirectoryDifference CompareDirectoryFiles(std::vector<CompareFile> left, std::vector<CompareFile> right) {
    std::vector<Key> l, r;
    l.reserve(left.size());
    r.reserve(right.size());
    for (const CompareFile& f : left)
        l.push_back(keyOf(f));
    for (const CompareFile& f : right)
        r.push_back(keyOf(f));
    std::sort(l.begin(), l.end(), keyLess);
    std::sort(r.begin(), r.end(), keyLess);
    DirectoryDifference out;
    size_t i = 0, j = 0;
    while (i < l.size() || j < r.size()) {
        if (i == l.size()) {
            out.right.emplace_back(r[j++].name);
            continue;
        }
        if (j == r.size()) {
            out.left.emplace_back(l[i++].name);
            continue;
        }
        const int c = compareNames(l[i], r[j]);
        if (c < 0) {
            out.left.emplace_back(l[i++].name);
        } else if (c > 0) {
            out.right.emplace_back(r[j++].name);
        } else {
            if (l[i].minute < r[j].minute)
                out.right.emplace_back(r[j].name);
            else if (l[i].minute > r[j].minute)
                out.left.emplace_back(l[i].name);
            ++i;
            ++j;
        }
    }
    return out;
}

} // namespace km
