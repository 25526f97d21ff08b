// The engines' interface: option domains and defaults, the record layouts, the error texts
// and message boxes, the configuration files and the three ways records are delivered.
#include "ZipTestSupport.h"
#include "support/TempDir.h"

#include "archive/zip/ZipDosTime.h"
#include "archive/zip/ZipEngine.h"
#include "archive/zip/ZipEngineOptions.h"
#include "archive/zip/ZipErrorTexts.h"
#include "archive/zip/ZipRecords.h"

#include <gtest/gtest.h>

namespace km::test {
namespace {

TEST(ZipRecordText, EveryByteOfANameSurvivesTheFields) {
    const std::string extra("\x55\x54\x05\x00\x01|\\|\\", 9);
    zip::ViewFields v;
    v.archive = "/home/a|b\\c/x.zip";
    v.name = "in|dir\\/a|b\\.txt|";
    v.extra = extra;
    const std::vector<std::string> f = zip::RecordFields(zip::FormatView(v));
    ASSERT_EQ(f.size(), 19u); // each field ends in a bar
    EXPECT_EQ(f[0], v.archive);
    EXPECT_EQ(f[1], "in|dir\\");
    EXPECT_EQ(f[2], "a|b\\.txt|");
    EXPECT_EQ(f[16], "5");
    EXPECT_EQ(f[17], extra.substr(4));
    EXPECT_EQ(zip::RecordFields("a\\|b|c\\"), (std::vector<std::string>{"a|b", "c\\"}));
}

TEST(ZipOptions, DomainsFlagsAndDefaults) {
    ZipEngine_Initialise();
    EXPECT_EQ(ZipEngine_SetCompressionLevel(7), 2);
    EXPECT_EQ(ZipEngine_SetCompressionLevel(3), 3);
    EXPECT_EQ(ZipEngine_Overwrite(13), 10);
    EXPECT_EQ(ZipEngine_IncludeHidden(2), 0);
    EXPECT_EQ(ZipEngine_IncludeHidden(255), 255);
    EXPECT_EQ(ZipEngine_Recurse(42), 1);
    EXPECT_EQ(ZipEngine_SaveAttributes(40), 1);
    // Only the ranges of the date are checked.
    EXPECT_EQ(ZipEngine_IncludeFilesNewer("2024-02-30"), 1);
    EXPECT_EQ(ZipEngine_IncludeFilesNewer("1899/12/31"), 0);
    EXPECT_EQ(ZipEngine_IncludeFilesOlder("2024.13.01"), 0);
    EXPECT_EQ(ZipEngine_IncludeListFile("/nonexistent/list"), 0);
    // KeepCompatible keeps the inverse and survives Initialise.
    EXPECT_STREQ(zip::ZipSpanLabelFormat(), "AZBACK# %03i");
    EXPECT_EQ(ZipEngine_KeepCompatible(0), 1);
    ZipEngine_Initialise();
    EXPECT_STREQ(zip::ZipSpanLabelFormat(), "PKBACK# %03i");
    EXPECT_EQ(ZipEngine_KeepCompatible(5), 0);
    EXPECT_EQ(ZipEngine_SetCompressionLevel(-1), 2);

    UnzipEngine_Initialise();
    EXPECT_EQ(UnzipEngine_RestoreAttributes(40), 32);
    EXPECT_EQ(UnzipEngine_RestoreAttributes(0), 0);
    EXPECT_EQ(UnzipEngine_Overwrite(9), 10);
    EXPECT_EQ(UnzipEngine_Test(-3), 1);
    UnzipEngine_Initialise();
    int16_t major = -1, minor = -1;
    UnzipEngine_GetVersion(&major, &minor);
    EXPECT_EQ(major, 0);
    EXPECT_EQ(minor, 7);
}

TEST(ZipOptions, ConfigurationFilesListTheOptionsInOrder) {
    TempDir dir;
    UnzipEngine_Initialise();
    UnzipEngine_ArchiveName("/data/a.zip");
    UnzipEngine_ExtractTo("/out");
    UnzipEngine_Decrypt("pw");
    UnzipEngine_Include("*.txt");
    ASSERT_EQ(UnzipEngine_SaveConfiguration(dir.file("u.cfg").c_str()), 1);
    EXPECT_EQ(ReadAll(dir.file("u.cfg")),
              "; Auto-Configuration file\n; Created by UnzipEngine v0.7\n"
              "\nUnzipEngine_ArchiveName=/data/a.zip\nUnzipEngine_Decrypt=pw"
              "\nUnzipEngine_DisplayComment=0\nUnzipEngine_Decrypt=pw"
              "\nUnzipEngine_ExtractTo=/out/\nUnzipEngine_Freshen=0"
              "\nUnzipEngine_Include=*.txt\nUnzipEngine_Overwrite=10"
              "\nUnzipEngine_RestoreAttributes=32\nUnzipEngine_RestoreStructure=0"
              "\nUnzipEngine_Test=0\nUnzipEngine_Update=0\nUnzipEngine_View=0");
    UnzipEngine_Initialise();

    ZipEngine_Initialise();
    ZipEngine_ArchiveName("x.zip");
    ZipEngine_BuildSFX(1);
    ASSERT_EQ(ZipEngine_SaveConfiguration(dir.file("z.cfg").c_str()), 1);
    EXPECT_EQ(ReadAll(dir.file("z.cfg")),
              "; Auto-Configuration file\n; Created by ZipEngine v0.7\n"
              "\nZipEngine_ArchiveName=x.zip\nZipEngine_BuildSFX=1\nZipEngine_Delete=0"
              "\nZipEngine_DeleteComment=0\nZipEngine_DisplayComment=0\nZipEngine_Freshen=0"
              "\nZipEngine_IncludeArchive=1\nZipEngine_IncludeHidden=0"
              "\nZipEngine_IncludeReadOnly=1\nZipEngine_IncludeSystem=0\nZipEngine_Move=0"
              "\nZipEngine_Overwrite=10\nZipEngine_Recurse=0\nZipEngine_SaveAttributes=1"
              "\nZipEngine_SaveStructure=2\nZipEngine_SetArchiveDate=1"
              "\nZipEngine_SetCompressionLevel=2\nZipEngine_Span=0\nZipEngine_Update=0"
              "\nZipEngine_UseLFN=1\nZipEngine_View=0");
    ZipEngine_Initialise();
}

TEST(ZipRecords, ViewRecordOfARealEntry) {
    RecordLog log;
    StartUnzip(log);
    UnzipEngine_ArchiveName(Fixture("zipcrypto.zip").c_str());
    UnzipEngine_View(1);
    UnzipEngine_Include("brown.txt");
    EXPECT_EQ(UnzipEngine_Run(), 1);
    ASSERT_EQ(log.of(21).size(), 1u);
    // Encrypted and stored: 6 bytes, 18 stored, the 12 header bytes do not count.
    const auto f = Fields(log.of(21)[0]);
    ASSERT_GE(f.size(), 18u);
    EXPECT_EQ(f[0], Fixture("zipcrypto.zip"));
    EXPECT_EQ(f[1], "");
    EXPECT_EQ(f[2], "brown.txt");
    EXPECT_EQ(f[3], "6");
    EXPECT_EQ(f[4], "18");
    EXPECT_EQ(f[5], "0");
    EXPECT_EQ(f[6], "2021-04-25");
    EXPECT_EQ(f[9], "0");
    EXPECT_EQ(f[10], "1");
    EXPECT_EQ(f[11], "5ebc8aea");
}

TEST(ZipRecords, PercentMethodDateAndLayoutRules) {
    EXPECT_EQ(zip::ViewPercent(0, 10, false), 0);
    EXPECT_EQ(zip::ViewPercent(1000, 300, false), 70);
    EXPECT_EQ(zip::ViewPercent(1000, 312, true), 70);
    EXPECT_EQ(zip::ViewPercent(3, 1, false), 67);      // 667 per mille, rounded up
    EXPECT_EQ(zip::ViewPercent(100, 150, false), -49); // grew; C division truncates
    EXPECT_EQ(zip::ViewMethodCode(8, 0x6), 83);
    EXPECT_EQ(zip::ViewMethodCode(5, 0), 50);
    EXPECT_EQ(zip::ViewMethodCode(9, 0), 255);
    EXPECT_EQ(zip::DosDateText(static_cast<uint16_t>((44 << 9) | (13 << 5) | 7)), "2024-06-07");
    EXPECT_EQ(zip::DosTimeText(static_cast<uint16_t>((9 << 11) | (5 << 5) | 29)), "09:05:58");
    EXPECT_EQ(
        zip::QueryDateText(static_cast<uint16_t>((44 << 9) | (0 << 5) | 3), (7 << 11) | (8 << 5)),
        " 3 January 2024  7:08");

    zip::ViewFields v;
    v.archive = "a.zip";
    v.name = "dir/sub/";
    EXPECT_EQ(zip::FormatView(v),
              "a.zip|dir/sub||0|0|0|1980-06-00|00:00:00|0|0|0|00000000|1|0.0|0.0|0|0||");
    v.name = "f";
    const std::string extra("\x55\x54\x05\x00\x01\x02\x03\x04\x05", 9);
    v.extra = extra;
    const std::string withExtra = zip::FormatView(v);
    EXPECT_EQ(withExtra.substr(withExtra.find("|0.0|0.0|")),
              "|0.0|0.0|21589|5|\x01\x02\x03\x04\x05|");
    // The record prefix, and the whole line for a window.
    struct Window : zip::ZipRecordWindow {
        std::string last;
        void SetText(const char* text) override { last = text; }
    } window;
    zip::ZipRecordChannel channel(1);
    channel.SetWindow(&window);
    EXPECT_EQ(channel.Send(21, "x|"), 0);
    EXPECT_EQ(window.last, "1| 21|x|");
}

TEST(ZipRecords, PlainCallbackAndHostQuestions) {
    static std::vector<std::string> seen;
    seen.clear();
    UnzipEngine_Initialise();
    UnzipEngine_InstallCallback([](uint16_t engine, uint16_t type, const char* text) -> uint16_t {
        seen.push_back(std::to_string(engine) + "/" + std::to_string(type) + "/" + text);
        return 0;
    });
    UnzipEngine_ArchiveName(Fixture("SHRUNK.ZIP").c_str());
    UnzipEngine_Test(1);
    EXPECT_EQ(UnzipEngine_Run(), 2);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen[0], "1/11/" + Fixture("SHRUNK.ZIP") + "|0|");
    EXPECT_EQ(seen.back().substr(0, 5), "1/17/");

