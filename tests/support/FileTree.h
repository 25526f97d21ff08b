#pragma once
// A directory tree as a sorted list, for comparing what an extraction made with
// what a peer tool made.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace km::test {

// Every regular file below `root` (relative path -> contents), directories as "name/".
inline std::vector<std::pair<std::string, std::string>> TreeOf(const std::string& root) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
        // Lexically: relative() would follow a link and list it under its target.
        const std::string rel = e.path().lexically_relative(root).string();
        if (e.is_symlink())
            out.push_back({rel + "@", ""});
        else if (e.is_directory())
            out.push_back({rel + "/", ""});
        else {
            FILE* f = std::fopen(e.path().c_str(), "rb");
            std::string data;
            char buf[65536];
            size_t n;
            while (f && (n = std::fread(buf, 1, sizeof buf, f)) > 0)
                data.append(buf, n);
            if (f)
                std::fclose(f);
            out.push_back({rel, data});
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace km::test
