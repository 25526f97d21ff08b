#include "mainwindow/MainFrame.h"

#include "support/AsNobody.h"
#include "support/DialogAnswerer.h"
#include "panels/DriveBar.h"
#include "panels/FilePanel.h"
#include "settings/SettingsStore.h"
#include "support/TempDir.h"
#include "ui_services/AppState.h"

#include <QHeaderView>
#include <QLabel>
#include <QFontMetricsF>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace km;

namespace {

class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        mkdir(dir.file("left").c_str(), 0755);
        mkdir(dir.file("left/sub1").c_str(), 0755);
        mkdir(dir.file("left/sub2").c_str(), 0755);
        mkdir(dir.file("right").c_str(), 0755);
        test::WriteAll(dir.file("left/b.txt"), "12345");
        test::WriteAll(dir.file("left/a.doc"), "1");
        test::WriteAll(dir.file("right/z"), "");
        test::WriteAll(dir.file("right/y.c"), "");
        store = std::make_unique<SettingsStore>(dir.file("KM.reg"));
        store->PutString("Paden", "Links", dir.file("left"));
        store->PutString("Paden", "Rechts", dir.file("right/gone/away"));
        store->PutInt("Paden", "RSort", SortByExtension);
        App().store = store.get();
    }
    void TearDown() override {
        frame.reset();
        App().store = nullptr;
    }
    void start() {
        frame = std::make_unique<MainFrame>();
        frame->showWithPlacement();
        QTest::qWait(20);
    }
    std::vector<std::string> names(int side) const {
        std::vector<std::string> out;
        for (const auto& e : frame->panel(side)->listing().entries)
            out.push_back(e.name);
        return out;
    }

    test::TempDir dir;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<MainFrame> frame;
};

} // namespace

TEST_F(MainFrameTest, StartsWithStoredDirectoriesSortedAndFallsBackToNearestParent) {
    start();
    EXPECT_EQ(frame->windowTitle(), "Kestrum");
    EXPECT_EQ(frame->panel(0)->listing().path, dir.file("left"));
    EXPECT_EQ(names(0), (std::vector<std::string>{"..", "sub1", "sub2", "a.doc", "b.txt"}));
    EXPECT_EQ(frame->panel(1)->listing().path, dir.file("right"));
    EXPECT_EQ(names(1), (std::vector<std::string>{"..", "z", "y.c"})); // by extension
    EXPECT_TRUE(frame->pathLine(0)->text().startsWith(QString::fromStdString(dir.file("left") + "/*.*")));
    EXPECT_TRUE(frame->summaryLine(0)->text().startsWith("No file selected"));
    EXPECT_TRUE(frame->leftActive());
    // The drive information line reports the volume's sizes.
    EXPECT_TRUE(frame->infoLine(0)->text().contains(" total, "));
    // At the default size it reads whole, in the short form if need be.
    const QString shown = frame->infoLine(0)->shownText();
    EXPECT_TRUE(shown.endsWith(" available")) << shown.toStdString();
}

TEST_F(MainFrameTest, LayoutFollowsTheClientSizeAndButtonRows) {
    start();
    frame->resize(800, 600);
    QTest::qWait(20);
    // The client area stands for a window with a frame 8 pixels across and 46 down.
    const QWidget* client = frame->centralWidget();
    const int W = client->width() + 8, H = client->height() + 46;
    const QRect list = frame->panel(0)->geometry();
    EXPECT_EQ(list.left(), 6);
    EXPECT_EQ(list.top(), 102);
    EXPECT_EQ(list.right() + 1, (W - 40) / 2);
    EXPECT_EQ(list.bottom() + 1, H - 149);
    EXPECT_EQ(frame->panel(1)->geometry().left(), W / 2 + 4);
    EXPECT_EQ(frame->panel(1)->geometry().right() + 1, W - 22);
    // What is below the function keys is a margin, not a band the lists lose.
    EXPECT_LE(client->height() - frame->currentLayout().functionKeys[0].bottom(), 16);
    const int listHeight = list.height();
    frame->resize(800, 700);
    QTest::qWait(20);
    EXPECT_EQ(frame->panel(0)->geometry().height(), listHeight + 100) << "the lists take the extra height";

    store->PutInt("Algemeen", "ApplButtons", 0);
    frame->resize(801, 600);
    QTest::qWait(20);
    EXPECT_EQ(frame->panel(0)->geometry().top(), 102 - 35);
    store->PutInt("Algemeen", "ApplButtons", 1);
    store->PutInt("Algemeen", "SecondRow", 1);
    store->PutInt("Algemeen", "CmdPrompt", 0);
    frame->resize(800, 600);
    QTest::qWait(20);
    EXPECT_EQ(frame->panel(0)->geometry().top(), 102 + 26);
    EXPECT_EQ(frame->panel(0)->geometry().bottom() + 1, client->height() + 46 + 30 - 149);
}

