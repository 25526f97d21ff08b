#pragma once
// The one remembered window rectangle, section "DlgPositie": "x", "y", "cx",
// "cy" hold left, top, right and bottom; a "cx" of 0 means none is stored.
class QWidget;

namespace km {

class SettingsStore;

// Moves `window` to the stored rectangle, if one is stored and would be visible.
void RestoreWindowRect(QWidget* window, SettingsStore& store);
// Stores the normal (restored) rectangle, also while maximized.
void SaveWindowRect(QWidget* window, SettingsStore& store);

} // namespace km
