#include "panels/PanelListing.h"

#include "platform/LocaleInfo.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>

using namespace km;

namespace {

std::vector<std::string> names(const PanelListing& l) {
    std::vector<std::string> out;
    for (const auto& e : l.entries)
        out.push_back(e.name);
    return out;
}

class ListingTest : public ::testing::Test {
protected:
    void SetUp() override {
        LocaleInfo li;
        li.thousandsSeparator = ".";
        SetCurrentLocale(li);
    }
    void file(const std::string& name, size_t size = 0) { test::WriteAll(dir.file(name), std::string(size, 'x')); }
    void subdir(const std::string& name) { mkdir(dir.file(name).c_str(), 0755); }
    void read(int flags = SortByName, std::string_view mask = "*.*") {
        listing.path = dir.path();
        listing.sortFlags = flags;
        ASSERT_EQ(listing.ReadDirectory(filter, mask).error, 0);
    }
    test::TempDir dir;
    PanelListing listing;
    ListingFilter filter;
};

} // namespace

TEST_F(ListingTest, ParentFirstThenDirectoriesThenFilesEvenDescending) {
    file("b.txt");
    file("A.txt");
    subdir("zdir");
    subdir("adir");
    read(SortByName);
    EXPECT_EQ(names(listing), (std::vector<std::string>{"..", "adir", "zdir", "A.txt", "b.txt"}));
    read(SortByName | SortDescending);
    EXPECT_EQ(names(listing), (std::vector<std::string>{"..", "zdir", "adir", "b.txt", "A.txt"}));
}

TEST_F(ListingTest, ExtensionOrderPutsDotlessFirstAndComparesExtThenBase) {
    file("b.TXT");
    file("a.txt");
    file("readme");
    file("z.c");
    read(SortByExtension);
    EXPECT_EQ(names(listing), (std::vector<std::string>{"..", "readme", "z.c", "a.txt", "b.TXT"}));
}

TEST_F(ListingTest, SizeAndDateOrders) {
    file("big", 300);
    file("small", 1);
    file("mid", 20);
    read(SortBySize);
    EXPECT_EQ(names(listing), (std::vector<std::string>{"..", "small", "mid", "big"}));
    read(SortBySize | SortDescending);
    EXPECT_EQ(names(listing), (std::vector<std::string>{"..", "big", "mid", "small"}));
    struct timespec times[2] = {{0, UTIME_OMIT}, {1000000, 0}};
    utimensat(AT_FDCWD, dir.file("big").c_str(), times, 0);
    read(SortByDate);
    EXPECT_EQ(listing.entries[1].name, "big");
}

TEST_F(ListingTest, ToggleRule) {
    EXPECT_EQ(PanelListing::ToggledFlags(SortByName, SortByName), SortByName | SortDescending);
    EXPECT_EQ(PanelListing::ToggledFlags(SortByName | SortDescending, SortByName), SortByName);
    EXPECT_EQ(PanelListing::ToggledFlags(SortByName, SortBySize), SortBySize);
}

TEST_F(ListingTest, HiddenAndSystemFiltersPerKind) {
    file(".dotfile");
    subdir(".dotdir");
    file("visible");
    read();
    EXPECT_EQ(names(listing), (std::vector<std::string>{"..", "visible"}));
    filter.showHiddenFiles = true;
    read();
    // The hidden directory still needs its own switch.
    EXPECT_EQ(names(listing), (std::vector<std::string>{"..", ".dotfile", "visible"}));
    filter.showHiddenDirs = true;
    read();
    EXPECT_EQ(listing.rowCount(), 4);
    EXPECT_EQ(listing.entries[1].name, ".dotdir");
}

TEST_F(ListingTest, SystemBitFromExtendedAttribute) {
    file("sysfile");
    if (setxattr(dir.file("sysfile").c_str(), "user.DOSATTRIB", "0x4", 3, 0) != 0)
        GTEST_SKIP() << "no user extended attributes here";
    read();
    EXPECT_EQ(listing.rowCount(), 1);
    filter.showSystemFiles = true;
    read();
    EXPECT_EQ(listing.rowCount(), 2);
}

TEST_F(ListingTest, MaskAppliesToFilesOnly) {
    file("a.txt");
    file("b.doc");
    subdir("x.doc");
    read(SortByName, "*.txt");
    EXPECT_EQ(names(listing), (std::vector<std::string>{"..", "x.doc", "a.txt"}));
}

