// Every control the program draws itself draws its text readably (a contrast
// ratio of at least 4.5) with the default colours and any palette, light or
// dark; a colour that is too faint keeps its hue, only darker or lighter.
#include "fileops/compare/ui/CompareRowDelegate.h"
#include "mainwindow/AppButton.h"
#include "panels/FileEntry.h"
#include "panels/PanelDelegate.h"
#include "platform/FileAttributes.h"
#include "ui_services/AppState.h"
#include "ui_services/ProgressGauge.h"
#include "ui_services/ReadableColor.h"

#include <QPalette>
#include <gtest/gtest.h>

using namespace km;

namespace {

std::vector<QPalette> palettes() {
    QPalette light(QColor(0xEF, 0xEF, 0xEF), QColor(0xFF, 0xFF, 0xFF));
    light.setColor(QPalette::Highlight, QColor(0x30, 0x8C, 0xC6)); // Fusion's blue
    light.setColor(QPalette::Link, QColor(0x00, 0x00, 0xFF));
    QPalette dark(QColor(0x35, 0x35, 0x35), QColor(0x2A, 0x2A, 0x2A));
    dark.setColor(QPalette::Text, QColor(0xEE, 0xEE, 0xEE));
    dark.setColor(QPalette::ButtonText, QColor(0xEE, 0xEE, 0xEE));
    dark.setColor(QPalette::Highlight, QColor(0x2A, 0x82, 0xDA));
    dark.setColor(QPalette::Link, QColor(0x2A, 0x82, 0xDA));
    return {light, dark};
}

TEST(OwnerDrawnContrast, AFaintColourKeepsItsHue) {
    const QColor red(255, 0, 0), white(255, 255, 255);
    ASSERT_LT(ContrastRatio(red, white), kReadableContrast);
    const QColor onWhite = ReadableOn(white, red);
    EXPECT_GE(ContrastRatio(onWhite, white), kReadableContrast);
    EXPECT_GT(onWhite.red(), 100) << "still red, not black";
    EXPECT_EQ(onWhite.green(), 0);
    EXPECT_EQ(ReadableOn(white, QColor(0, 0, 0x80)), QColor(0, 0, 0x80)) << "readable stays as it is";
}

TEST(OwnerDrawnContrast, PanelRowsInEveryStateWithTheDefaultColours) {
    for (int i = 0; i < ColCount; ++i)
        App().colors.ref[static_cast<size_t>(i)] = PanelColors::defaultValue(i);
    for (int kind : {KindParent, KindDirectory, KindFile}) {
        for (bool selected : {false, true}) {
            for (uint attrs : {0u, static_cast<uint>(AttrHidden)}) {
                const PanelRowColors c = PanelDelegate::RowColors(kind, selected, attrs);
                EXPECT_GE(ContrastRatio(c.text, c.background), kReadableContrast)
                    << kind << " " << selected << " " << attrs;
            }
        }
    }
    // Colours the user chose that cannot be read are drawn readably.
    App().colors.ref[ColFileFg] = 0x00FFFF; // yellow
    App().colors.ref[ColFileBg] = 0xFFFFFF; // on white
    const PanelRowColors c = PanelDelegate::RowColors(KindFile, false, 0);
    EXPECT_EQ(c.background, QColor(255, 255, 255));
    EXPECT_GE(ContrastRatio(c.text, c.background), kReadableContrast);
    for (int i = 0; i < ColCount; ++i)
        App().colors.ref[static_cast<size_t>(i)] = PanelColors::defaultValue(i);
}

TEST(OwnerDrawnContrast, CompareRowsButtonsAndGaugesInLightAndDarkPalettes) {
    for (const QPalette& p : palettes()) {
        const QColor base = p.color(QPalette::Base);
        const QColor same = CompareRowDelegate::TextColor(p, true);
        const QColor differs = CompareRowDelegate::TextColor(p, false);
        EXPECT_GE(ContrastRatio(same, base), kReadableContrast);
        EXPECT_GE(ContrastRatio(differs, base), kReadableContrast);
        EXPECT_GT(differs.red(), differs.green() + 60) << "differences stay red";

        const FunctionKeyColors keys = FunctionKeyColorsFor(p);
        EXPECT_GE(ContrastRatio(keys.face, keys.number), kReadableContrast);
        EXPECT_GE(ContrastRatio(keys.face, keys.name), kReadableContrast);

        // The percentage is drawn in the bar's colour on the background and
        // in the background's on the bar.
        const GaugeColors g = ChooseGaugeColors(32, p.color(QPalette::Active, QPalette::Highlight));
        EXPECT_GE(ContrastRatio(g.bar, g.background), kReadableContrast);
    }
}

} // namespace
