#include "panels/ChangeDirDialog.h"

#include "support/DialogFixture.h"

#include <QLineEdit>
#include <QTest>

namespace km::test {
namespace {

QLineEdit* Edit(QDialog* d) {
    return d->findChild<QLineEdit*>(QStringLiteral("edit1250"));
}

TEST(ChangeDirDialogTest, ReturnsTypedTextAsUtf8) {
    bool startedEmpty = false;
    WhenModal(QStringLiteral("CD"), [&](QDialog* d) {
        QLineEdit* e = Edit(d);
        ASSERT_NE(e, nullptr);
        startedEmpty = e->text().isEmpty();
        QTest::keyClicks(e, QStringLiteral("../M"));
        e->insert(QStringLiteral("üll dir")); // QTest types ASCII only
        QTest::keyClick(e, Qt::Key_Return);   // Apply is the default button
    });
    EXPECT_EQ(ChangeDirDialog::Ask(nullptr), std::optional<std::string>("../M\xC3\xBCll dir"));
    EXPECT_TRUE(startedEmpty);
}

TEST(ChangeDirDialogTest, CancelReturnsNothing) {
    WhenModal(QStringLiteral("CD"), [](QDialog* d) {
        QTest::keyClicks(Edit(d), QStringLiteral("/tmp"));
        for (auto* b : d->findChildren<QAbstractButton*>())
            if (b->text() == QStringLiteral("&Cancel"))
                b->click();
    });
    EXPECT_EQ(ChangeDirDialog::Ask(nullptr), std::nullopt);
}

} // namespace
} // namespace km::test
