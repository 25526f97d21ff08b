#include "support/AsNobody.h"

#include "support/TempDir.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace km {
namespace {

bool InTheChild() {
    return std::getenv("KM_TEST_AS_NOBODY") != nullptr;
}

TEST(AsNobody, TheChildIsNobodyWithNoGroupsAndPermissionsBindIt) {
    if (test::RerunAsNobody())
        return;
    if (!InTheChild())
        return; // an ordinary user already: nothing to drop
    const passwd* pw = ::getpwnam("nobody");
    ASSERT_NE(pw, nullptr);
    EXPECT_EQ(::getuid(), pw->pw_uid);
    EXPECT_EQ(::geteuid(), pw->pw_uid);
    EXPECT_NE(::getegid(), 0u);
    EXPECT_EQ(::getgroups(0, nullptr), 0);
    test::TempDir dir; // its own, made as nobody
    ASSERT_FALSE(dir.path().empty());
    test::WriteAll(dir.file("f"), "x");
    ::chmod(dir.file("f").c_str(), 0);
    EXPECT_NE(::access(dir.file("f").c_str(), R_OK), 0);
    EXPECT_NE(::access("/root", W_OK), 0);
}

TEST(AsNobody, AFailureInTheChildFailsTheTestWithItsText) {
    if (InTheChild()) {
        ADD_FAILURE() << "deliberately, as uid " << ::geteuid();
        return;
    }
    if (::geteuid() != 0)
        return; // nothing is rerun for an ordinary user
    const passwd* pw = ::getpwnam("nobody");
    ASSERT_NE(pw, nullptr);
    const std::string said = "deliberately, as uid " + std::to_string(pw->pw_uid);
    EXPECT_NONFATAL_FAILURE(test::RerunAsNobody(), said);
}

TEST(AsNobody, TheChildsOutputIsReadForItsTestAndItsSkip) {
    using namespace test::nobody_detail;
    const std::string out = "Note: Google Test filter = A.B\n"
                            "[ RUN      ] A.B\n"
                            "x.cpp:7: Skipped\n"
                            "no usable /dev/fuse\nhere\n"
                            "\n"
                            "[  SKIPPED ] A.B (0 ms)\n"
                            "[----------] 1 test from A (0 ms total)\n";
    const std::string section = Section(out, "A.B");
    EXPECT_EQ(section.substr(0, 16), "[ RUN      ] A.B");
    EXPECT_EQ(section.substr(section.size() - 23), "[  SKIPPED ] A.B (0 ms)");
    EXPECT_EQ(SkipMessage(section), "no usable /dev/fuse\nhere");
    EXPECT_EQ(SkipMessage("[ RUN      ] A.B\n[       OK ] A.B (1 ms)"), "");
    EXPECT_EQ(Section("cannot become nobody: EPERM", "A.B"), "cannot become nobody: EPERM");
}

} // namespace
} // namespace km