TEST_F(MainFrameTest, TooSmallWindowSnapsBackToMinimum) {
    start();
    frame->resize(300, 200);
    QTest::qWait(20);
    EXPECT_GE(frame->frameGeometry().width(), 640);
    EXPECT_GE(frame->frameGeometry().height(), 400);
}

TEST_F(MainFrameTest, EnterDirectoryAndReturnRestoresCursor) {
    start();
    FilePanel* p = frame->panel(0);
    p->setFocus();
    p->MoveCursor(2); // sub2
    QTest::keyClick(p, Qt::Key_Return);
    // The path changes with the rows, which a busy machine may take a while to read.
    QTRY_COMPARE_WITH_TIMEOUT(p->listing().path, dir.file("left/sub2"), 5000);
    EXPECT_EQ(p->listing().cursor(), 0);
    QTest::keyClick(p, Qt::Key_Return); // ".."
    QTRY_COMPARE_WITH_TIMEOUT(p->listing().path, dir.file("left"), 5000);
    EXPECT_EQ(p->listing().cursor(), 2);
}

TEST_F(MainFrameTest, KeysMoveAndSelect) {
    start();
    FilePanel* p = frame->panel(0);
    p->setFocus();
    QTest::keyClick(p, Qt::Key_End);
    EXPECT_EQ(p->listing().cursor(), 4);
    QTest::keyClick(p, Qt::Key_Home);
    QTest::keyClick(p, Qt::Key_Down);
    QTest::keyClick(p, Qt::Key_Down);
    QTest::keyClick(p, Qt::Key_Down);
    EXPECT_EQ(p->listing().cursor(), 3);
    QTest::keyClick(p, Qt::Key_Insert); // a.doc selected, cursor to b.txt
    QTest::keyClick(p, Qt::Key_Space);  // b.txt selected
    EXPECT_EQ(p->listing().cursor(), 4);
    EXPECT_EQ(p->listing().selectedFiles, 2);
    EXPECT_TRUE(frame->summaryLine(0)->text().startsWith("2 files, 6 bytes selected"));
    QTest::keyClick(p, Qt::Key_Space);
    EXPECT_EQ(p->listing().selectedFiles, 1);
    QTest::keyClick(p, Qt::Key_Up);
    EXPECT_EQ(p->listing().selectedFiles, 1); // moving never changes the selection
}

TEST_F(MainFrameTest, PanelMessagesSortSelectAndRefresh) {
    start();
    FilePanel* p = frame->panel(0);
    PostPanelMessage(p, PmSortName);
    QTest::qWait(10);
    EXPECT_EQ(p->listing().sortFlags, SortByName | SortDescending);
    EXPECT_EQ(names(0), (std::vector<std::string>{"..", "sub2", "sub1", "b.txt", "a.doc"}));
    PostPanelMessage(p, PmSortSize);
    QTest::qWait(10);
    EXPECT_EQ(names(0)[3], "a.doc");
    EXPECT_EQ(p->listing().sortColumn, 0); // the arrow stays where it was

    PostPanelMessage(p, PmSortColumn, 2, 0);
    QTest::qWait(10);
    EXPECT_EQ(p->listing().sortFlags, SortByDate);
    EXPECT_EQ(p->listing().sortColumn, 2);
    int asked = 0;
    test::AnswerModal("SORTFILES", "extension", &asked);
    PostPanelMessage(p, PmSortColumn, 0, 0);
    QTest::qWait(100);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(p->listing().sortFlags, SortByExtension);

    PostPanelMessage(p, PmInvertSelection);
    QTest::qWait(10);
    EXPECT_EQ(p->listing().selectedFiles, 2);
    EXPECT_EQ(p->listing().selectedDirs, 2);

    // A new file appears; a change-on-disk re-read keeps the selection...
    test::WriteAll(dir.file("left/c.txt"), "");
    PostPanelMessage(frame.get(), PmLeftChangedOnDisk);
    QTest::qWait(10);
    EXPECT_EQ(p->listing().rowCount(), 6);
    EXPECT_EQ(p->listing().selectedFiles, 2);
    // ...and refreshing both with the right panel's number activates it.
    PostPanelMessage(frame.get(), PmRefreshBoth, FilePanel::kRightId);
    QTest::qWait(10);
    EXPECT_FALSE(frame->leftActive());

    std::string buf;
    SendPanelMessage(frame.get(), PmActivePath, 0, reinterpret_cast<qintptr>(&buf));
    EXPECT_EQ(buf, dir.file("right"));
    SendPanelMessage(frame.get(), PmOtherSelectedFile, 0, reinterpret_cast<qintptr>(&buf));
    EXPECT_NE(buf.find("/left/"), std::string::npos);
}

