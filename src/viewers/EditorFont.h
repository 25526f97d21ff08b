#pragma once
// The editor's one font as section "FileEdit" stores it: the height in
// twentieths of a point and the effect bits of the reference platform's
// character format, kept in that form so existing settings read the same.
#include <QFont>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace km {

class SettingsStore;

enum EditorFontEffect : int32_t {
    EffectBold = 0x1,
    EffectItalic = 0x2,
    EffectUnderline = 0x4,
    EffectStrikeOut = 0x8,
    EffectsAlwaysSet = 0x40000030, // automatic colour and the two mask bits
};

struct EditorFontSpec {
    std::string name = "Courier New";
    int32_t height = 180; // twentieths of a point
    int32_t charSet = 0;
    int32_t effects = EffectsAlwaysSet;
};

EditorFontSpec ReadEditorFont(SettingsStore& store);
void WriteEditorFont(SettingsStore& store, const EditorFontSpec& stored);

// A fixed-pitch font for `stored`; a height out of reason falls back to 9 pt.
QFont EditorFontToQFont(const EditorFontSpec& stored);
// What the font dialog chose, as stored; `charSet` is carried over because
// fonts here have no character set of their own.
EditorFontSpec EditorFontFromQFont(const QFont& font, int32_t charSet);

// The font chooser, limited to fixed-pitch fonts; nullopt when cancelled.
// Tests replace it so no system dialog opens.
using EditorFontPickerFn = std::function<std::optional<QFont>(QWidget* parent, const QFont&)>;
extern EditorFontPickerFn EditorFontPicker;

} // namespace km