TEST_F(ListingTest, RootHasNoParentEntryAndDepthZero) {
    listing.path = "/";
    ASSERT_EQ(listing.ReadDirectory(filter, "*.*").error, 0);
    EXPECT_EQ(listing.depth, 0);
    ASSERT_FALSE(listing.entries.empty());
    EXPECT_NE(listing.entries[0].kind, KindParent);
}

TEST_F(ListingTest, CursorMemoryPerDepthIsClamped) {
    for (int i = 0; i < 5; ++i)
        file("f" + std::to_string(i));
    read();
    const int depth = listing.depth;
    listing.SetCursor(5);
    EXPECT_EQ(listing.cursorMemory[static_cast<size_t>(depth)], 5);
    // The cursor's file is gone: the remembered row, clamped to what is there.
    std::remove(dir.file("f4").c_str());
    std::remove(dir.file("f3").c_str());
    read();
    EXPECT_EQ(listing.cursor(), 3);
    // Arriving from elsewhere with a memory past the end: the last row.
    PanelListing fresh;
    fresh.path = dir.path();
    fresh.cursorMemory[static_cast<size_t>(depth)] = 99;
    ASSERT_EQ(fresh.ReadDirectory(filter, "*.*").error, 0);
    EXPECT_EQ(fresh.cursor(), 3);
}

TEST_F(ListingTest, ReReadKeepsTheCursorOnItsFileNotItsRowNumber) {
    file("m.txt");
    file("z.txt");
    read();
    listing.SetCursor(2); // z.txt
    file("a.txt");        // one more row above it
    file("b.txt");
    read();
    ASSERT_GE(listing.cursor(), 0);
    EXPECT_EQ(listing.entries[static_cast<size_t>(listing.cursor())].name, "z.txt");
}

TEST_F(ListingTest, SummaryCountsFilesAndBytesNotDirectoriesOrParent) {
    file("one", 1234567);
    file("two", 10);
    subdir("d");
    read();
    EXPECT_EQ(listing.summaryText.substr(0, 16), "No file selected");
    EXPECT_EQ(listing.summaryText.size(), 120u);
    listing.SetSelected(0, true); // the parent entry never selects
    listing.SetSelected(1, true); // the directory
    EXPECT_EQ(listing.selectedDirs, 1);
    EXPECT_EQ(listing.summaryText.substr(0, 16), "No file selected");
    listing.SetSelected(2, true);
    EXPECT_EQ(listing.summaryText.substr(0, 32), "1 file, 1.234.567 bytes selected");
    listing.SetSelected(3, true);
    EXPECT_EQ(listing.summaryText.substr(0, 34), "2 files, 1.234.577 bytes selected ");
}

TEST_F(ListingTest, SelectionCountsAre64Bit) {
    listing.entries.resize(3);
    for (auto& e : listing.entries) {
        e.kind = KindFile;
        e.size = 5ull << 30; // 5 GiB each
        e.selected = true;
    }
    listing.UpdateSummary();
    EXPECT_EQ(listing.selectedBytes, 15ull << 30);
    EXPECT_NE(listing.summaryText.find("16.106.127.360 bytes"), std::string::npos);
}

TEST_F(ListingTest, KeepSelectionAcrossReReadUntilCleared) {
    file("keep");
    file("other");
    read();
    ASSERT_TRUE(listing.SelectFileByName("KEEP"));
    file("new");
    read(); // a re-read after a change on disk keeps the selection
    EXPECT_EQ(listing.selectedFiles, 1);
    EXPECT_TRUE(listing.entries[1].selected && listing.entries[1].name == "keep");
    listing.keepSelection = false; // Refresh
    read();
    EXPECT_EQ(listing.selectedFiles, 0);
}

TEST_F(ListingTest, SelectAllInvertAndMask) {
    file("a.txt");
    file("b.txt");
    file("c.doc");
    subdir("x.txt");
    read();
    listing.SelectByMask("*.txt", true);
    EXPECT_EQ(listing.selectedFiles, 2);
    EXPECT_EQ(listing.selectedDirs, 0); // never a directory named x.txt
    listing.InvertSelection();
    EXPECT_EQ(listing.selectedFiles, 1);
    EXPECT_EQ(listing.selectedDirs, 1);
    EXPECT_FALSE(listing.entries[0].selected);
    listing.SelectAll(true);
    EXPECT_EQ(listing.selectedFiles + listing.selectedDirs, 4);
    EXPECT_FALSE(listing.entries[0].selected);
    listing.SelectAll(false);
    EXPECT_EQ(listing.selectedFiles + listing.selectedDirs, 0);
}

