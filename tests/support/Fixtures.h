#pragma once
// Files made by other people's tools. Most are in the repository; the few
// whose source gives no licence to copy them stay beside the development
// checkout, and a test that needs one skips, naming it, where it is absent.
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace km::test {

// The path of `relative` ("rar/SOLID.RAR"), or empty when it is in neither place.
inline std::string FixturePath(const std::string& relative) {
    for (const char* dir : {KM_FIXTURES_DIR, KM_SHARED_FIXTURES_DIR}) {
        const std::string path = std::string(dir) + "/" + relative;
        if (::access(path.c_str(), R_OK) == 0)
            return path;
    }
    return {};
}

inline std::string FixtureMissing(const std::string& relative) {
    return "fixture " + relative + " is not here (it may not be copied into the repository)";
}

} // namespace km::test

// Declares `var` as the fixture's path, or skips the test naming the file.
#define KM_FIXTURE_OR_SKIP(var, relative)                                                          \
    const std::string var = ::km::test::FixturePath(relative);                                     \
    if (var.empty())                                                                               \
    GTEST_SKIP() << ::km::test::FixtureMissing(relative)
