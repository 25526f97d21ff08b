#pragma once
// Process-wide state the windows share: the settings store, the cached display
// values that the settings dialogs refresh, and the busy and cancel flags.
#include "platform/LocaleInfo.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

namespace km {

class SettingsStore;

enum ColorIndex : int {
    ColFileFg, ColFileBg, ColFileSelFg, ColFileSelBg,
    ColDirFg, ColDirBg, ColDirSelFg, ColDirSelBg,
    ColSysFileFg, ColSysFileBg, ColSysDirFg, ColSysDirBg,
    ColFRect, ColCount
};

// Colour references: red in bits 0–7, green 8–15, blue 16–23; -1 = unset.
struct PanelColors {
    std::array<int32_t, ColCount> ref{};
    static const char* key(int index);
    static int32_t defaultValue(int index);
    void load(SettingsStore& store);
    void save(SettingsStore& store) const;
};

struct AppState {
    SettingsStore* store = nullptr;
    int nameCase = 2460;
    std::string filterMask = "*.*";
    PanelColors colors;
    std::atomic<bool> busyFlag{false};
    std::atomic<bool> cancelFlag{false};
    int helpContext = 0;
    bool recycleSwitch = false; // delete to the bin (Del) or permanently (Shift+Del)
};

AppState& App();

// Holds the help context of a modal dialog for as long as it is open.
class HelpContextScope {
public:
    explicit HelpContextScope(int context);
    ~HelpContextScope();
    HelpContextScope(const HelpContextScope&) = delete;
    HelpContextScope& operator=(const HelpContextScope&) = delete;

private:
    int previous_;
};
SettingsStore& Settings();

} // namespace km
