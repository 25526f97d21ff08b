#include "settings/RegFileParser.h"
#include "settings/RegFileWriter.h"
#include "settings/SettingsStore.h"

#include <cctype>
#include <gtest/gtest.h>

namespace km {
namespace {

const RegValue* Find(const RegDocument& doc, std::string_view section, std::string_view name) {
    const RegKey* key = doc.findSection(section);
    return key ? key->find(name) : nullptr;
}

std::string DataOf(const RegDocument& doc, std::string_view section, std::string_view name) {
    const RegValue* v = Find(doc, section, name);
    return v ? v->data : "<absent>";
}

RegDocument MustParse(std::string_view text) {
    RegDocument doc;
    std::string error;
    EXPECT_TRUE(SettingsStore::parse(text, doc, error)) << error;
    return doc;
}

struct BadFile {
    const char* what;
    std::string_view text;
    int line;
};

class RegFileRejects : public testing::TestWithParam<BadFile> {};

TEST_P(RegFileRejects, NamesTheLine) {
    RegDocument doc;
    std::string error;
    EXPECT_FALSE(SettingsStore::parse(GetParam().text, doc, error));
    EXPECT_EQ(error.rfind("line " + std::to_string(GetParam().line) + ":", 0), 0u) << error;
    EXPECT_TRUE(doc.keys().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Damaged, RegFileRejects,
    testing::Values(BadFile{"empty", "", 1}, BadFile{"header", "REGEDIT5\n", 1},
                    BadFile{"nul-filled", std::string_view("\0\0\0\0", 4), 1},
                    BadFile{"stray", "REGEDIT4\n\nhello\n", 3},
                    BadFile{"value first", "REGEDIT4\n\"a\"=dword:00000001\n", 2},
                    BadFile{"open key", "REGEDIT4\n[HKEY_CURRENT_US", 2},
                    BadFile{"open string", "REGEDIT4\n[K]\n\"a\"=\"abc\n", 3},
                    BadFile{"escaped end", "REGEDIT4\n[K]\n\"a\"=\"abc\\\"\n", 3},
                    BadFile{"short dword", "REGEDIT4\n[K]\n\"a\"=dword:0000001\n", 3},
                    BadFile{"long dword", "REGEDIT4\n[K]\n\"a\"=dword:000000001\n", 3},
                    BadFile{"odd hex", "REGEDIT4\n[K]\n\"a\"=hex:01,0\n", 3},
                    BadFile{"cut hex", "REGEDIT4\n[K]\n\"a\"=hex:01,\\\n", 3},
                    BadFile{"no type", "REGEDIT4\n[K]\n\"a\"=qword:1\n", 3},
                    BadFile{"junk after", "REGEDIT4\n[K]\n\"a\"=\"x\" y\n", 3}),
    [](const auto& info) {
        std::string name;
        for (char c : std::string(info.param.what))
            name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

TEST(RegFile, ReadsVersion5ExportInUtf16) {
    std::string utf8 = "Windows Registry Editor Version 5.00\r\n\r\n"
                       "[HKEY_CURRENT_USER\\Software\\Orlent\\KM\\Paden]\r\n"
                       "\"Links\"=\"C:\\\\Gr\xC3\xBC\xC3\x9F\"\r\n"
                       "\"Pad\"=hex(2):25,00,54,00,00,00\r\n";
    std::string wide = "\xFF\xFE";
    for (size_t i = 0; i < utf8.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        unsigned cp = c;
        if (c >= 0xC0) { // the two-byte sequences above
            cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3Fu);
        }
        wide += static_cast<char>(cp & 0xFF);
        wide += static_cast<char>(cp >> 8);
    }
    RegDocument doc = MustParse(wide);
    EXPECT_EQ(DataOf(doc, "paden", "links"), "C:\\Gr\xC3\xBC\xC3\x9F");
    EXPECT_EQ(DataOf(doc, "Paden", "Pad"), std::string("%T\0", 3)); // UTF-16 narrowed
}

TEST(RegFile, AppliesDeletionsAndMergesKeys) {
    RegDocument doc =
        MustParse("REGEDIT4\n"
                  "[HKEY_CURRENT_USER\\Software\\Orlent\\KM\\A]\n\"x\"=dword:00000001\n"
                  "\"y\"=\"1\"\n"
                  "[HKEY_CURRENT_USER\\Software\\Orlent\\KM\\A\\Sub]\n\"z\"=\"1\"\n"
                  "[HKEY_CURRENT_USER\\SOFTWARE\\orlent\\km\\a]\n\"X\"=dword:00000002\n"
                  "\"y\"=-\n"
                  "[-HKEY_CURRENT_USER\\Software\\Orlent\\KM\\A\\Sub]\n\"w\"=\"ignored\"\n");
    ASSERT_EQ(doc.keys().size(), 1u);
    const RegKey& a = doc.keys()[0];
    ASSERT_EQ(a.values().size(), 1u);
    EXPECT_EQ(a.values()[0].name, "x"); // first spelling kept, last data wins
    EXPECT_EQ(a.values()[0].dword, 2);
}

TEST(RegFile, WriteReadsBackUnchanged) {
    RegDocument doc;
    RegKey& s = doc.section("Kleuren");
    s.put("neg").type = RegType::Dword;
    s.put("neg").dword = -1;
    s.put("quote\"back\\").data = "a\\b\"c";
    s.put("lines").data = "one\r\ntwo\n";
    s.put("").data = "default";
    RegValue& blob = s.put("blob");
    blob.type = RegType::Binary;
    blob.hexType = 0xb;
    blob.data = std::string(100, '\x7f');
    doc.keyAt(doc.keyIndex("HKEY_LOCAL_MACHINE\\Other")).put("k").data = "v";

    std::string text = WriteRegFile(doc);
    EXPECT_NE(text.find("\"neg\"=dword:ffffffff\n"), std::string::npos);
    EXPECT_NE(text.find("@=\"default\"\n"), std::string::npos);
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1)
        EXPECT_LE(end - start, 80u) << text.substr(start, end - start);

    RegDocument back = MustParse(text);
    EXPECT_EQ(WriteRegFile(back), text);
    EXPECT_EQ(DataOf(back, "Kleuren", "LINES"), "one\r\ntwo\n");
    EXPECT_EQ(DataOf(back, "Kleuren", "quote\"back\\"), "a\\b\"c");
    EXPECT_EQ(DataOf(back, "Kleuren", "blob"), blob.data);
}

} // namespace
} // namespace km
