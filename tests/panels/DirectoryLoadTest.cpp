#include "panels/DirectoryLoad.h"

#include "support/TempDir.h"

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <set>
#include <thread>
#include <unistd.h>

using namespace km;
using namespace std::chrono_literals;

namespace {

void makeFiles(const std::string& dir, int count) {
    for (int i = 0; i < count; ++i) {
        const int fd = open((dir + "/f" + std::to_string(count - i)).c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        close(fd);
    }
}

} // namespace

TEST(DirectoryLoad, RowsComeAsTheyAreReadThenAllOfThemSorted) {
    test::TempDir dir;
    makeFiles(dir.path(), 1500);
    std::atomic<int> notified{0};
    DirectoryLoad load(dir.path(), ListingFilter{}, "*.*", SortByName, [&] { ++notified; });
    std::set<std::string> shown;
    while (!load.finished()) {
        for (const FileEntry& e : load.TakeNewRows())
            EXPECT_TRUE(shown.insert(e.name).second) << "handed over twice: " << e.name;
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_GE(notified.load(), 1);
    DirectoryLoad::Result r = load.TakeResult();
    EXPECT_EQ(r.status.error, 0);
    EXPECT_EQ(r.enumerated, 1500);
    ASSERT_EQ(r.rows.size(), 1501u); // and the parent entry
    EXPECT_EQ(r.rows[0].kind, KindParent);
    EXPECT_TRUE(std::is_sorted(r.rows.begin() + 1, r.rows.end(),
                               [](const FileEntry& a, const FileEntry& b) { return a.nameKey < b.nameKey; }));
    for (const std::string& name : shown) // whatever was shown is in the listing
        EXPECT_TRUE(name == ".." || name[0] == 'f') << name;
}

TEST(DirectoryLoad, AMissingDirectoryEndsWithItsErrorAndADroppedLoadStopsQuietly) {
    DirectoryLoad missing("/no/such/directory", ListingFilter{}, "*.*", SortByName, [] {});
    ASSERT_TRUE(missing.WaitFinished(5s, 5s));
    EXPECT_EQ(missing.TakeResult().status.error, ENOENT);

    test::TempDir dir;
    makeFiles(dir.path(), 1500);
    std::atomic<int> calls{0};
    {
        DirectoryLoad dropped(dir.path(), ListingFilter{}, "*.*", SortByName, [&] { ++calls; });
        std::this_thread::sleep_for(2ms);
    }
    const int afterDrop = calls.load();
    std::this_thread::sleep_for(300ms); // the reading threads end on their own
    EXPECT_EQ(calls.load(), afterDrop);
}
