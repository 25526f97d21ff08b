// "FILESEARCH" through the real main window: search, go there, saved results.
#include "support/DialogAnswerer.h"
#include "fileops/ui/FileSearchDialog.h"
#include "mainwindow/MainFrame.h"
#include "panels/FilePanel.h"
#include "resources/CommandIds.h"
#include "settings/SettingsStore.h"
#include "support/TempDir.h"
#include "ui_services/AppState.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace km;

namespace {

class FileSearchDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* d : {"l", "l/sub", "l/sub/deeper", "r"})
            mkdir(dir.file(d).c_str(), 0755);
        test::WriteAll(dir.file("l/one.txt"), "nothing here\n");
        test::WriteAll(dir.file("l/sub/deeper/Two.TXT"), "the Needle is here\n");
        test::WriteAll(dir.file("l/sub/three.log"), "needle\n");
        store = std::make_unique<SettingsStore>(dir.file("KM.reg"));
        store->PutString("Paden", "Links", dir.file("l"));
        store->PutString("Paden", "Rechts", dir.file("r"));
        App().store = store.get();
        frame = std::make_unique<MainFrame>();
        frame->show();
        QTest::qWait(20);
    }
    void TearDown() override {
        frame.reset();
        App().store = nullptr;
    }
    static QPushButton* button(QDialog* d, int id) {
        return d->findChild<QPushButton*>(QStringLiteral("button%1").arg(id));
    }
    test::TempDir dir;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<MainFrame> frame;
};

TEST_F(FileSearchDialogTest, SearchGoThereAndTheSavedResultsNextTime) {
    int seen = 0;
    test::WithModal("FILESEARCH", [&](QDialog* d) {
        ++seen;
        auto* patternEdit = d->findChild<QLineEdit*>("edit1480");
        EXPECT_EQ(patternEdit->text().toStdString(), dir.file("l") + "/*.*");
        EXPECT_TRUE(d->findChild<QCheckBox*>("check1510")->isChecked());
        EXPECT_TRUE(d->findChild<QCheckBox*>("check1520")->isChecked());
        EXPECT_FALSE(button(d, 2440)->isEnabled());
        EXPECT_FALSE(button(d, 3020)->isEnabled());
        d->findChild<QComboBox*>("combo1490")->setEditText("NEEDLE");
        button(d, 1500)->click();
        auto* list = d->findChild<QListWidget*>("list1470");
        ASSERT_EQ(list->count(), 2);
        EXPECT_EQ(list->item(0)->text().toStdString(), dir.file("l/sub/deeper/Two.TXT"));
        EXPECT_EQ(list->item(1)->text().toStdString(), dir.file("l/sub/three.log"));
        EXPECT_TRUE(button(d, 2440)->isEnabled());
        EXPECT_TRUE(button(d, 2440)->isDefault());
        EXPECT_FALSE(button(d, 3020)->isEnabled()) << "a fresh search leaves New search off";
        list->setCurrentRow(1);
        button(d, 2440)->click();
    });
    frame->OnCommand(CmdSearch);
    EXPECT_EQ(seen, 1);
    FilePanel* left = frame->panel(0);
    EXPECT_EQ(left->listing().path, dir.file("l/sub"));
    const int cur = left->listing().cursor();
    ASSERT_GE(cur, 0);
    EXPECT_EQ(left->listing().entries[static_cast<size_t>(cur)].name, "three.log");
    EXPECT_EQ(store->GetInt("GevondenBestanden", "Aantal", 0), 2);
    EXPECT_EQ(store->GetString("GevondenBestanden", "ZoekTekst", ""), "NEEDLE");
    EXPECT_EQ(store->GetString("ZoekReeksen", "Reeks1", ""), "NEEDLE");

    // Reopened: the saved results and texts, New search on; New search resets.
    test::WithModal("FILESEARCH", [&](QDialog* d) {
        ++seen;
        auto* list = d->findChild<QListWidget*>("list1470");
        EXPECT_EQ(list->count(), 2);
        EXPECT_EQ(d->findChild<QLineEdit*>("edit1480")->text().toStdString(), dir.file("l") + "/*.*");
        EXPECT_EQ(d->findChild<QComboBox*>("combo1490")->currentText(), "NEEDLE");
        EXPECT_TRUE(button(d, 3020)->isEnabled());
        button(d, 3020)->click();
        EXPECT_EQ(list->count(), 0);
        EXPECT_FALSE(button(d, 1180)->isEnabled());
        EXPECT_EQ(d->findChild<QLineEdit*>("edit1480")->text().toStdString(), dir.file("l/sub") + "/*.*");
        d->reject();
    });
    frame->OnCommand(CmdSearch);
    EXPECT_EQ(seen, 2);
    EXPECT_EQ(store->GetInt("GevondenBestanden", "Aantal", 0), 2) << "New search does not touch the saved results";
}

TEST_F(FileSearchDialogTest, NothingFoundSaysSoAndCaseSensitiveSearchIsExact) {
    int boxes = 0;
    test::WithModal("FILESEARCH", [&](QDialog* d) {
        d->findChild<QCheckBox*>("check1520")->setChecked(false);
        d->findChild<QComboBox*>("combo1490")->setEditText("NEEDLE");
        test::AnswerModal("MESSAGEBOX", "OK", &boxes);
        button(d, 1500)->click();
        EXPECT_EQ(boxes, 1);
        d->findChild<QComboBox*>("combo1490")->setEditText("Needle");
        button(d, 1500)->click();
        EXPECT_EQ(d->findChild<QListWidget*>("list1470")->count(), 1);
        d->reject();
    });
    frame->OnCommand(CmdSearch);
    EXPECT_EQ(store->GetInt("GevondenBestanden", "Aantal", 0), 0) << "Cancel saves nothing";
    EXPECT_EQ(store->GetString("ZoekReeksen", "Reeks1", ""), "Needle");
    EXPECT_EQ(store->GetString("ZoekReeksen", "Reeks2", ""), "NEEDLE");
}

} // namespace
