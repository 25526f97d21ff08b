#include "panels/PanelSettingsDialog.h"

#include "support/DialogFixture.h"

#include <QCheckBox>
#include <QRadioButton>

namespace km::test {
namespace {

using PanelSettingsDialogTest = DialogFixture;

bool Checked(QWidget* dlg, const QString& name) {
    auto* b = dlg->findChild<QAbstractButton*>(name);
    EXPECT_NE(b, nullptr) << name.toStdString();
    return b && b->isChecked();
}

void SetChecked(QWidget* dlg, const QString& name, bool on) {
    auto* b = dlg->findChild<QAbstractButton*>(name);
    ASSERT_NE(b, nullptr) << name.toStdString();
    b->setChecked(on);
}

TEST_F(PanelSettingsDialogTest, EmptyStoreShowsDefaultsAndBadValuesFallBackToThem) {
    {
        PanelSettingsDialog dlg;
        EXPECT_EQ(dlg.objectName(), QStringLiteral("CONFIG"));
        for (const char* c : {"check1550", "check1560", "check2990", "check3000"})
            EXPECT_FALSE(Checked(&dlg, QString::fromLatin1(c))) << c;
        EXPECT_TRUE(Checked(&dlg, QStringLiteral("radio2470")));
        EXPECT_TRUE(Checked(&dlg, QStringLiteral("radio2490")));
    }
    store->PutInt("Algemeen", "Bestandsnamen", 1234);
    store->PutInt("Algemeen", "ContextMenus", -1);
    PanelSettingsDialog dlg;
    EXPECT_TRUE(Checked(&dlg, QStringLiteral("radio2470")));
    EXPECT_TRUE(Checked(&dlg, QStringLiteral("radio2490")));
    Click(&dlg, "ok");
    EXPECT_EQ(store->GetInt("Algemeen", "Bestandsnamen", 0), 2470);
    EXPECT_EQ(store->GetInt("Algemeen", "ContextMenus", 0), 2490);
}

TEST_F(PanelSettingsDialogTest, OkWritesAllSixValuesAndTheNameCaseCache) {
    store->PutInt("Algemeen", "Hidden", 1);
    store->PutInt("Algemeen", "SystemDir", 1);
    store->PutInt("Algemeen", "Bestandsnamen", 2467);
    store->PutInt("Algemeen", "ContextMenus", 2480);
    {
        PanelSettingsDialog dlg;
        EXPECT_TRUE(Checked(&dlg, QStringLiteral("check1550")));
        EXPECT_FALSE(Checked(&dlg, QStringLiteral("check1560")));
        EXPECT_FALSE(Checked(&dlg, QStringLiteral("check2990")));
        EXPECT_TRUE(Checked(&dlg, QStringLiteral("check3000")));
        EXPECT_TRUE(Checked(&dlg, QStringLiteral("radio2467")));
        EXPECT_TRUE(Checked(&dlg, QStringLiteral("radio2480")));

        SetChecked(&dlg, QStringLiteral("check1550"), false);
        SetChecked(&dlg, QStringLiteral("check1560"), true);
        SetChecked(&dlg, QStringLiteral("check2990"), true);
        SetChecked(&dlg, QStringLiteral("check3000"), false);
        SetChecked(&dlg, QStringLiteral("radio2463"), true);
        SetChecked(&dlg, QStringLiteral("radio2490"), true);
        Click(&dlg, "ok");
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
    }
    EXPECT_EQ(App().nameCase, 2463);
    auto fresh = reopened();
    EXPECT_EQ(fresh->GetInt("Algemeen", "Hidden", 7), 0);
    EXPECT_EQ(fresh->GetInt("Algemeen", "System", 7), 1);
    EXPECT_EQ(fresh->GetInt("Algemeen", "HiddenDir", 7), 1);
    EXPECT_EQ(fresh->GetInt("Algemeen", "SystemDir", 7), 0);
    EXPECT_EQ(fresh->GetInt("Algemeen", "Bestandsnamen", 7), 2463);
    EXPECT_EQ(fresh->GetInt("Algemeen", "ContextMenus", 7), 2490);

    PanelSettingsDialog again;
    EXPECT_TRUE(Checked(&again, QStringLiteral("check1560")));
    EXPECT_TRUE(Checked(&again, QStringLiteral("radio2463")));
    EXPECT_FALSE(Checked(&again, QStringLiteral("radio2467")));
}

TEST_F(PanelSettingsDialogTest, CancelWritesNothing) {
    WhenModal(QStringLiteral("CONFIG"), [](QDialog* d) {
        SetChecked(d, QStringLiteral("check1550"), true);
        SetChecked(d, QStringLiteral("radio2450"), true);
        Click(d, "cancel");
    });
    EXPECT_FALSE(PanelSettingsDialog::Ask(nullptr));
    EXPECT_EQ(App().nameCase, 2460);
    for (const auto& v : store->ListValues("Algemeen"))
        ADD_FAILURE() << "written: " << v.name;
    EXPECT_EQ(reopened()->GetInt("Algemeen", "Hidden", 7), 7);
}

} // namespace
} // namespace km::test
