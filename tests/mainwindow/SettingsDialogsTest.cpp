#include "mainwindow/ConfirmationsDialog.h"
#include "mainwindow/GeneralSettingsDialog.h"

#include "StoreFixture.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

namespace km::test {
namespace {

using GeneralSettingsDialogTest = StoreFixture;
using ConfirmationsDialogTest = StoreFixture;

QAbstractButton* Button(QWidget* dlg, const char* name) {
    return Child<QAbstractButton>(dlg, QString::fromLatin1(name));
}
QLineEdit* Edit(QWidget* dlg, const char* name) {
    return Child<QLineEdit>(dlg, QString::fromLatin1(name));
}

TEST_F(GeneralSettingsDialogTest, FirstStartShowsTheDefaults) {
    GeneralSettingsDialog dlg;
    EXPECT_EQ(dlg.objectName(), QStringLiteral("PATHS"));
    EXPECT_EQ(Edit(&dlg, "edit1730")->text(), QStringLiteral("Kestrum"));
    for (const char* on : {"check1130", "check2800", "check1540", "check1940", "check1503",
                           "check1507", "check3100", "check2010"})
        EXPECT_TRUE(Button(&dlg, on)->isChecked()) << on;
    for (const char* off : {"check1135", "check2020"})
        EXPECT_FALSE(Button(&dlg, off)->isChecked()) << off;
    EXPECT_TRUE(Button(&dlg, "radio2670")->isChecked());
    EXPECT_FALSE(Edit(&dlg, "edit1530")->isEnabled());
    EXPECT_TRUE(Edit(&dlg, "edit1740")->text().isEmpty());
}

TEST_F(GeneralSettingsDialogTest, ButtonRowSwitchesFollowApplicationButtonsAndEditorFollowsChoice) {
    store->PutInt("Algemeen", "ApplButtons", 0);
    GeneralSettingsDialog dlg;
    EXPECT_FALSE(Button(&dlg, "check1135")->isEnabled());
    EXPECT_FALSE(Button(&dlg, "check2800")->isEnabled());
    Button(&dlg, "check1130")->setChecked(true);
    EXPECT_TRUE(Button(&dlg, "check1135")->isEnabled());
    EXPECT_TRUE(Button(&dlg, "check2800")->isEnabled());
    Button(&dlg, "check1130")->setChecked(false);
    EXPECT_FALSE(Button(&dlg, "check1135")->isEnabled());

    Button(&dlg, "radio2671")->setChecked(true);
    EXPECT_TRUE(Edit(&dlg, "edit1530")->isEnabled());
    Button(&dlg, "radio2670")->setChecked(true);
    EXPECT_FALSE(Edit(&dlg, "edit1530")->isEnabled());
}

TEST_F(GeneralSettingsDialogTest, UnchosenEditorCountsAsExternalWhenOneIsConfigured) {
    store->PutString("Paden", "Editor", "/usr/bin/vim");
    {
        GeneralSettingsDialog dlg;
        EXPECT_TRUE(Button(&dlg, "radio2671")->isChecked());
        EXPECT_TRUE(Edit(&dlg, "edit1530")->isEnabled());
        EXPECT_EQ(Edit(&dlg, "edit1530")->text(), QStringLiteral("/usr/bin/vim"));
        Click(&dlg, "ok");
    }
    EXPECT_EQ(reopened()->GetInt("Paden", "InternalEditor", -1), 1);

    store->PutInt("Paden", "InternalEditor", 2);
    store->PutString("Paden", "Editor", "");
    GeneralSettingsDialog dlg;
    EXPECT_TRUE(Button(&dlg, "radio2670")->isChecked());
    Click(&dlg, "ok");
    EXPECT_EQ(store->GetInt("Paden", "InternalEditor", -1), 0);
}

TEST_F(GeneralSettingsDialogTest, OkWritesEverySwitchAndReturnsTheTitle) {
    store->PutString("Algemeen", "Titel", "Old");
    WhenModal(QStringLiteral("PATHS"), [](QDialog* dlg) {
        Edit(dlg, "edit1730")->setText(QStringLiteral("My files"));
        for (const char* name : {"check1135", "check2020", "check1540", "check3100", "check2010"})
            Button(dlg, name)->toggle();
        Button(dlg, "radio2671")->setChecked(true);
        Edit(dlg, "edit1530")->setText(QStringLiteral("/usr/bin/gedit"));
        Edit(dlg, "edit1740")->setText(QStringLiteral("/tmp/try"));
        Click(dlg, "ok");
    });
    EXPECT_EQ(GeneralSettingsDialog::Ask(nullptr), std::optional<std::string>("My files"));

    auto s = reopened();
    EXPECT_EQ(s->GetString("Algemeen", "Titel", ""), "My files");
    const std::pair<const char*, int> expected[] = {
        {"ApplButtons", 1},  {"SecondRow", 1},    {"ShowIcon", 1}, {"CmdPrompt", 0},
        {"FunctionKeys", 1}, {"EscActiveert", 1}, {"StopIcon", 1}, {"MenuIcon", 1},
        {"CPLIcon", 0},      {"DatumInTitel", 0}};
    for (auto [key, value] : expected)
        EXPECT_EQ(s->GetInt("Algemeen", key, -1), value) << key;
    EXPECT_EQ(s->GetInt("Paden", "InternalEditor", -1), 1);
    EXPECT_EQ(s->GetString("Paden", "Editor", ""), "/usr/bin/gedit");
    // The try-out path is never stored anywhere.
    EXPECT_EQ(s->ListValues("Paden").size(), 2u);

    WhenModal(QStringLiteral("PATHS"), [](QDialog* dlg) {
        Edit(dlg, "edit1730")->setText(QStringLiteral("Changed"));
        Click(dlg, "cancel");
    });
    EXPECT_EQ(GeneralSettingsDialog::Ask(nullptr), std::nullopt);
    EXPECT_EQ(store->GetString("Algemeen", "Titel", ""), "My files");
}

TEST_F(ConfirmationsDialogTest, ReadsDefaultsAndStoresChangesOnOkOnly) {
    const char* const checks[] = {"check2340", "check2345", "check2410", "check1503"};
    const char* const keys[] = {"BevestigingDelFiles", "BevestigingDelDirs", "BevestigingOverwrite",
                                "BevestigingStopIcon"};
    {
        ConfirmationsDialog dlg;
        EXPECT_EQ(dlg.objectName(), QStringLiteral("CONFIRMATIONS"));
        const bool defaults[] = {true, true, true, false};
        for (size_t i = 0; i < 4; ++i)
            EXPECT_EQ(Button(&dlg, checks[i])->isChecked(), defaults[i]) << checks[i];
        for (const char* name : checks)
            Button(&dlg, name)->toggle();
        Click(&dlg, "cancel");
    }
    EXPECT_TRUE(store->ListValues("Algemeen").empty());

    WhenModal(QStringLiteral("CONFIRMATIONS"), [&](QDialog* dlg) {
        for (const char* name : checks)
            Button(dlg, name)->toggle();
        Click(dlg, "ok");
    });
    EXPECT_TRUE(ConfirmationsDialog::Ask(nullptr));
    auto s = reopened();
    const int stored[] = {0, 0, 0, 1};
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(s->GetInt("Algemeen", keys[i], -1), stored[i]) << keys[i];

    App().store = s.get();
    ConfirmationsDialog again;
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(Button(&again, checks[i])->isChecked(), stored[i] == 1) << checks[i];
    App().store = store.get();
}

} // namespace
} // namespace km::test