    // Without callback or window the host answers the overwrite question.
    struct Host : zip::ZipEngineHost {
        int asked = 0;
        std::string text;
        std::string shown;
        int AskOverwrite(const std::string& t) override {
            ++asked;
            text = t;
            return 2;
        }
        void ShowMessage(const std::string& title, const std::string& t) override {
            shown = title + "/" + t;
        }
    } host;
    TempDir dir;
    WriteAll(dir.file("TEST1.XML"), "old");
    UnzipEngine_InstallCallback(nullptr);
    UnzipEngine_SetParentWindowHandle(&host);
    UnzipEngine_ArchiveName(Fixture("SHRUNK.ZIP").c_str());
    UnzipEngine_ExtractTo(dir.path().c_str());
    EXPECT_EQ(UnzipEngine_Run(), 1);
    UnzipEngine_SetParentWindowHandle(nullptr);
    EXPECT_EQ(host.asked, 1);
    EXPECT_EQ(host.text.substr(0, 66),
              "A file with this name already exists. Do you wish to overwrite it?");
    EXPECT_EQ(ReadAll(dir.file("TEST1.XML")), "old");

    // DisplayComment shows the comment in the host's box, whatever the receiver.
    UnzipEngine_SetParentWindowHandle(&host);
    UnzipEngine_ArchiveName(Fixture("test_read_format_zip_comment_stored_1.zip").c_str());
    UnzipEngine_DisplayComment(1);
    UnzipEngine_View(1);
    EXPECT_EQ(UnzipEngine_Run(), 2);
    UnzipEngine_SetParentWindowHandle(nullptr);
    EXPECT_EQ(host.shown, "Comment in " + Fixture("test_read_format_zip_comment_stored_1.zip") +
                              "/This is a sample file for issue 271.");
}

TEST(ZipErrorTexts, HeadingsCodesAndMessageBoxes) {
    EXPECT_EQ(zip::ZipResourceText(15523), "no files to unzip");
    EXPECT_EQ(zip::ZipCodeText(0, false, 16), "invalid combination of function calls");
    EXPECT_EQ(zip::ZipCodeText(0, true, 50), "archive not modified");
    EXPECT_EQ(zip::ZipCodeText(1, false, 101), "multi-volume archive");
    EXPECT_EQ(zip::ZipCodeText(1, true, 2), "");
    EXPECT_EQ(zip::ZipMessageBoxText(1, true, "readme.txt", 12),
              "Unzip problem readme.txt: file is encrypted");
    EXPECT_EQ(zip::ZipMessageBoxText(1, false, "", 9), "Unzip error: can't find archive");
    EXPECT_EQ(zip::ZipMessageBoxText(0, false, "x.zip", 0), "Zip error x.zip");
    EXPECT_EQ(zip::ZipMessageBoxText(0, true, "", 255), "");
}

} // namespace
} // namespace km::test
