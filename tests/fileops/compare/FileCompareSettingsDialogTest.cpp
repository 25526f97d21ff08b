#include "fileops/compare/ui/FileCompareSettingsDialog.h"

#include "support/DialogFixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

namespace km::test {
namespace {

using FileCompareSettingsDialogTest = DialogFixture;

QCheckBox* Check(QWidget* d) {
    return d->findChild<QCheckBox*>(QStringLiteral("check2640"));
}
QLineEdit* Edit(QWidget* d) {
    return d->findChild<QLineEdit*>(QStringLiteral("edit1810"));
}

TEST_F(FileCompareSettingsDialogTest, ShowsTheStoredValuesAndOkWritesBoth) {
    {
        FileCompareSettingsDialog dlg;
        EXPECT_EQ(dlg.objectName(), QStringLiteral("FILECOMPSETTINGS"));
        EXPECT_EQ(dlg.windowTitle(), QStringLiteral("KM - Filecompare"));
        QStringList labels;
        for (const QLabel* l : dlg.findChildren<QLabel*>())
            labels << l->text();
        EXPECT_TRUE(labels.contains(QStringLiteral("Tab size:"))) << labels.join(QLatin1Char('|')).toStdString();
        EXPECT_FALSE(Check(&dlg)->isChecked());
        EXPECT_EQ(Edit(&dlg)->text(), QStringLiteral("4"));
        Check(&dlg)->setChecked(true);
        Edit(&dlg)->setText(QStringLiteral("8"));
        Click(&dlg, "ok");
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
    }
    auto fresh = reopened();
    EXPECT_EQ(fresh->GetInt("FileComp", "NegeerSpaties", 7), 1);
    EXPECT_EQ(fresh->GetInt("FileComp", "PerTab", 7), 8);

    FileCompareSettingsDialog again;
    EXPECT_TRUE(Check(&again)->isChecked());
    EXPECT_EQ(Edit(&again)->text(), QStringLiteral("8"));
    // An emptied tab size keeps the stored one.
    Check(&again)->setChecked(false);
    Edit(&again)->clear();
    Click(&again, "ok");
    EXPECT_EQ(store->GetInt("FileComp", "NegeerSpaties", 7), 0);
    EXPECT_EQ(store->GetInt("FileComp", "PerTab", 7), 8);
}

TEST_F(FileCompareSettingsDialogTest, CancelWritesNothing) {
    WhenModal(QStringLiteral("FILECOMPSETTINGS"), [](QDialog* d) {
        Check(d)->setChecked(true);
        Edit(d)->setText(QStringLiteral("2"));
        Click(d, "cancel");
    });
    EXPECT_FALSE(FileCompareSettingsDialog::Ask(nullptr));
    EXPECT_TRUE(store->ListValues("FileComp").empty());
    EXPECT_EQ(reopened()->GetInt("FileComp", "PerTab", 7), 7);
}

} // namespace
} // namespace km::test
