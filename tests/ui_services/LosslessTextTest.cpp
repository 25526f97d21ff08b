#include "ui_services/LosslessText.h"

#include <gtest/gtest.h>
#include <random>

using namespace km;

namespace {

using namespace std::string_literals;

DecodedText DecodeInPieces(std::string_view bytes, const std::vector<size_t>& sizes) {
    DecodedText out;
    LosslessDecoder decoder;
    size_t at = 0;
    for (size_t i = 0; at < bytes.size(); ++i) {
        const size_t n = std::min(sizes[i % sizes.size()], bytes.size() - at);
        decoder.feed(bytes.substr(at, n), out);
        at += n;
    }
    decoder.finish(out);
    return out;
}

void ExpectSame(const DecodedText& a, const DecodedText& b, const std::string& what) {
    EXPECT_EQ(a.text, b.text) << what;
    EXPECT_EQ(a.ends, b.ends) << what;
}

struct Sample {
    const char* name;
    std::string bytes;
};

class RoundTrip : public ::testing::TestWithParam<Sample> {};

} // namespace

TEST_P(RoundTrip, BytesComeBackUnchangedHoweverTheyArePieced) {
    const std::string& bytes = GetParam().bytes;
    const DecodedText whole = DecodeLossless(bytes);
    EXPECT_EQ(EncodeLossless(whole), bytes);
    ExpectSame(DecodeInPieces(bytes, {1}), whole, "byte by byte");
    for (size_t split = 1; split < bytes.size(); ++split)
        ExpectSame(DecodeInPieces(bytes, {split, bytes.size()}), whole,
                   "split at " + std::to_string(split));
}

INSTANTIATE_TEST_SUITE_P(
    Files, RoundTrip,
    ::testing::Values(Sample{"empty", ""}, Sample{"lf", "one\ntwo\n"},
                      Sample{"crlf", "one\r\ntwo\r\n"},
                      Sample{"mixed", "a\r\nb\nc\rd\r\n\r\n\n\re"},
                      Sample{"noFinalNewline", "last line"}, Sample{"onlyCr", "\r"},
                      Sample{"utf8", "gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x98\x80\n"},
                      Sample{"invalid", "\x80\xFF\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80\xF5x\xC3"},
                      Sample{"truncatedBeforeNewline", "\xE2\x82\r\n\xF0\x9F\x98"},
                      Sample{"nul", "a\0b\0\r\n\0"s},
                      Sample{"blockBreakCodePoints",
                             "p\xE2\x80\xA9q\xEF\xB7\x90\xEF\xB7\x91\xE2\x80\xA8"},
                      Sample{"escapeLookalike", "\xED\xB2\x80"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LosslessText, MapsInvalidBytesAndLineEndsAsDocumented) {
    const DecodedText d = DecodeLossless("a\x80"
                                         "b\r\nc\nd\re\xC3\xA9");
    EXPECT_EQ(d.text, QString::fromUtf16(u"a\xDC80"
                                         "b\nc\nd\ne\u00E9"));
    EXPECT_EQ(d.ends, (std::vector<LineEnd>{LineEnd::CrLf, LineEnd::Lf, LineEnd::Cr}));
    // A paragraph separator in the file must not become a line break in the text.
    EXPECT_FALSE(DecodeLossless("\xE2\x80\xA9").text.contains(QChar::ParagraphSeparator));
    EXPECT_EQ(DecodeLossless("\xF0\x9F\x98\x80").text, QString::fromUtf8("\xF0\x9F\x98\x80"));
}

TEST(LosslessText, TypedTextEncodesAsUtf8AndStraySurrogatesAsReplacement) {
    std::string out;
    AppendEncoded(QStringView(u"\u00E9\n\u20AC"), out);
    EXPECT_EQ(out, "\xC3\xA9\n\xE2\x82\xAC");
    out.clear();
    const QChar lone[] = {QChar(0xD83D), QChar('x'), QChar(0xDC10)};
    AppendEncoded(QStringView(lone, 3), out);
    EXPECT_EQ(out, "\xEF\xBF\xBDx\xEF\xBF\xBD");
    // Recorded ends win; lines without one use the fallback.
    DecodedText d{QStringLiteral("a\nb\nc"), {LineEnd::Cr}};
    EXPECT_EQ(EncodeLossless(d, LineEnd::CrLf), "a\rb\r\nc");
}

TEST(LosslessText, RandomBytesInRandomPiecesRoundTrip) {
    std::mt19937 rng(7);
    const char alphabet[] = "ab\r\n\x80\xBF\xC2\xC3\xE0\xE2\xED\xEF\xF0\xF4\xFF\xA0\x9F\x82";
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(rng() % 40, '\0');
        for (char& c : bytes)
            c = alphabet[rng() % (sizeof alphabet - 1)];
        const DecodedText whole = DecodeLossless(bytes);
        ASSERT_EQ(EncodeLossless(whole), bytes) << round;
        const DecodedText pieces = DecodeInPieces(bytes, {1 + rng() % 5, 1 + rng() % 3});
        ASSERT_EQ(pieces.text, whole.text) << round;
        ASSERT_EQ(pieces.ends, whole.ends) << round;
    }
}

TEST(NameText, EveryByteSurvivesAndEditsKeepTheUntouchedBytes) {
    const std::vector<std::string> names = {"plain", "caf\xc3\xa9", "bad\xff\xfe", "new\nline\r", "\x01tab\t",
                                            "\xe6\x9d\xb1\xe4\xba\xac", "half\xe6\x9d", ""};
    for (const auto& n : names)
        EXPECT_EQ(NameFromText(NameToText(n)), n);
    QString edited = NameToText("bad\xff.txt");
    edited.replace(QStringLiteral(".txt"), QStringLiteral(".bak"));
    EXPECT_EQ(NameFromText(edited), "bad\xff.bak");
    EXPECT_EQ(NameToText("caf\xc3\xa9"), QStringLiteral("caf\u00e9")); // valid text reads as text
}
