#pragma once
// How a blocking call stays friendly to the user interface: while it waits it
// calls the pump (at most every 15 ms, at least every 20 ms), and it ends with
// -11 when a cancel is requested — by TcpAbort, or by the cancel flag turning
// on during the wait. A flag that was already on when the wait began is not a
// new request, so the replies of an abort sequence can still be read.
#include <atomic>
#include <functional>

namespace km {

struct TcpHooks {
    std::function<void()> pump;                // processes pending window messages
    const std::atomic<bool>* cancel = nullptr; // the user interface's cancel flag
};

// Process-wide; replaces the previous hooks.
void TcpSetHooks(TcpHooks hooks);

// Cancels the blocking call in progress, if any; returns 1.
int TcpAbort();
bool TcpIsBlocking();

// Pauses for `ms` milliseconds, pumping; 1, or -11 when cancelled.
int TcpWaitMs(int ms);

} // namespace km
