#include "fileops/compare/ui/FileCompareFont.h"

#include "settings/SettingsStore.h"

#include <QFontDatabase>
#include <QFontDialog>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace km {
namespace {

constexpr const char* kSection = "FileComp";
constexpr int kDefaultHeight = -10;
// Keeps a damaged value from asking for an absurd (or, for INT_MIN, undefined) size.
constexpr int kMaxPixelSize = 400;

} // namespace

FileCompareFontPickerFn FileCompareFontPicker = [](QWidget* parent, const QFont& initial) {
    bool ok = false;
    const QFont f =
        QFontDialog::getFont(&ok, initial, parent, QString(), QFontDialog::MonospacedFonts);
    return ok ? std::optional<QFont>(f) : std::nullopt;
};

QFont FileCompareFontFromSettings(SettingsStore& store) {
    const std::string name = store.GetString(kSection, "FontName", "MS Sans Serif");
    int height = store.GetInt(kSection, "FontHeight", kDefaultHeight);
    if (height == 0)
        height = kDefaultHeight;
    // A positive value is the cell height; taken as the pixel size it is close enough.
    const int pixels = height < 0 ? (height < -kMaxPixelSize ? kMaxPixelSize : -height)
                                  : std::min(height, kMaxPixelSize);
    int weight = store.GetInt(kSection, "FontWeight", 400);
    if (weight == 0) // "don't care"
        weight = 400;
    // The stored defaults name a font of another platform at its small
    // screen size: they mean the system's fixed-pitch font at its own size.
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const QString family = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    QFont f(QFontDatabase::hasFamily(family) ? family : fixed.family());
    f.setStyleHint(QFont::TypeWriter);
    if (height == kDefaultHeight && fixed.pointSizeF() > 0)
        f.setPointSizeF(fixed.pointSizeF());
    else
        f.setPixelSize(pixels);
    f.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 100, 900)));
    return f;
}

std::optional<QFont> ChooseFileCompareFont(QWidget* parent, const QFont& current,
                                           SettingsStore& store) {
    const std::optional<QFont> chosen = FileCompareFontPicker(parent, current);
    if (!chosen)
        return std::nullopt;
    int pixels = chosen->pixelSize();
    if (pixels <= 0) { // the chooser speaks points
        const double dpi = parent ? parent->logicalDpiY() : 96.0;
        pixels = static_cast<int>(std::lround(chosen->pointSizeF() * dpi / 72.0));
    }
    pixels = std::clamp(pixels, 1, kMaxPixelSize);
    {
        SettingsStore::Batch batch(store);
        store.PutInt(kSection, "FontHeight", -pixels);
        store.PutInt(kSection, "FontWeight", chosen->weight());
        store.PutString(kSection, "FontName", chosen->family().toStdString());
    }
    return FileCompareFontFromSettings(store);
}

} // namespace km
