// The command table through the real main window: keys, function keys,
// menu states and the dialogs the commands open.
#include "support/DialogAnswerer.h"
#include "mainwindow/FunctionKeyBar.h"
#include "mainwindow/HelpWindow.h"
#include "mainwindow/ThisComputerDialog.h"
#include "mainwindow/MainFrame.h"
#include "panels/FilePanel.h"
#include "resources/CommandIds.h"
#include "settings/SettingsStore.h"
#include "support/TempDir.h"
#include "ui_services/AppState.h"
#include "viewers/TextEditorWindow.h"

#include <QAction>
#include <QMenuBar>
#include <QCheckBox>
#include <QPrinterInfo>
#include <QRadioButton>
#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>
#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>

using namespace km;

namespace {

class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        mkdir(dir.file("l").c_str(), 0755);
        mkdir(dir.file("r").c_str(), 0755);
        for (const char* n : {"a.txt", "b.txt", "c.doc"}) {
            test::WriteAll(dir.file(std::string("l/") + n), "x");
            test::WriteAll(dir.file(std::string("r/") + n), "x");
        }
        store = std::make_unique<SettingsStore>(dir.file("KM.reg"));
        store->PutString("Paden", "Links", dir.file("l"));
        store->PutString("Paden", "Rechts", dir.file("r"));
        App().store = store.get();
        App().filterMask = "*.*";
        start();
    }
    void TearDown() override {
        frame.reset();
        App().store = nullptr;
        App().filterMask = "*.*";
    }
    void start() {
        frame = std::make_unique<MainFrame>();
        frame->show();
        QTest::qWait(20);
        frame->activePanel()->setFocus();
    }
    // After a modal dialog the offscreen platform leaves no window active.
    void reactivate() {
        frame->activateWindow();
        (void)QTest::qWaitForWindowActive(frame.get());
        frame->activePanel()->setFocus();
    }
    void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(frame->activePanel(), k, mods);
        QTest::qWait(10);
    }
    test::TempDir dir;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<MainFrame> frame;
};

} // namespace

TEST_F(CommandsTest, EveryMenuCommandHasAHandlerAndUnknownNumbersNone) {
    for (const QAction* a : frame->menuBar()->findChildren<QAction*>()) {
        if (a->objectName().startsWith(QStringLiteral("cmd"))) {
            EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
        }
    }
    ASSERT_TRUE(frame->menuAction(CmdZip));
    EXPECT_TRUE(frame->menuAction(CmdZip)->isEnabled());
    EXPECT_TRUE(frame->menuAction(CmdCopy)->isEnabled());
    EXPECT_TRUE(frame->menuAction(CmdRefresh)->isEnabled());
    EXPECT_TRUE(frame->menuAction(CmdFilter)->isEnabled());
    EXPECT_EQ(frame->menuAction(CmdSwapPanels)->text(), "S&wap file windows...\tCtrl+U");
    EXPECT_FALSE(frame->OnCommand(9999));
}

TEST_F(CommandsTest, TabCtrlSortAndShiftKeysReachTheirCommands) {
    EXPECT_TRUE(frame->leftActive());
    key(Qt::Key_Tab);
    EXPECT_FALSE(frame->leftActive());
    key(Qt::Key_F3, Qt::ControlModifier); // name, toggles to descending
    EXPECT_EQ(frame->activePanel()->listing().sortFlags, SortByName | SortDescending);
    key(Qt::Key_F4, Qt::ControlModifier);
    EXPECT_EQ(frame->activePanel()->listing().sortFlags, SortByExtension);
    frame->activePanel()->MoveCursor(1);
    key(Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(frame->activePanel()->listing().selectedFiles, 3);
    key(Qt::Key_Tab);
    EXPECT_TRUE(frame->leftActive());
}

TEST_F(CommandsTest, KeypadKeysMarkSelectAllAndSwallow) {
    int marks = 0;
    test::AnswerModal("MARK", "OK", &marks);
    QTest::keyClick(frame->activePanel(), Qt::Key_Plus, Qt::KeypadModifier);
    QTest::qWait(100);
    EXPECT_EQ(marks, 1);
    EXPECT_EQ(frame->activePanel()->listing().selectedFiles, 3); // "*.*" selects files
    reactivate();
    QTest::keyClick(frame->activePanel(), Qt::Key_Minus, Qt::KeypadModifier | Qt::ControlModifier);
    QTest::qWait(10);
    EXPECT_EQ(frame->activePanel()->listing().selectedFiles, 0);
    QTest::keyClick(frame->activePanel(), Qt::Key_Plus, Qt::KeypadModifier | Qt::ControlModifier);
    QTest::qWait(10);
    EXPECT_EQ(frame->activePanel()->listing().selectedFiles, 3);
    QTest::keyClick(frame->activePanel(), Qt::Key_Plus, Qt::KeypadModifier | Qt::ShiftModifier);
    QTest::qWait(50);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr); // swallowed, no dialog
}

