#pragma once
#include <QFont>
#include <functional>
#include <optional>

class QWidget;

namespace km {

class SettingsStore;

// The file-panel font stored in "Algemeen" for a screen of `dpi` pixels per
// inch; `rowHeight`, when given, receives the panel row height for it.
QFont PanelFontFromSettings(SettingsStore& store, int dpi, int* rowHeight = nullptr);

// The font chooser behind ChoosePanelFont; nullopt when the user cancels.
// Tests replace it so no system dialog opens.
using FontPicker = std::function<std::optional<QFont>(QWidget* parent, const QFont& initial)>;
extern FontPicker PanelFontPicker;

// Lets the user choose the panel font, preset with the current one. On OK writes
// "FontName", "FontHeight" (negative pixel height) and "FontWeight" and returns
// the font as PanelFontFromSettings now yields it; nullopt on cancel.
std::optional<QFont> ChoosePanelFont(QWidget* parent, SettingsStore& store);

} // namespace km
