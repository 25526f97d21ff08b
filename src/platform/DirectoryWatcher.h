#pragma once
// Watches one directory (not its subdirectories) on a worker thread and calls
// `onChange` from that thread when names, attributes, sizes or times change.
// A burst of changes gives one call, yet no change waits more than about half a
// second, so a file being written all the time still shows its growth. Nothing is
// reported while `busy` is set.
//
// When the directory goes away (deleted, moved, its file system unmounted) that
// is reported, and the path is watched again as soon as a directory is back
// there, which is reported too.
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
    // Asks a watcher that lost its directory to look for it again now rather than
    // at its next retry; does nothing while the directory is watched. Cheap, and
    // callable from any thread between Start and Stop.
    void Rearm();
    bool running() const { return worker_.joinable(); }
    // True while the path itself is being watched; false while waiting for the
    // directory to come back, or once stopped.
    bool watching() const { return watching_.load(); }

private:
    void run(std::string path, int wd, std::function<void()> onChange, const std::atomic<bool>* busy);

    std::thread worker_;
    int inotifyFd_ = -1;
    int stopFd_ = -1;
    int wakeFd_ = -1;
    std::atomic<bool> watching_{false};
};

} // namespace km
