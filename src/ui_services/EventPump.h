#pragma once
// What long operations call between steps so the progress window repaints and
// its Cancel button works while they run on the UI thread.
namespace km {

class EventPump {
public:
    // Processes pending events unless that was done less than kIntervalMs ago
    // (cheap enough to call once per block); true when the cancel flag is set.
    static bool pump();
    // Processes pending events now, e.g. right after a progress window opened.
    static void force();

    static constexpr int kIntervalMs = 15;
};

} // namespace km
