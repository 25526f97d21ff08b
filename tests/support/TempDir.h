#pragma once
// A private directory under $TMPDIR (or /tmp), removed with its contents at the end.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace km::test {

class TempDir {
public:
    TempDir() : TempDir(std::string()) {}
    // Below `base` instead of $TMPDIR (another file system, say).
    explicit TempDir(const std::string& base) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            (base.empty() ? std::string(tmp && *tmp ? tmp : "/tmp") : base) + "/km-test-XXXXXX";
        if (::mkdtemp(pattern.data()))
            path_ = pattern;
    }
    ~TempDir() {
        if (path_.empty())
            return;
        // Tests lock directories down; open them up again so they can be removed.
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        }
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteAll(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
}

} // namespace km::test
