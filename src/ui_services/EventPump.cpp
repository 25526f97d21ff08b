#include "ui_services/EventPump.h"

#include "ui_services/AppState.h"

#include <QCoreApplication>
#include <chrono>

namespace km {
namespace {

using Clock = std::chrono::steady_clock;
Clock::time_point g_last{};

} // namespace

bool EventPump::pump() {
    if (Clock::now() - g_last >= std::chrono::milliseconds(kIntervalMs))
        force();
    return App().cancelFlag.load(std::memory_order_relaxed);
}

void EventPump::force() {
    QCoreApplication::processEvents();
    // Measured after processing, so a slow repaint does not make every
    // following call pump again.
    g_last = Clock::now();
}

} // namespace km