TEST_F(ListingTest, ShiftRangesFromFirstOrLastSelected) {
    for (int i = 0; i < 10; ++i)
        file("f" + std::to_string(i));
    read(); // rows: .., f0..f9
    listing.SetCursor(3);
    listing.ExtendSelection(RangeKey::Down, 5, 0); // nothing selected: cursor row is the anchor
    EXPECT_EQ(listing.cursor(), 4);
    EXPECT_EQ(listing.selectedFiles, 2);
    listing.ExtendSelection(RangeKey::End, 5, 0);
    EXPECT_EQ(listing.selectedFiles, 8); // rows 3..10
    listing.ExtendSelection(RangeKey::Home, 5, 0);
    EXPECT_EQ(listing.cursor(), 0);
    EXPECT_EQ(listing.selectedFiles, 10); // last-selected (10) .. 0, parent not counted
    EXPECT_FALSE(listing.entries[0].selected);
    listing.SelectAll(false);
    listing.SetCursor(2);
    listing.ExtendSelection(RangeKey::PageDown, 5, 0); // to the page's last row 4
    EXPECT_EQ(listing.cursor(), 4);
    listing.ExtendSelection(RangeKey::PageDown, 5, 0); // already there: one page on
    EXPECT_EQ(listing.cursor(), 9);
    EXPECT_EQ(listing.selectedFiles, 8); // rows 2..9
}

TEST_F(ListingTest, QuickSearchCyclesAndWraps) {
    file("apple");
    file("avocado");
    file("banana");
    subdir("attic");
    read(); // .., attic, apple, avocado, banana
    EXPECT_EQ(listing.QuickSearch('a'), 1);
    EXPECT_EQ(listing.QuickSearch('A'), 2);
    EXPECT_EQ(listing.QuickSearch('a'), 3);
    EXPECT_EQ(listing.QuickSearch('a'), 1); // wraps after a hit
    EXPECT_EQ(listing.selectedDirs + listing.selectedFiles, 1);
    EXPECT_EQ(listing.QuickSearch('q'), -1);
    EXPECT_EQ(listing.selectedDirs + listing.selectedFiles, 0);
    EXPECT_EQ(listing.QuickSearch('b'), 4);
}

TEST_F(ListingTest, FirstSelectedWalksFilesAndOptionallyDirectories) {
    file("f");
    subdir("d");
    read();
    listing.SelectAll(true);
    std::string p;
    int i = listing.FirstSelected(-1, false, false, p);
    EXPECT_EQ(p, dir.file("f"));
    EXPECT_EQ(listing.FirstSelected(i, false, false, p), -1);
    EXPECT_TRUE(p.empty());
    i = listing.FirstSelected(-1, true, false, p);
    EXPECT_EQ(p, dir.file("d") + "/*.*");
    EXPECT_EQ(listing.SelectedFilePath(), dir.file("f"));
}

TEST_F(ListingTest, UnreadableDirectoryKeepsRowsAndReportsText) {
    file("x");
    read();
    const size_t before = listing.entries.size();
    listing.path = dir.file("missing");
    const DirReadResult r = listing.ReadDirectory(filter, "*.*");
    EXPECT_EQ(r.error, ENOENT);
    EXPECT_FALSE(r.errorText.empty());
    EXPECT_EQ(listing.entries.size(), before);
}

TEST_F(ListingTest, SelectingByNamesPrefersTheExactNameOverAnotherCase) {
    file("README");
    file("readme");
    file("Notes.txt");
    subdir("notes.txt");
    read();
    listing.SelectFilesByName({"readme", "NOTES.TXT", "absent"});
    std::vector<std::string> selected;
    for (const FileEntry& e : listing.entries) {
        if (e.selected)
            selected.push_back(e.name);
    }
    std::sort(selected.begin(), selected.end());
    EXPECT_EQ(selected, (std::vector<std::string>{"Notes.txt", "readme"})) << "never the directory";
    EXPECT_EQ(listing.selectedFiles, 2);
}
