#pragma once
// Internal: the waiting loop shared by every blocking operation.
#include <chrono>
#include <cstdint>

namespace km {

// A time limit for one operation. Seconds follow the library's rule: 0 waits
// without limit, a negative value does not wait at all.
class TcpDeadline {
public:
    using Clock = std::chrono::steady_clock;

    explicit TcpDeadline(int timeoutSeconds);
    static TcpDeadline Millis(int64_t ms);

    bool immediate() const { return mode_ == Mode::Immediate; }
    bool Expired() const;
    // The next poll slice: 0 when not waiting, else at most 50 ms.
    int SliceMs() const;

private:
    enum class Mode { Unlimited, Immediate, Until };
    TcpDeadline() = default;
    Mode mode_ = Mode::Unlimited;
    Clock::time_point until_{};
};

// One blocking call: marks the library as blocked while it lives and samples
// the cancel flag at its start.
class TcpWaiter {
public:
    TcpWaiter();
    ~TcpWaiter();
    TcpWaiter(const TcpWaiter&) = delete;
    TcpWaiter& operator=(const TcpWaiter&) = delete;

    // Until `fd` is ready for `events` (POLLIN, POLLOUT, POLLPRI): 1 ready,
    // -2 out of time, -1 error, -11 cancelled. An error or hang-up on the socket
    // counts as ready; the following call reports it.
    int Wait(int fd, short events, const TcpDeadline& deadline);
    // For calls that did not have to wait: pumps when a pump is due and reports
    // a cancel request (-11), else 1.
    int Tick();
    // Sleeps until the deadline, pumping: 1, or -11.
    int Sleep(const TcpDeadline& deadline);

private:
    int CheckCancel();
    bool cancelSeen_ = false;
};

} // namespace km
