#pragma once
// Folders with modes and times of their own, for comparing an extraction with a peer's.
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

namespace km::test {

inline void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A tree of folders with their own modes and times, made after their contents.
inline void MakeFolderTree(const std::string& root) {
    std::filesystem::create_directories(root + "/pkg/private/deep");
    std::filesystem::create_directories(root + "/pkg/shared");
    writeText(root + "/pkg/private/deep/f.txt", "f");
    writeText(root + "/pkg/shared/g.txt", "g");
    chmod((root + "/pkg/private/deep").c_str(), 02750); // set-gid is never restored
    chmod((root + "/pkg/private").c_str(), 0700);
    chmod((root + "/pkg/shared").c_str(), 0775);
    int64_t t = 1300000000;
    for (const char* d : {"/pkg/private/deep", "/pkg/private", "/pkg/shared", "/pkg"}) {
        const struct timespec times[2] = {{t, 0}, {t, 0}};
        utimensat(AT_FDCWD, (root + d).c_str(), times, 0);
        t += 86400 + 8; // even: DOS times have two-second steps
    }
}

// Modes and times to the second of the folders, as the peer left them, under umask 022.
inline void ExpectSameFolders(const std::string& ours, const std::string& peer) {
    for (const char* d : {"/pkg", "/pkg/private", "/pkg/private/deep", "/pkg/shared"}) {
        struct stat a, b;
        ASSERT_EQ(stat((ours + d).c_str(), &a), 0) << d;
        ASSERT_EQ(stat((peer + d).c_str(), &b), 0) << d;
        // Info-ZIP's unzip leaves a folder's mode unmasked; ours is under the umask (022).
        EXPECT_EQ(a.st_mode & 0777, b.st_mode & 0755) << d;
        EXPECT_EQ(a.st_mode & 07000, 0u) << d;
        EXPECT_EQ(a.st_mtime, b.st_mtime) << d;
    }
}


} // namespace km::test
