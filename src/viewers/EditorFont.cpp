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
    EditorFontSpec spec;
    spec.name = store.GetString(kSection, "FontName", spec.name);
    spec.height = store.GetInt(kSection, "FontHeight", spec.height);
    spec.charSet = store.GetInt(kSection, "FontCharSet", spec.charSet);
    spec.effects = store.GetInt(kSection, "FontEffects", spec.effects);
    return spec;
}

void WriteEditorFont(SettingsStore& store, const EditorFontSpec& spec) {
    SettingsStore::Batch batch(store);
    store.PutInt(kSection, "FontHeight", spec.height);
    store.PutInt(kSection, "FontCharSet", spec.charSet);
    store.PutInt(kSection, "FontEffects", spec.effects);
    store.PutString(kSection, "FontName", spec.name);
}

QFont EditorFontToQFont(const EditorFontSpec& spec) {
    QFont f(QString::fromStdString(spec.name));
    // "Courier New" is rarely installed here; the hints make the fallback a
    // monospaced face rather than the default proportional one.
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    const int32_t height =
        spec.height > 0 && spec.height <= kMaxHeight ? spec.height : kDefaultHeight;
    f.setPointSizeF(height / 20.0);
    f.setBold((spec.effects & EffectBold) != 0);
    f.setItalic((spec.effects & EffectItalic) != 0);
    f.setUnderline((spec.effects & EffectUnderline) != 0);
    f.setStrikeOut((spec.effects & EffectStrikeOut) != 0);
    return f;
}

EditorFontSpec EditorFontFromQFont(const QFont& font, int32_t charSet) {
    EditorFontSpec spec;
    spec.name = font.family().toStdString();
    double points = font.pointSizeF();
    if (points <= 0) // a pixel-sized font
        points = QFontInfo(font).pointSizeF();
    spec.height = points > 0 ? static_cast<int32_t>(std::lround(points * 20)) : kDefaultHeight;
    spec.charSet = charSet;
    spec.effects = EffectsAlwaysSet;
    if (font.weight() >= QFont::DemiBold)
        spec.effects |= EffectBold;
    if (font.italic())
        spec.effects |= EffectItalic;
    if (font.underline())
        spec.effects |= EffectUnderline;
    if (font.strikeOut())
        spec.effects |= EffectStrikeOut;
    return spec;
}

} // namespace km
