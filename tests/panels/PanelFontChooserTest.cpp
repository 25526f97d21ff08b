#include "panels/PanelFontChooser.h"

#include "support/DialogFixture.h"

#include <QFontMetrics>
#include <climits>

namespace km::test {
namespace {

class PanelFontChooserTest : public DialogFixture {
protected:
    void SetUp() override {
        DialogFixture::SetUp();
        saved_ = PanelFontPicker;
        PanelFontPicker = [this](QWidget*, const QFont& initial) {
            offered = initial;
            return answer;
        };
    }
    void TearDown() override {
        PanelFontPicker = saved_;
        DialogFixture::TearDown();
    }

    std::optional<QFont> answer;
    QFont offered;

private:
    FontPicker saved_;
};

TEST_F(PanelFontChooserTest, DefaultsDependOnTheScreenResolution) {
    int row96 = 0, row120 = 0;
    const QFont at96 = PanelFontFromSettings(*store, 96, &row96);
    EXPECT_EQ(at96.family(), QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(at96.pixelSize(), 10);
    EXPECT_EQ(at96.weight(), 400);
    const QFont at120 = PanelFontFromSettings(*store, 120, &row120);
    EXPECT_EQ(at120.family(), QStringLiteral("Small Fonts"));
    EXPECT_EQ(at120.pixelSize(), 12);

    // The same font is one pixel taller per row off the standard resolution.
    store->PutInt("Algemeen", "FontHeight", -14);
    PanelFontFromSettings(*store, 96, &row96);
    PanelFontFromSettings(*store, 120, &row120);
    EXPECT_EQ(row120, row96 + 1);
    const QFontMetrics fm(PanelFontFromSettings(*store, 96));
    EXPECT_GE(row96, fm.height() + 1);
}

TEST_F(PanelFontChooserTest, DamagedValuesGiveAUsableFont) {
    store->PutInt("Algemeen", "FontHeight", INT_MIN);
    store->PutInt("Algemeen", "FontWeight", 0);
    int row = 0;
    const QFont huge = PanelFontFromSettings(*store, 96, &row);
    EXPECT_GT(huge.pixelSize(), 0);
    EXPECT_LE(huge.pixelSize(), 400);
    EXPECT_EQ(huge.weight(), 400);
    store->PutInt("Algemeen", "FontHeight", 0);
    EXPECT_EQ(PanelFontFromSettings(*store, 96).pixelSize(), 10);
}

TEST_F(PanelFontChooserTest, OkWritesNegativePixelHeightWeightAndName) {
    store->PutString("Algemeen", "FontName", "DejaVu Sans");
    store->PutInt("Algemeen", "FontHeight", -13);
    store->PutInt("Algemeen", "FontWeight", 600);
    QFont pick(QStringLiteral("DejaVu Serif"));
    pick.setPixelSize(15);
    pick.setWeight(QFont::Bold);
    answer = pick;

    const std::optional<QFont> chosen = ChoosePanelFont(nullptr, *store);
    EXPECT_EQ(offered.family(), QStringLiteral("DejaVu Sans")); // preset with the current font
    EXPECT_EQ(offered.pixelSize(), 13);
    EXPECT_EQ(offered.weight(), 600);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->pixelSize(), 15);
    EXPECT_EQ(chosen->family(), QStringLiteral("DejaVu Serif"));

    auto fresh = reopened();
    EXPECT_EQ(fresh->GetInt("Algemeen", "FontHeight", 0), -15);
    EXPECT_EQ(fresh->GetInt("Algemeen", "FontWeight", 0), 700);
    EXPECT_EQ(fresh->GetString("Algemeen", "FontName", ""), "DejaVu Serif");
}

TEST_F(PanelFontChooserTest, PointSizesAreStoredAsPixels) {
    QWidget parent;
    QFont pick(QStringLiteral("DejaVu Sans"));
    pick.setPointSize(12);
    answer = pick;
    ASSERT_TRUE(ChoosePanelFont(&parent, *store));
    const int pixels = (12 * parent.logicalDpiY() + 36) / 72;
    EXPECT_EQ(store->GetInt("Algemeen", "FontHeight", 0), -pixels);
}

TEST_F(PanelFontChooserTest, CancelReturnsNothingAndWritesNothing) {
    EXPECT_FALSE(ChoosePanelFont(nullptr, *store));
    EXPECT_EQ(store->GetInt("Algemeen", "FontHeight", 7), 7);
    EXPECT_EQ(store->GetString("Algemeen", "FontName", "none"), "none");
}

} // namespace
} // namespace km::test
