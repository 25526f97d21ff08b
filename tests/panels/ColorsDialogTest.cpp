#include "panels/ColorsDialog.h"
#include "panels/PanelDelegate.h"

#include "support/DialogFixture.h"

#include <QLineEdit>
#include <vector>

namespace km::test {
namespace {

class ColorsDialogTest : public DialogFixture {
protected:
    void SetUp() override {
        DialogFixture::SetUp();
        saved_ = ColorsDialog::pickColor;
        ColorsDialog::pickColor = [this](QWidget*, const QColor& initial) {
            offered.push_back(initial);
            return answer;
        };
        font.setPixelSize(17);
    }
    void TearDown() override {
        ColorsDialog::pickColor = saved_;
        DialogFixture::TearDown();
    }

    QColor exampleColor(ColorsDialog& dlg, int id, QPalette::ColorRole role) {
        auto* e = dlg.findChild<QLineEdit*>(QStringLiteral("example%1").arg(id));
        return e ? e->palette().color(role) : QColor();
    }

    std::optional<QColor> answer;
    std::vector<QColor> offered;
    QFont font;

private:
    ColorsDialog::ColorPicker saved_;
};

TEST_F(ColorsDialogTest, DefaultColorsMakeSystemFileTextWhiteAndResetTheFrame) {
    EXPECT_EQ(App().colors.ref[ColSysFileFg], 0x40FF00); // a fresh store starts green
    App().colors.ref[ColFRect] = 0x123456;
    App().colors.ref[ColDirFg] = 0x010203;

    ColorsDialog dlg(font);
    Click(&dlg, "button2763");
    EXPECT_EQ(exampleColor(dlg, 1044, QPalette::Text), QColor(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(exampleColor(dlg, 1042, QPalette::Text), QColor(0x00, 0xFF, 0x40));
    Click(&dlg, "ok");
    EXPECT_EQ(dlg.result(), QDialog::Accepted);

    const int32_t expected[ColCount] = {0xFFFFFF, 0x000000, 0xFFFFFF, 0x0000FF, 0x40FF00,
                                        0x000000, 0xFFFFFF, 0x0000FF, 0xFFFFFF, 0x004080,
                                        0x40FF00, 0x004080, -1};
    auto fresh = reopened();
    for (int i = 0; i < ColCount; ++i) {
        EXPECT_EQ(App().colors.ref[static_cast<size_t>(i)], expected[i]) << PanelColors::key(i);
        EXPECT_EQ(fresh->GetInt("Kleuren", PanelColors::key(i), 7), expected[i])
            << PanelColors::key(i);
    }
}

TEST_F(ColorsDialogTest, ChosenColourShowsAtOnceButOnlyOkStoresIt) {
    answer = QColor(0x12, 0x34, 0x56);
    {
        ColorsDialog dlg(font);
        auto* example = dlg.findChild<QLineEdit*>(QStringLiteral("example1040"));
        ASSERT_NE(example, nullptr);
        EXPECT_TRUE(example->isReadOnly());
        EXPECT_EQ(example->text(), QStringLiteral("Example text"));
        EXPECT_EQ(example->font().pixelSize(), 17);

        Click(&dlg, "button2770"); // file foreground
        ASSERT_EQ(offered.size(), 1u);
        EXPECT_EQ(offered[0], QColor(0xFF, 0xFF, 0xFF)); // preset with the current colour
        EXPECT_EQ(example->palette().color(QPalette::Text), *answer);
        EXPECT_EQ(dlg.colors()[ColFileFg], 0x563412);

        Click(&dlg, "cancel");
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
    }
    EXPECT_EQ(App().colors.ref[ColFileFg], 0xFFFFFF);
    EXPECT_TRUE(store->ListValues("Kleuren").empty());
    EXPECT_EQ(reopened()->GetInt("Kleuren", "cFileFg", 7), 7);

    ColorsDialog dlg(font);
    Click(&dlg, "button2797"); // hidden/system file background
    EXPECT_EQ(exampleColor(dlg, 1044, QPalette::Base), *answer);
    answer.reset(); // the user cancels the chooser: nothing changes
    Click(&dlg, "button2783");
    EXPECT_EQ(dlg.colors()[ColDirFg], 0x40FF00);
    Click(&dlg, "ok");
    EXPECT_EQ(App().colors.ref[ColSysFileBg], 0x563412);
    EXPECT_EQ(reopened()->GetInt("Kleuren", "cSysFileBg", 7), 0x563412);
    EXPECT_EQ(reopened()->GetInt("Kleuren", "cDirFg", 7), 0x40FF00);
}

TEST_F(ColorsDialogTest, FocusRectangleExampleDrawsTheChosenFrame) {
    // Unset, the frame takes the desktop's colour for the active window.
    const QPalette saved = QApplication::palette();
    QPalette desktop = saved;
    desktop.setColor(QPalette::Active, QPalette::Highlight, QColor(0x12, 0x9e, 0x55));
    QApplication::setPalette(desktop);
    EXPECT_EQ(ColorFromRef(-1), QColor(0x12, 0x9e, 0x55));
    QApplication::setPalette(saved);
    answer = QColor(0xC0, 0x10, 0x20);
    ColorsDialog dlg(font);
    dlg.show();
    QWidget* example = dlg.findChild<QWidget*>(QStringLiteral("example2769"));
    ASSERT_NE(example, nullptr);
    const QColor face = example->palette().color(QPalette::Button);
    QImage before = example->grab().toImage();
    EXPECT_EQ(before.pixelColor(1, before.height() / 2), ColorFromRef(-1));
    EXPECT_EQ(before.pixelColor(before.width() / 2, before.height() / 2), face);

    Click(&dlg, "button2766");
    EXPECT_EQ(offered.at(0), ColorFromRef(-1));
    QImage after = example->grab().toImage();
    EXPECT_EQ(after.pixelColor(1, after.height() / 2), *answer);
    EXPECT_EQ(after.pixelColor(after.width() - 2, after.height() / 2), *answer);
    EXPECT_EQ(after.pixelColor(after.width() / 2, after.height() / 2), face);
    EXPECT_EQ(dlg.colors()[ColFRect], 0x2010C0);
}

} // namespace
} // namespace km::test
