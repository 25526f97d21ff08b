#include "panels/PanelFontChooser.h"

#include "settings/SettingsStore.h"

#include <QFontDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace km {
namespace {

// Keeps a damaged store from asking for an absurd (or, for INT_MIN, undefined) size.
constexpr int kMaxPixelSize = 400;

int screenDpi(QWidget* parent) {
    if (parent)
        return parent->logicalDpiY();
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? static_cast<int>(std::lround(screen->logicalDotsPerInchY())) : 96;
}

} // namespace

FontPicker PanelFontPicker = [](QWidget* parent, const QFont& initial) {
    bool ok = false;
    const QFont f = QFontDialog::getFont(&ok, initial, parent);
    return ok ? std::optional<QFont>(f) : std::nullopt;
};

QFont PanelFontFromSettings(SettingsStore& store, int dpi, int* rowHeight) {
    const bool std96 = dpi == 96;
    const int defaultHeight = std96 ? -10 : -12;
    const std::string name =
        store.GetString("Algemeen", "FontName", std96 ? "MS Sans Serif" : "Small Fonts");
    int height = store.GetInt("Algemeen", "FontHeight", defaultHeight);
    if (height == 0)
        height = defaultHeight;
    // Negative is the character height in pixels; a positive cell height is
    // taken as the pixel size too, which is close enough for a panel.
    const int pixels = height < 0 ? (height < -kMaxPixelSize ? kMaxPixelSize : -height)
                                  : std::min(height, kMaxPixelSize);
    int weight = store.GetInt("Algemeen", "FontWeight", 400);
    if (weight == 0) // "don't care"
        weight = 400;

    QFont f(QString::fromStdString(name));
    f.setPixelSize(pixels);
    f.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 100, 900)));
    if (rowHeight) {
        const QFontMetrics fm(f);
        *rowHeight = fm.height() + std::max(0, fm.leading()) + (std96 ? 1 : 2);
    }
    return f;
}

std::optional<QFont> ChoosePanelFont(QWidget* parent, SettingsStore& store) {
    const int dpi = screenDpi(parent);
    const std::optional<QFont> chosen = PanelFontPicker(parent, PanelFontFromSettings(store, dpi));
    if (!chosen)
        return std::nullopt;
    int pixels = chosen->pixelSize();
    if (pixels <= 0) // the chooser speaks points
        pixels = static_cast<int>(std::lround(chosen->pointSizeF() * dpi / 72.0));
    pixels = std::clamp(pixels, 1, kMaxPixelSize);
    {
        SettingsStore::Batch batch(store);
        store.PutInt("Algemeen", "FontHeight", -pixels);
        store.PutInt("Algemeen", "FontWeight", chosen->weight());
        store.PutString("Algemeen", "FontName", chosen->family().toStdString());
    }
    return PanelFontFromSettings(store, dpi);
}

} // namespace km
