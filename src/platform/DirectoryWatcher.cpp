#include "platform/DirectoryWatcher.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace km {
namespace {

constexpr uint32_t kEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB |
                             IN_CLOSE_WRITE | IN_MODIFY | IN_DELETE_SELF | IN_MOVE_SELF;
constexpr int kSettleMs = 100; // changes arriving this close together count as one

void drain(int fd) {
    alignas(inotify_event) char buf[4096];
    while (read(fd, buf, sizeof buf) > 0) {
    }
}

} // namespace

bool DirectoryWatcher::Start(const std::string& path, std::function<void()> onChange,
                             const std::atomic<bool>* busy) {
    Stop();
    inotifyFd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    stopFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (inotifyFd_ < 0 || stopFd_ < 0 || inotify_add_watch(inotifyFd_, path.c_str(), kEvents | IN_ONLYDIR) < 0) {
        Stop();
        return false;
    }
    worker_ = std::thread(&DirectoryWatcher::run, this, std::move(onChange), busy);
    return true;
}

void DirectoryWatcher::Stop() {
    if (worker_.joinable()) {
        // The eventfd stays readable until the worker has seen it, whenever it looks.
        const uint64_t one = 1;
        (void)!write(stopFd_, &one, sizeof one);
        worker_.join();
    }
    if (inotifyFd_ >= 0)
        close(inotifyFd_);
    if (stopFd_ >= 0)
        close(stopFd_);
    inotifyFd_ = stopFd_ = -1;
}

void DirectoryWatcher::run(std::function<void()> onChange, const std::atomic<bool>* busy) {
    pollfd fds[2] = {{inotifyFd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
    for (;;) {
        if (poll(fds, 2, -1) < 0)
            continue;
        if (fds[1].revents)
            return;
        if (!(fds[0].revents & POLLIN))
            continue;
        // Let a burst (a copy of many files) settle into one report.
        do {
            drain(inotifyFd_);
            fds[0].revents = fds[1].revents = 0;
            if (poll(fds, 2, kSettleMs) > 0 && fds[1].revents)
                return;
        } while (fds[0].revents & POLLIN);
        if (!(busy && busy->load()))
            onChange();
    }
}

} // namespace km
