#include "viewers/EditorFont.h"

#include "settings/SettingsStore.h"

#include <QFontDialog>
#include <QFontInfo>
#include <cmath>

namespace km {
namespace {

constexpr const char* kSection = "FileEdit";
constexpr int32_t kDefaultHeight = 180;
constexpr int32_t kMaxHeight = 400 * 20;

} // namespace

EditorFontPickerFn EditorFontPicker = [](QWidget* parent, const QFont& initial) {
    bool ok = false;
    const QFont f = QFontDialog::getFont(&ok, initial, parent, QStringLiteral("Font"),
                                         QFontDialog::MonospacedFonts);
    return ok ? std::optional<QFont>(f) : std::nullopt;
};

EditorFontSpec ReadEditorFont(SettingsStore& store) {
    EditorFontSpec stored;
    stored.name = store.GetString(kSection, "FontName", stored.name);
    stored.height = store.GetInt(kSection, "FontHeight", stored.height);
    stored.charSet = store.GetInt(kSection, "FontCharSet", stored.charSet);
    stored.effects = store.GetInt(kSection, "FontEffects", stored.effects);
    return stored;
}

void WriteEditorFont(SettingsStore& store, const EditorFontSpec& stored) {
    SettingsStore::Batch batch(store);
    store.PutInt(kSection, "FontHeight", stored.height);
    store.PutInt(kSection, "FontCharSet", stored.charSet);
    store.PutInt(kSection, "FontEffects", stored.effects);
    store.PutString(kSection, "FontName", stored.name);
}

QFont EditorFontToQFont(const EditorFontSpec& stored) {
    QFont f(QString::fromStdString(stored.name));
    // "Courier New" is rarely installed here; the hints make the fallback a
    // monospaced face rather than the default proportional one.
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    const int32_t height =
        stored.height > 0 && stored.height <= kMaxHeight ? stored.height : kDefaultHeight;
    f.setPointSizeF(height / 20.0);
    f.setBold((stored.effects & EffectBold) != 0);
    f.setItalic((stored.effects & EffectItalic) != 0);
    f.setUnderline((stored.effects & EffectUnderline) != 0);
    f.setStrikeOut((stored.effects & EffectStrikeOut) != 0);
    return f;
}

EditorFontSpec EditorFontFromQFont(const QFont& font, int32_t charSet) {
    EditorFontSpec stored;
    stored.name = font.family().toStdString();
    double points = font.pointSizeF();
    if (points <= 0) // a pixel-sized font
        points = QFontInfo(font).pointSizeF();
    stored.height = points > 0 ? static_cast<int32_t>(std::lround(points * 20)) : kDefaultHeight;
    stored.charSet = charSet;
    stored.effects = EffectsAlwaysSet;
    if (font.weight() >= QFont::DemiBold)
        stored.effects |= EffectBold;
    if (font.italic())
        stored.effects |= EffectItalic;
    if (font.underline())
        stored.effects |= EffectUnderline;
    if (font.strikeOut())
        stored.effects |= EffectStrikeOut;
    return stored;
}

} // namespace km