TEST_F(MainFrameTest, ShiftKeysExtendSelectionThroughMessages) {
    start();
    FilePanel* p = frame->panel(0);
    p->setFocus();
    p->MoveCursor(1);
    QTest::keyClick(p, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(p, Qt::Key_Down, Qt::ShiftModifier);
    QTest::qWait(10);
    EXPECT_EQ(p->listing().cursor(), 3);
    EXPECT_EQ(p->listing().selectedDirs, 2);
    EXPECT_EQ(p->listing().selectedFiles, 1);
}

TEST_F(MainFrameTest, TheNameColumnTakesTheFreeWidthAndColumnsFollowTheFont) {
    start();
    frame->resize(1200, 700);
    QTest::qWait(20);
    FilePanel* p = frame->panel(0);
    EXPECT_EQ(p->columnWidth(0), p->viewport()->width() - 64 - 118) << "long names are not cut in a wide panel";
    EXPECT_EQ(p->storedColumnWidth(0), 90) << "what the user set stays what is stored";
    EXPECT_EQ(p->columnWidth(1), 64);
    QFont bigger = p->font();
    bigger.setPointSizeF(bigger.pointSizeF() * 2);
    const double ratio = QFontMetricsF(bigger).averageCharWidth() / QFontMetricsF(p->font()).averageCharWidth();
    p->ApplyFont(bigger, 30);
    EXPECT_NEAR(p->columnWidth(1), 64 * ratio, 1.0) << "sizes keep room for their digits";
    EXPECT_NEAR(p->columnWidth(2), 118 * ratio, 1.0);
    EXPECT_EQ(p->columnWidth(0), std::max(p->storedColumnWidth(0), p->viewport()->width() - p->columnWidth(1) - p->columnWidth(2)));
}

TEST_F(MainFrameTest, ClosingSavesPlacementColumnsAndClearsFoundFiles) {
    store->PutInt("GevondenBestanden", "Aantal", 3);
    store->PutInt("WinPositie", "wp.left", 10);
    store->PutInt("WinPositie", "wp.top", 20);
    store->PutInt("WinPositie", "wp.right", 810);
    store->PutInt("WinPositie", "wp.bottom", 620);
    start();
    EXPECT_EQ(frame->frameGeometry().topLeft(), QPoint(10, 20));
    EXPECT_EQ(frame->frameGeometry().width(), 800);
    frame->panel(0)->setColumnWidth(0, 150);
    frame->close();
    frame.reset();
    store.reset();
    SettingsStore reread(dir.file("KM.reg"));
    EXPECT_EQ(reread.GetInt("GevondenBestanden", "Aantal", -5), 0);
    EXPECT_EQ(reread.GetInt("WinPositie", "wp.left", -1), 10);
    EXPECT_EQ(reread.GetInt("WinPositie", "wp.top", -1), 20);
    EXPECT_EQ(reread.GetInt("WinPositie", "wp.right", -1), 810);
    EXPECT_EQ(reread.GetInt("WinPositie", "wp.bottom", -1), 620);
    EXPECT_EQ(reread.GetInt("WinPositie", "wp.showCmd", -1), 1);
    EXPECT_EQ(reread.GetInt("WinPositie", "ColL", -1), 150);
    EXPECT_EQ(reread.GetInt("WinPositie", "ColR2", -1), 118);
    // Paths and the active side are saved only when asked.
    EXPECT_EQ(reread.GetString("Paden", "Rechts", ""), dir.file("right/gone/away"));
    EXPECT_EQ(reread.GetInt("WinPositie", "LeftActive", -1), -1);
}

TEST_F(MainFrameTest, SaveCurrentPathsAndRightActiveStart) {
    store->PutInt("WinPositie", "LeftActive", 0);
    start();
    EXPECT_FALSE(frame->leftActive());
    frame->SaveCurrentPaths();
    frame->SaveSortOrder();
    EXPECT_EQ(store->GetString("Paden", "Rechts", ""), dir.file("right"));
    EXPECT_EQ(store->GetInt("WinPositie", "LeftActive", -1), 0);
    EXPECT_EQ(store->GetInt("Paden", "RSort", -1), SortByExtension);
}

TEST_F(MainFrameTest, UnreadableDirectoryShowsErrorAndStays) {
    if (test::RerunAsNobody())
        return;
    mkdir(dir.file("left/locked").c_str(), 0);
    start();
    FilePanel* p = frame->panel(0);
    int seen = 0;
    test::AnswerModal("MESSAGEBOX", "OK", &seen);
    EXPECT_FALSE(p->ChangeDirectory(dir.file("left/locked")));
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(p->listing().path, dir.file("left"));
    chmod(dir.file("left/locked").c_str(), 0755);
}

TEST_F(MainFrameTest, InvalidUtf8NamesListAndEnterByTheirBytes) {
    const std::string odd = dir.file("left/caf\xe9-dir");
    mkdir(odd.c_str(), 0755);
    test::WriteAll(odd + "/inner", "");
    start();
    FilePanel* p = frame->panel(0);
    int row = -1;
    for (int i = 0; i < p->listing().rowCount(); ++i) {
        if (p->listing().entries[static_cast<size_t>(i)].name == "caf\xe9-dir")
            row = i;
    }
    ASSERT_GE(row, 0);
    const QString shown = p->model()->index(row, 0).data().toString();
    EXPECT_TRUE(shown.contains(QChar(0xFFFD))); // replacement character on screen
    p->setFocus();
    p->MoveCursor(row);
    QTest::keyClick(p, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(p->listing().path, odd, 5000);
    ASSERT_EQ(p->listing().rowCount(), 2);
    EXPECT_EQ(p->listing().entries[1].name, "inner");
}

TEST_F(MainFrameTest, VanishedDirectoryFallsBackWithTheErrorText) {
    mkdir(dir.file("left/sub1/inner").c_str(), 0755);
    start();
    FilePanel* p = frame->panel(0);
    ASSERT_TRUE(p->ChangeDirectory(dir.file("left/sub1/inner")));
    rmdir(dir.file("left/sub1/inner").c_str());
    int seen = 0;
    test::AnswerModal("MESSAGEBOX", "OK", &seen);
    PostPanelMessage(frame.get(), PmLeftChangedOnDisk);
    QTest::qWait(100);
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(p->listing().path, dir.file("left/sub1"));
}

TEST_F(MainFrameTest, ChangesByOtherProgramsAppearAndKeepTheSelection) {
    start();
    FilePanel* p = frame->panel(0);
    ASSERT_TRUE(p->listing().SelectFileByName("a.doc"));
    test::WriteAll(dir.file("left/appeared.txt"), "x");
    bool seen = false;
    for (int i = 0; i < 200 && !seen; ++i) {
        QTest::qWait(10);
        for (const auto& e : p->listing().entries)
            seen = seen || e.name == "appeared.txt";
    }
    EXPECT_TRUE(seen);
    EXPECT_EQ(p->listing().selectedFiles, 1);

    // While an operation runs the watcher leaves the panel alone.
    App().busyFlag = true;
    test::WriteAll(dir.file("left/during-copy.txt"), "x");
    QTest::qWait(400);
    App().busyFlag = false;
    for (const auto& e : p->listing().entries)
        EXPECT_NE(e.name, "during-copy.txt");
}

TEST_F(MainFrameTest, TitleClockFollowsTheSwitch) {
    store->PutInt("Algemeen", "DatumInTitel", 1);
    start();
    QTest::qWait(1200);
    EXPECT_TRUE(frame->windowTitle().startsWith("Kestrum    "));
    frame.reset();
    store->PutInt("Algemeen", "DatumInTitel", 0);
    start();
    QTest::qWait(1200);
    EXPECT_EQ(frame->windowTitle(), "Kestrum");
}
