#pragma once
// Watches one directory (not its subdirectories) on a worker thread and calls
// `onChange` from that thread when names, attributes, sizes or times change.
// A burst of changes gives one call. Nothing is reported while `busy` is set.
#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace km {

class DirectoryWatcher {
public:
    DirectoryWatcher() = default;
    ~DirectoryWatcher() { Stop(); }
    DirectoryWatcher(const DirectoryWatcher&) = delete;
    DirectoryWatcher& operator=(const DirectoryWatcher&) = delete;

    // Stops any running watch, then watches `path`. False when the directory
    // cannot be watched (the panel is then refreshed by commands only).
    bool Start(const std::string& path, std::function<void()> onChange, const std::atomic<bool>* busy);
    // Returns once the worker thread has ended.
    void Stop();
    bool running() const { return worker_.joinable(); }

private:
    void run(std::function<void()> onChange, const std::atomic<bool>* busy);

    std::thread worker_;
    int inotifyFd_ = -1;
    int stopFd_ = -1;
};

} // namespace km
