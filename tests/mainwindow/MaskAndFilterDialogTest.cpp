#include "mainwindow/FilterDialog.h"
#include "panels/MaskDialog.h"

#include "StoreFixture.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>

namespace km::test {
namespace {

class FilterDialogTest : public StoreFixture {
protected:
    void TearDown() override {
        App().filterMask = "*.*";
        StoreFixture::TearDown();
    }
};

// Opens "FILTER", types `text` and presses `button`; returns what Ask said.
bool RunFilter(const QString& text, const char* button) {
    WhenModal(QStringLiteral("FILTER"), [=](QDialog* dlg) {
        Child<QLineEdit>(dlg, QStringLiteral("edit2650"))->setText(text);
        Click(dlg, button);
    });
    return FilterDialog::Ask(nullptr);
}

TEST_F(FilterDialogTest, FilterSetsTheSharedMaskAndCancelKeepsIt) {
    App().filterMask = "*.cpp";
    {
        FilterDialog dlg;
        EXPECT_EQ(Child<QLineEdit>(&dlg, QStringLiteral("edit2650"))->text(),
                  QStringLiteral("*.cpp"));
    }
    EXPECT_TRUE(RunFilter(QStringLiteral("*.txt"), "filter"));
    EXPECT_EQ(App().filterMask, "*.txt");
    EXPECT_FALSE(RunFilter(QStringLiteral("*.h"), "cancel"));
    EXPECT_EQ(App().filterMask, "*.txt");
}

TEST_F(FilterDialogTest, AnEmptyMaskListsEverything) {
    App().filterMask = "*.c";
    EXPECT_TRUE(RunFilter(QString(), "filter"));
    EXPECT_EQ(App().filterMask, "*.*");
}

std::optional<std::string> RunMask(bool select, const QString& text, bool ok,
                                   QString* shown = nullptr) {
    const QString name = select ? QStringLiteral("MARK") : QStringLiteral("UNMARK");
    WhenModal(name, [=](QDialog* dlg) {
        auto* edit = Child<QLineEdit>(dlg, QStringLiteral("mask"));
        if (shown)
            *shown = edit->text();
        edit->setText(text);
        auto* box = Child<QDialogButtonBox>(dlg, QString());
        box->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
    });
    return MaskDialog::Ask(select, nullptr);
}

TEST(MaskDialogTest, ReturnsTheEnteredMaskOrNothingOnCancel) {
    QString shown;
    EXPECT_EQ(RunMask(true, QStringLiteral("*.c"), true, &shown),
              std::optional<std::string>("*.c"));
    EXPECT_EQ(shown, QStringLiteral("*.*"));
    EXPECT_EQ(RunMask(false, QStringLiteral("a?.txt"), true, &shown),
              std::optional<std::string>("a?.txt"));
    EXPECT_EQ(shown, QStringLiteral("*.*"));
    EXPECT_EQ(RunMask(true, QStringLiteral("*.c"), false), std::nullopt);
    EXPECT_EQ(RunMask(false, QStringLiteral("*.c"), false), std::nullopt);
}

} // namespace
} // namespace km::test