TEST_F(CommandsTest, EscDoesNothingWhenSwitchedOff) {
    store->PutInt("Algemeen", "EscActiveert", 0);
    key(Qt::Key_Escape);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(frame->activePanel()->listing().path, dir.file("l"));
}

TEST_F(CommandsTest, FilterOnOnePanelAppliesToTheOtherAtItsNextRead) {
    test::AnswerModal("FILTER", "Filter");
    // The dialog's edit is pre-filled; set the mask the dialog will store.
    QTimer::singleShot(0, [] {
        if (auto* w = QApplication::activeModalWidget()) {
            if (auto* edit = w->findChild<QLineEdit*>())
                edit->setText("*.txt");
        }
    });
    frame->OnCommand(CmdFilter);
    QTest::qWait(100);
    EXPECT_EQ(App().filterMask, "*.txt");
    EXPECT_EQ(frame->panel(0)->listing().rowCount(), 3); // .., a.txt, b.txt
    EXPECT_EQ(frame->panel(1)->listing().rowCount(), 3); // refreshed too
    EXPECT_TRUE(frame->pathLine(1)->text().contains("/*.txt"));
}

TEST_F(CommandsTest, RefreshDropsTheSelection) {
    frame->activePanel()->listing().SelectAll(true);
    key(Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(frame->activePanel()->listing().selectedFiles, 0);
}

TEST_F(CommandsTest, SwapKeepsTheActiveContentsActive) {
    mkdir(dir.file("l/sub").c_str(), 0755);
    frame->panel(0)->ChangeDirectory(dir.file("l/sub"));
    QTRY_VERIFY_WITH_TIMEOUT(!frame->panel(0)->reading(), 5000);
    PostPanelMessage(frame->panel(0), PmSortSize);
    QTest::qWait(10);
    key(Qt::Key_U, Qt::ControlModifier);
    EXPECT_FALSE(frame->leftActive());
    EXPECT_EQ(frame->panel(1)->listing().path, dir.file("l/sub"));
    EXPECT_EQ(frame->panel(1)->listing().sortFlags, SortBySize);
    EXPECT_EQ(frame->panel(0)->listing().path, dir.file("r"));
    EXPECT_EQ(frame->activePanel(), frame->panel(1));
}

TEST_F(CommandsTest, CtrlPageUpAndSmallButtonsGoUpAndToRoot) {
    mkdir(dir.file("l/sub").c_str(), 0755);
    frame->panel(0)->ChangeDirectory(dir.file("l/sub"));
    QTRY_VERIFY_WITH_TIMEOUT(!frame->panel(0)->reading(), 5000);
    key(Qt::Key_PageUp, Qt::ControlModifier);
    QTRY_COMPARE_WITH_TIMEOUT(frame->panel(0)->listing().path, dir.file("l"), 5000);
    frame->OnCommand(CmdRightRoot);
    QTRY_COMPARE_WITH_TIMEOUT(frame->panel(1)->listing().path, frame->panel(1)->listing().drive, 5000);
    frame->OnCommand(CmdRightSelectAll);
    EXPECT_GT(frame->panel(1)->listing().selectedFiles + frame->panel(1)->listing().selectedDirs, 0);
}

TEST_F(CommandsTest, FunctionKeyAssignmentRelabelsPostsAndSurvivesRestart) {
    EXPECT_EQ(frame->functionKeys()->button(4)->actionName(), "Copy"); // F5
    EXPECT_EQ(frame->functionKeys()->button(0)->actionName(), "Help");
    EXPECT_EQ(frame->functionKeys()->button(9)->actionName(), "Exit");
    // F4: "Refresh" (index 14) through the FKEYS dialog.
    QTimer::singleShot(50, [] {
        auto* w = QApplication::activeModalWidget();
        ASSERT_TRUE(w && w->objectName() == "FKEYS");
        w->findChild<QComboBox*>("list2982")->setCurrentIndex(14);
        for (auto* b : w->findChildren<QAbstractButton*>()) {
            if (b->text().remove('&') == "OK")
                b->click();
        }
    });
    frame->OnCommand(CmdFunctionKeyDefinition);
    reactivate();
    EXPECT_EQ(store->GetInt("FKeys", "FK4", -1), 14);
    EXPECT_EQ(frame->functionKeys()->button(3)->actionName(), "Refresh");
    frame->activePanel()->listing().SelectAll(true);
    key(Qt::Key_F4);
    EXPECT_EQ(frame->activePanel()->listing().selectedFiles, 0); // refreshed
    frame->close();
    frame.reset();
    start();
    EXPECT_EQ(frame->functionKeys()->button(3)->actionName(), "Refresh");
}

TEST_F(CommandsTest, HelpOpensAtTheOpenDialogsContext) {
    int seenContext = -1;
    QTimer::singleShot(50, [&] {
        seenContext = App().helpContext;
        if (auto* w = QApplication::activeModalWidget()) {
            QTest::keyClick(w, Qt::Key_F1);
            static_cast<QDialog*>(w)->reject();
        }
    });
    frame->OnCommand(CmdConfirmations);
    EXPECT_EQ(seenContext, CmdConfirmations);
    EXPECT_EQ(App().helpContext, 0);
    HelpWindow* help = HelpWindow::Instance();
    EXPECT_TRUE(help->isVisible());
    help->close();
}

TEST_F(CommandsTest, F5CopiesTheSelectionIntoTheOtherPanel) {
    test::WriteAll(dir.file("l/only-left.txt"), "payload");
    frame->panel(0)->Refresh();
    frame->panel(0)->listing().SelectFileByName("only-left.txt");
    int asked = 0;
    test::AnswerModal("COPY", "Copy", &asked);
    key(Qt::Key_F5);
    QTest::qWait(100);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(test::ReadAll(dir.file("r/only-left.txt")), "payload");
    bool listed = false;
    for (const auto& e : frame->panel(1)->listing().entries)
        listed = listed || e.name == "only-left.txt";
    EXPECT_TRUE(listed); // the target panel was re-read
    EXPECT_EQ(frame->panel(0)->listing().selectedFiles, 0); // the selection is dropped
    EXPECT_TRUE(frame->isEnabled());
}

TEST_F(CommandsTest, ShiftDelDeletesPermanentlyAfterTheQuestion) {
    frame->panel(0)->listing().SelectFileByName("c.doc");
    int asked = 0;
    test::AnswerModal("MESSAGEBOX", "Yes", &asked);
    key(Qt::Key_Delete, Qt::ShiftModifier);
    QTest::qWait(100);
    EXPECT_EQ(asked, 1);
    struct stat st;
    EXPECT_NE(stat(dir.file("l/c.doc").c_str(), &st), 0);
    EXPECT_FALSE(App().recycleSwitch);
}

TEST_F(CommandsTest, F7MakesNestedDirectoriesAndPutsTheCursorOnTheFirst) {
    QTimer::singleShot(50, [] {
        auto* w = QApplication::activeModalWidget();
        ASSERT_TRUE(w && w->objectName() == "NEWDIR");
        w->findChild<QLineEdit*>()->setText("x1/x2/x3");
        for (auto* b : w->findChildren<QAbstractButton*>()) {
            if (b->text().remove('&') == "Make")
                b->click();
        }
    });
    key(Qt::Key_F7);
    QTest::qWait(50);
    struct stat st;
    EXPECT_EQ(stat(dir.file("l/x1/x2/x3").c_str(), &st), 0);
    const PanelListing& li = frame->activePanel()->listing();
    ASSERT_GE(li.cursor(), 0);
    EXPECT_EQ(li.entries[static_cast<size_t>(li.cursor())].name, "x1");
}

TEST_F(CommandsTest, F3ViewsTextReadOnlyInItsOwnWindow) {
    FilePanel* p = frame->activePanel();
    for (int i = 0; i < p->listing().rowCount(); ++i) {
        if (p->listing().entries[static_cast<size_t>(i)].name == "a.txt")
            p->MoveCursor(i);
    }
    key(Qt::Key_F3);
    QTest::qWait(200);
    const auto windows = TextEditorWindow::OpenWindows();
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_TRUE(windows[0]->isViewOnly());
    EXPECT_EQ(windows[0]->filePath(), dir.file("l/a.txt"));
    EXPECT_TRUE(windows[0]->windowTitle().startsWith("KM Viewer - "));
    windows[0]->close();
    QTest::qWait(20);
}

TEST_F(CommandsTest, DirectoryCompareSelectsWhatIsMissingOrNewerOnEachSide) {
    auto setTime = [&](const std::string& path, time_t t) {
        struct timespec times[2] = {{t, 0}, {t, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    };
    test::WriteAll(dir.file("l/only-left.txt"), "x");
    test::WriteAll(dir.file("r/only-right.txt"), "x");
    test::WriteAll(dir.file("r/c.doc"), "a longer text than on the left");
    mkdir(dir.file("l/subdir").c_str(), 0755);
    for (const char* n : {"a.txt", "b.txt", "c.doc"}) {
        setTime(dir.file(std::string("l/") + n), 1700000000);
        setTime(dir.file(std::string("r/") + n), 1700000000);
    }
    setTime(dir.file("l/b.txt"), 1700000000 + 3600);
    frame->OnCommand(CmdRefresh);
    QTest::qWait(20);
    frame->panel(1)->listing().SelectAll(true);
    frame->OnCommand(CmdDirCompare);
    auto selected = [&](int side) {
        std::vector<std::string> names;
        for (const FileEntry& e : frame->panel(side)->listing().entries) {
            if (e.selected)
                names.push_back(e.name);
        }
        std::sort(names.begin(), names.end());
        return names;
    };
    EXPECT_EQ(selected(0), (std::vector<std::string>{"b.txt", "only-left.txt"}));
    EXPECT_EQ(selected(1), std::vector<std::string>{"only-right.txt"}) << "sizes are not compared";
    EXPECT_NE(frame->summaryLine(1)->text().toStdString().find("1 file"), std::string::npos);
}

TEST_F(CommandsTest, AttributesMenuOpensTheDialogForTheCursorFile) {
    EXPECT_TRUE(frame->menuAction(CmdFileAttributes)->isEnabled());
    int seen = 0;
    test::AnswerModal("FILEATTR", "Cancel", &seen);
    frame->panel(0)->MoveCursor(1);
    frame->OnCommand(CmdFileAttributes);
    QTest::qWait(50); // the command posts the panel message
    EXPECT_EQ(seen, 1);
}

TEST_F(CommandsTest, FileCompareOpensTheWindowForTheTwoSelectedFiles) {
    EXPECT_TRUE(frame->menuAction(CmdFileCompare)->isEnabled());
    frame->panel(0)->listing().SelectFileByName("a.txt");
    frame->panel(1)->listing().SelectFileByName("b.txt");
    int seen = 0;
    test::AnswerModal("FILECOMP", "", &seen);
    frame->OnCommand(CmdFileCompare);
    EXPECT_EQ(seen, 1);
    test::AnswerModal("FILECOMPSETTINGS", "Cancel", &seen);
    frame->OnCommand(CmdFileCompareSettings);
    EXPECT_EQ(seen, 2);
}

TEST_F(CommandsTest, PrintSettingsAreStoredAndPrintingWithoutAPrinterSaysSo) {
    test::WithModal("PRINTSETTINGS", [](QDialog* d) {
        d->findChild<QRadioButton*>("radio1323")->setChecked(true);
        d->findChild<QCheckBox*>("check1820")->setChecked(true);
        d->findChild<QLineEdit*>("edit1810")->setText("8");
        d->findChild<QPushButton*>("ok")->click();
    });
    frame->OnCommand(CmdPrintSettings);
    EXPECT_EQ(store->GetInt("Algemeen", "bA4", -1), 2);
    EXPECT_EQ(store->GetInt("Algemeen", "Regelnummers", 0), 1);
    EXPECT_EQ(store->GetInt("Algemeen", "PerTab", 0), 8);
    if (!QPrinterInfo::defaultPrinter().isNull())
        GTEST_SKIP() << "a real printer is installed; nothing is sent to it from tests";
    int boxes = 0;
    test::AnswerModal("MESSAGEBOX", "OK", &boxes);
    frame->panel(0)->MoveCursor(1);
    frame->OnCommand(CmdPrint);
    EXPECT_EQ(boxes, 1);
}

TEST_F(CommandsTest, SystemDialogsOpenAndTheirTextsFollowTheirRules) {
    int seen = 0;
    test::AnswerModal("THISCOMPUTER", "OK", &seen);
    frame->OnCommand(CmdAboutComputer);
    test::AnswerModal("EXITWIN", "Cancel", &seen);
    frame->OnCommand(CmdExitWindows);
    test::AnswerModal("DISKSTATION", "Cancel", &seen);
    frame->OnCommand(CmdDiskProperties);
    test::AnswerModal("ABOUTDLG", "OK", &seen);
    frame->OnCommand(CmdAboutKestrum);
    EXPECT_EQ(seen, 4);
    EXPECT_EQ(ScreenText(1024, 768, 16), "1024x768, 64K colors");
    EXPECT_EQ(PrinterText("Laser", "LPT1:"), "Laser on LPT1:");
    EXPECT_EQ(PrinterText("Laser", ""), "Laser");
}

TEST_F(CommandsTest, ZipCommandAsksForThePathMode) {
    frame->panel(0)->MoveCursor(1);
    int seen = 0;
    test::AnswerModal("ZIPTO", "Cancel", &seen);
    frame->OnCommand(CmdZip);
    EXPECT_EQ(seen, 1);
}
