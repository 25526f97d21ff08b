#include "platform/DirectoryWatcher.h"

#include "support/TempDir.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

using namespace km;

namespace {
bool waitFor(const std::atomic<int>& v, int atLeast, int ms) {
    for (int i = 0; i < ms / 10 && v.load() < atLeast; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return v.load() >= atLeast;
}
} // namespace

TEST(DirectoryWatcher, ReportsABurstOnceAndNothingWhileBusy) {
    test::TempDir dir;
    std::atomic<int> calls{0};
    std::atomic<bool> busy{false};
    DirectoryWatcher w;
    ASSERT_TRUE(w.Start(dir.path(), [&] { ++calls; }, &busy));
    for (int i = 0; i < 20; ++i)
        test::WriteAll(dir.file("f" + std::to_string(i)), "x");
    EXPECT_TRUE(waitFor(calls, 1, 2000));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(calls.load(), 1);

    busy = true;
    test::WriteAll(dir.file("while-busy"), "x");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(calls.load(), 1);
    busy = false;
    w.Stop();
    EXPECT_FALSE(w.running());
}

TEST(DirectoryWatcher, RestartMovesToTheNewPathAndMissingOnesFail) {
    test::TempDir a, b;
    std::atomic<int> calls{0};
    DirectoryWatcher w;
    ASSERT_TRUE(w.Start(a.path(), [&] { ++calls; }, nullptr));
    ASSERT_TRUE(w.Start(b.path(), [&] { ++calls; }, nullptr));
    test::WriteAll(a.file("old"), "x");
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_EQ(calls.load(), 0);
    test::WriteAll(b.file("new"), "x");
    EXPECT_TRUE(waitFor(calls, 1, 2000));
    EXPECT_FALSE(w.Start("/no/such/dir", [] {}, nullptr));
    EXPECT_FALSE(w.running());
}
