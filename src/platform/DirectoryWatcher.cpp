#include "platform/DirectoryWatcher.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace km {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr uint32_t kEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB |
                             IN_CLOSE_WRITE | IN_MODIFY | IN_DELETE_SELF | IN_MOVE_SELF;
constexpr milliseconds kSettle{100};   // changes arriving this close together count as one
constexpr milliseconds kMaxDelay{500}; // but a steady trickle is still reported this often
constexpr milliseconds kRetry{200};    // how often a lost directory is looked for

int addWatch(int fd, const std::string& path) {
    return inotify_add_watch(fd, path.c_str(), kEvents | IN_ONLYDIR);
}

void clearEventFd(int fd) {
    uint64_t n;
    (void)!read(fd, &n, sizeof n);
}

int msUntil(Clock::time_point t, Clock::time_point now) {
    if (t <= now)
        return 0;
    // Round up so poll does not wake a hair early and spin.
    return static_cast<int>(std::chrono::ceil<milliseconds>(t - now).count());
}

} // namespace

bool DirectoryWatcher::Start(const std::string& path, std::function<void()> onChange,
                             const std::atomic<bool>* busy) {
    Stop();
    inotifyFd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    stopFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    const int wd = inotifyFd_ < 0 ? -1 : addWatch(inotifyFd_, path);
    if (stopFd_ < 0 || wakeFd_ < 0 || wd < 0) {
        Stop();
        return false;
    }
    watching_ = true;
    worker_ = std::thread(&DirectoryWatcher::run, this, path, wd, std::move(onChange), busy);
    return true;
}

void DirectoryWatcher::Stop() {
    if (worker_.joinable()) {
        // The eventfd stays readable until the worker has seen it, whenever it looks.
        const uint64_t one = 1;
        (void)!write(stopFd_, &one, sizeof one);
        worker_.join();
    }
    watching_ = false;
    for (int* fd : {&inotifyFd_, &stopFd_, &wakeFd_}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
}

void DirectoryWatcher::Rearm() {
    if (watching_.load() || wakeFd_ < 0)
        return;
    const uint64_t one = 1;
    (void)!write(wakeFd_, &one, sizeof one);
}

void DirectoryWatcher::run(std::string path, int wd, std::function<void()> onChange,
                           const std::atomic<bool>* busy) {
    bool pending = false; // a change not yet reported
    Clock::time_point firstChange, lastChange, nextRetry;
    const auto changed = [&](Clock::time_point now) {
        if (!pending)
            firstChange = now;
        pending = true;
        lastChange = now;
    };
    const auto lose = [&](Clock::time_point now) {
        wd = -1;
        watching_ = false;
        nextRetry = now + kRetry;
        changed(now); // the panel should learn its directory is gone
    };

    pollfd fds[3] = {{inotifyFd_, POLLIN, 0}, {stopFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    alignas(inotify_event) char buf[4096];
    for (;;) {
        Clock::time_point now = Clock::now();
        int timeout = -1;
        if (pending)
            timeout = msUntil(std::min(lastChange + kSettle, firstChange + kMaxDelay), now);
        if (wd < 0) {
            const int retry = msUntil(nextRetry, now);
            timeout = timeout < 0 ? retry : std::min(timeout, retry);
        }
        for (pollfd& p : fds)
            p.revents = 0;
        if (poll(fds, 3, timeout) < 0)
            continue;
        if (fds[1].revents)
            return;
        now = Clock::now();
        if (fds[2].revents) {
            clearEventFd(wakeFd_);
            if (wd < 0)
                nextRetry = now;
        }
        if (fds[0].revents & POLLIN) {
            ssize_t n;
            while ((n = read(inotifyFd_, buf, sizeof buf)) > 0) {
                for (ssize_t off = 0; off + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
                    inotify_event ev;
                    std::memcpy(&ev, buf + off, sizeof ev);
                    off += static_cast<ssize_t>(sizeof ev + ev.len);
                    // Events still queued for a watch given up are old news; -1 is an overflow.
                    if (ev.wd != -1 && (wd < 0 || ev.wd != wd))
                        continue;
                    changed(now);
                    if (ev.mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
                        // A moved directory would stay watched at its new place: let it go.
                        inotify_rm_watch(inotifyFd_, wd);
                        lose(now);
                    } else if (ev.mask & IN_IGNORED) {
                        lose(now);
                    }
                }
            }
        }
        if (wd < 0 && now >= nextRetry) {
            wd = addWatch(inotifyFd_, path);
            if (wd >= 0) {
                watching_ = true;
                changed(now); // it is back, with whatever it holds now
            } else {
                nextRetry = now + kRetry;
            }
        }
        if (pending && (now >= lastChange + kSettle || now >= firstChange + kMaxDelay)) {
            pending = false;
            if (!(busy && busy->load()))
                onChange();
        }
    }
}

} // namespace km
