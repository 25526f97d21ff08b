#pragma once
// The font of the compare window's two lists, stored in "FileComp" as the
// platform's logical font: a negative "FontHeight" is the character height in
// pixels, "FontWeight" runs from 100 to 900 with 400 normal.
#include <QFont>
#include <functional>
#include <optional>

class QWidget;

namespace km {

class SettingsStore;

QFont FileCompareFontFromSettings(SettingsStore& store);

// The font chooser, offering fixed-pitch fonts only; nullopt when cancelled.
// Tests replace it so no system dialog opens.
using FileCompareFontPickerFn = std::function<std::optional<QFont>(QWidget*, const QFont&)>;
extern FileCompareFontPickerFn FileCompareFontPicker;

// Lets the user choose, starting from `current`. On OK writes "FontHeight",
// "FontWeight" and "FontName" and returns the font as the settings now give it.
std::optional<QFont> ChooseFileCompareFont(QWidget* parent, const QFont& current,
                                           SettingsStore& store);

} // namespace km
