#include "platform/DirectoryWatcher.h"

#include "support/TempDir.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
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

namespace {
using Clock = std::chrono::steady_clock;

bool waitUntil(const std::function<bool()>& done, int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (!done() && Clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return done();
}
} // namespace

TEST(DirectoryWatcher, ADeletedOrMovedDirectoryIsReportedAndWatchedAgainWhenBack) {
    test::TempDir parent;
    const std::string path = parent.file("panel");
    std::filesystem::create_directory(path);
    std::atomic<int> calls{0};
    DirectoryWatcher w;
    ASSERT_TRUE(w.Start(path, [&] { ++calls; }, nullptr));
    EXPECT_TRUE(w.watching());

    std::filesystem::remove_all(path);
    EXPECT_TRUE(waitFor(calls, 1, 2000)) << "the vanishing is reported";
    EXPECT_TRUE(waitUntil([&] { return !w.watching(); }, 2000));
    EXPECT_TRUE(w.running());

    std::filesystem::create_directory(path);
    ASSERT_TRUE(waitUntil([&] { return w.watching(); }, 2000));
    EXPECT_TRUE(waitFor(calls, 2, 2000)) << "the return is reported";
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    calls = 0;
    test::WriteAll(path + "/new", "x");
    EXPECT_TRUE(waitFor(calls, 1, 2000));

    // Moved away: the old directory is no longer watched, the path is again.
    std::filesystem::rename(path, parent.file("old"));
    ASSERT_TRUE(waitUntil([&] { return !w.watching(); }, 2000));
    std::filesystem::create_directory(path);
    ASSERT_TRUE(waitUntil([&] { return w.watching(); }, 2000));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    calls = 0;
    test::WriteAll(parent.file("old/elsewhere"), "x");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(calls.load(), 0);
    test::WriteAll(path + "/here", "x");
    EXPECT_TRUE(waitFor(calls, 1, 2000));
}

TEST(DirectoryWatcher, RearmRetriesAtOnceAndStopEndsTheWaitPromptly) {
    test::TempDir parent;
    const std::string path = parent.file("panel");
    std::filesystem::create_directory(path);
    DirectoryWatcher w;
    ASSERT_TRUE(w.Start(path, [] {}, nullptr));
    w.Rearm(); // armed: nothing to do
    EXPECT_TRUE(w.watching());

    std::filesystem::remove(path);
    ASSERT_TRUE(waitUntil([&] { return !w.watching(); }, 2000));
    // The next retry is about 200 ms off; Rearm must not wait for it.
    const auto lost = Clock::now();
    std::filesystem::create_directory(path);
    w.Rearm();
    EXPECT_TRUE(waitUntil([&] { return w.watching(); }, 1000));
    EXPECT_LT(Clock::now() - lost, std::chrono::milliseconds(150));

    std::filesystem::remove(path);
    ASSERT_TRUE(waitUntil([&] { return !w.watching(); }, 2000));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto stop = Clock::now();
    w.Stop();
    EXPECT_LT(Clock::now() - stop, std::chrono::milliseconds(500));
    EXPECT_FALSE(w.running());
    EXPECT_FALSE(w.watching());
}

TEST(DirectoryWatcher, ContinuousWritesAreReportedWhileTheyGoOn) {
    test::TempDir dir;
    std::atomic<int> calls{0};
    std::atomic<int64_t> firstCallNs{0};
    DirectoryWatcher w;
    ASSERT_TRUE(w.Start(dir.path(), [&] {
        int64_t none = 0;
        firstCallNs.compare_exchange_strong(none, Clock::now().time_since_epoch().count());
        ++calls;
    }, nullptr));
    const auto start = Clock::now();
    std::thread writer([&] {
        std::ofstream out(dir.file("download"), std::ios::binary);
        while (Clock::now() - start < std::chrono::seconds(5)) {
            out << std::string(100, 'x') << std::flush;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    EXPECT_TRUE(waitFor(calls, 1, 1500));
    writer.join();
    w.Stop();
    ASSERT_GE(calls.load(), 1);
    const auto first = Clock::time_point(Clock::duration(firstCallNs.load()));
    EXPECT_LT(first - start, std::chrono::milliseconds(1500));
    // About one every half second; a settle loop that never ends gives one or none.
    EXPECT_GE(calls.load(), 4);
}
