#include "fileops/compare/LineText.h"

#include <gtest/gtest.h>

namespace km::test {
namespace {

using namespace std::string_view_literals;

constexpr uint32_t kM = 6293815u;

TEST(LineText, HashWeighsEachSignedByteByPositionAndPower) {
    EXPECT_EQ(LineHash("", false), 0u);
    EXPECT_EQ(LineHash("a", false), 97u * kM);
    EXPECT_EQ(LineHash("ab", false), 97u * kM + 2u * (kM * kM) * 98u);
    // Bytes above 127 are negative.
    EXPECT_EQ(LineHash("\xE9", false), static_cast<uint32_t>(-23) * kM);
    EXPECT_NE(LineHash("ab", false), LineHash("ba", false));
    EXPECT_NE(LineHash("a\n", false), LineHash("a\r\n", false));
}

TEST(LineText, IgnoringWhiteSpaceLeavesSpacesAndTabsOutOfHashAndEquality) {
    EXPECT_EQ(LineHash("\t a b \n", true), LineHash("ab\n", true));
    EXPECT_EQ(LineHash("ab  ", true), LineHash("ab", true));
    EXPECT_NE(LineHash("a b\n", false), LineHash("ab\n", false));
    EXPECT_TRUE(LineTextsEqual("  if (x)\n", "if(x)\n", true));
    EXPECT_FALSE(LineTextsEqual("  if (x)\n", "if(x)\n", false));
    EXPECT_TRUE(LineTextsEqual("same\n", "same\n", false));
}

TEST(LineText, LineEndsAlwaysCount) {
    for (const bool ignore : {false, true}) {
        EXPECT_FALSE(LineTextsEqual("a\r\n", "a\n", ignore));
        EXPECT_FALSE(LineTextsEqual("a", "a\n", ignore));
        EXPECT_FALSE(LineTextsEqual("a\n", "a", ignore));
        EXPECT_NE(LineHash("a", ignore), LineHash("a\n", ignore));
    }
}

TEST(LineText, AnEqualHashAndAPrefixAreNotEnough) {
    // A trailing NUL adds nothing to the hash, so only the bytes tell them apart.
    ASSERT_EQ(LineHash("abc"sv, false), LineHash("abc\0"sv, false));
    EXPECT_FALSE(LineTextsEqual("abc"sv, "abc\0"sv, false));
    EXPECT_FALSE(LineTextsEqual("abc\0"sv, "abc"sv, true));
}

TEST(LineText, BlankLines) {
    for (const char* t : {"", "\n", "\r\n", " \t ", "  \t\r\n", "\t\n"})
        EXPECT_TRUE(IsBlankLine(t)) << t;
    for (const char* t : {"x", " x\n", "\t.\n", "\f\n"})
        EXPECT_FALSE(IsBlankLine(t)) << t;
}

} // namespace
} // namespace km::test
