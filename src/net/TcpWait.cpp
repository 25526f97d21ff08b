#include "net/TcpWait.h"

#include "net/SocketIo.h"
#include "net/TcpHooks.h"
#include "net/TcpStatus.h"

#include <cerrno>
#include <memory>
#include <poll.h>

namespace km {

namespace {

// Short enough that the window never goes 50 ms without a pump, counting the
// work between two waits.
constexpr int kSliceMs = 20;
constexpr auto kPumpInterval = std::chrono::milliseconds(15);

std::shared_ptr<const TcpHooks> g_hooks = std::make_shared<TcpHooks>();
std::atomic<int> g_depth{0};
std::atomic<bool> g_abortRequested{false};
TcpDeadline::Clock::time_point g_lastPump{};

void Pump() {
    // Held by copy so that a pump which replaces the hooks does not pull the
    // function out from under itself.
    std::shared_ptr<const TcpHooks> hooks = g_hooks;
    g_lastPump = TcpDeadline::Clock::now();
    if (hooks->pump)
        hooks->pump();
}

} // namespace

void TcpSetHooks(TcpHooks hooks) {
    g_hooks = std::make_shared<const TcpHooks>(std::move(hooks));
}

int TcpAbort() {
    if (g_depth.load() > 0)
        g_abortRequested = true;
    return kTcpSuccess;
}

bool TcpIsBlocking() {
    return g_depth.load() > 0;
}

int TcpWaitMs(int ms) {
    if (ms <= 0)
        return kTcpSuccess;
    TcpWaiter waiter;
    return waiter.Sleep(TcpDeadline::Millis(ms));
}

TcpDeadline::TcpDeadline(int timeoutSeconds) {
    if (timeoutSeconds < 0) {
        mode_ = Mode::Immediate;
    } else if (timeoutSeconds > 0) {
        mode_ = Mode::Until;
        until_ = Clock::now() + std::chrono::seconds(timeoutSeconds);
    }
}

TcpDeadline TcpDeadline::Millis(int64_t ms) {
    TcpDeadline d;
    d.mode_ = Mode::Until;
    d.until_ = Clock::now() + std::chrono::milliseconds(ms);
    return d;
}

bool TcpDeadline::Expired() const {
    switch (mode_) {
    case Mode::Unlimited:
        return false;
    case Mode::Immediate:
        return true;
    case Mode::Until:
        return Clock::now() >= until_;
    }
    return true;
}

int TcpDeadline::SliceMs() const {
    switch (mode_) {
    case Mode::Unlimited:
        return kSliceMs;
    case Mode::Immediate:
        return 0;
    case Mode::Until: {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until_ - Clock::now()).count();
        if (left <= 0)
            return 0;
        // Round up so a wait does not spin through its last millisecond.
        return left < kSliceMs ? static_cast<int>(left) + 1 : kSliceMs;
    }
    }
    return 0;
}

TcpWaiter::TcpWaiter() {
    ++g_depth;
    const TcpHooks& hooks = *g_hooks;
    cancelSeen_ = hooks.cancel && hooks.cancel->load();
}

TcpWaiter::~TcpWaiter() {
    if (--g_depth == 0)
        g_abortRequested = false;
}

int TcpWaiter::CheckCancel() {
    if (g_abortRequested.exchange(false))
        return kTcpCancelled;
    const std::atomic<bool>* flag = g_hooks->cancel;
    const bool on = flag && flag->load();
    if (on && !cancelSeen_) {
        cancelSeen_ = true;
        return kTcpCancelled;
    }
    cancelSeen_ = on;
    return kTcpSuccess;
}

int TcpWaiter::Tick() {
    if (TcpDeadline::Clock::now() - g_lastPump >= kPumpInterval)
        Pump();
    return CheckCancel();
}

int TcpWaiter::Wait(int fd, short events, const TcpDeadline& deadline) {
    if (fd < 0)
        return kTcpError;
    for (;;) {
        if (int c = CheckCancel(); c != kTcpSuccess)
            return c;
        // Bytes TLS has already decrypted are ready, though poll cannot see them.
        if ((events & POLLIN) && detail::SocketHasBuffered(fd))
            return Tick();
        pollfd p{fd, detail::SocketPollEvents(fd, events), 0};
        const int r = ::poll(&p, 1, deadline.SliceMs());
        if (r < 0) {
            // A signal is not a cancel request here; only TcpAbort and the flag are.
            if (errno == EINTR)
                continue;
            return kTcpError;
        }
        if (r > 0)
            return (p.revents & POLLNVAL) ? kTcpError : Tick();
        if (deadline.immediate())
            return kTcpTimeout;
        Pump();
        if (int c = CheckCancel(); c != kTcpSuccess)
            return c;
        if (deadline.Expired())
            return kTcpTimeout;
    }
}

int TcpWaiter::Sleep(const TcpDeadline& deadline) {
    for (;;) {
        if (int c = CheckCancel(); c != kTcpSuccess)
            return c;
        if (deadline.Expired())
            return kTcpSuccess;
        ::poll(nullptr, 0, deadline.SliceMs());
        Pump();
    }
}

} // namespace km
