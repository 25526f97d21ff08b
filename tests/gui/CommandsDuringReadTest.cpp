// Commands given while the panel reads another directory act on the rows on
// show and the directory they came from, never on the directory being read:
// a FUSE share whose listing blocks holds files of the same names. While it
// lists, the kernel holds every other lookup in that directory too, so the
// share is only looked at once it is released (and is released after a while
// in any case, so that a command that wrongly goes there fails, not hangs).
#include "mainwindow/MainFrame.h"

#include "panels/DropList.h"
#include "panels/FilePanel.h"
#include "resources/CommandIds.h"
#include "settings/SettingsStore.h"
#include "support/BlockingFileSystem.h"
#include "support/DialogAnswerer.h"
#include "support/TempDir.h"
#include "ui_services/AppState.h"
#include "ui_services/StatusLine.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

#include <condition_variable>
#include <cstdio>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>

using namespace km;

namespace {

const std::vector<std::string> kNames = {"victim.txt", "trash.txt", "copy.txt", "move.txt",
                                         "attr.txt",   "zipme.txt", "drag.txt"};

bool exists(const std::string& p) {
    struct stat st;
    return lstat(p.c_str(), &st) == 0;
}

class CommandsDuringReadTest : public ::testing::Test {
protected:
    void SetUp() override {
        mkdir(dir.file("files").c_str(), 0755);
        mkdir(dir.file("files/sub").c_str(), 0755);
        mkdir(dir.file("other").c_str(), 0755);
        for (const std::string& n : kNames)
            test::WriteAll(dir.file("files/" + n), n);
        if (const std::string why = test::BlockingFileSystem::Unusable(); !why.empty())
            GTEST_SKIP() << why;
        fs = std::make_unique<test::BlockingFileSystem>(dir.file("mnt"), dir.file("release"), kNames);
        ASSERT_TRUE(fs->mounted()) << "blocking_fs.py did not mount";
        safety = std::thread([this] {
            std::unique_lock lock(mutex);
            if (!done.wait_for(lock, std::chrono::seconds(20), [this] { return released; }))
                test::WriteAll(dir.file("release"), "");
        });
        store = std::make_unique<SettingsStore>(dir.file("KM.reg"));
        App().store = store.get();
        store->PutString("Paden", "Links", dir.file("files"));
        store->PutString("Paden", "Rechts", dir.file("other"));
        frame = std::make_unique<MainFrame>();
        frame->showWithPlacement();
        QTest::qWait(20);
        p = frame->panel(0);
        p->setFocus();
        ASSERT_TRUE(p->ChangeDirectory(slow()));
        ASSERT_TRUE(p->reading());
    }
    void TearDown() override {
        release();
        if (safety.joinable())
            safety.join();
        frame.reset();
        App().store = nullptr;
        fs.reset();
    }
    // Lets the share's listing end.
    void release() {
        test::WriteAll(dir.file("release"), "");
        std::lock_guard lock(mutex);
        released = true;
        done.notify_all();
    }
    std::string slow() const { return dir.file("mnt/slow"); }
    std::string shown(const std::string& name) const { return dir.file("files/" + name); }
    std::string remote(const std::string& name) const { return dir.file("mnt/slow/" + name); }
    // After a modal dialog the offscreen platform leaves no window active,
    // and the keys are the main window's shortcuts.
    void reactivate() {
        frame->activateWindow();
        (void)QTest::qWaitForWindowActive(frame.get());
        p->setFocus();
    }
    void cursorOn(const std::string& name) {
        reactivate();
        const auto& rows = p->listing().entries;
        for (size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].name == name) {
                p->MoveCursor(static_cast<int>(i));
                p->setFocus();
                return;
            }
        }
        ADD_FAILURE() << name << " is not on show";
    }
    void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        reactivate();
        QTest::keyClick(p, k, mods);
        QTest::qWait(50);
    }
    // Answers the next message box with Yes, keeping its text.
    void answerYes(QString* text, const std::function<void()>& meanwhile = {}) {
        test::WithModal(QStringLiteral("MESSAGEBOX"), [=](QDialog* d) {
            *text = static_cast<QMessageBox*>(d)->text();
            if (meanwhile)
                meanwhile();
            for (auto* b : d->findChildren<QAbstractButton*>()) {
                if (b->text().remove('&') == "Yes") {
                    b->click();
                    return;
                }
            }
            d->reject();
        });
    }

    test::TempDir dir;
    std::unique_ptr<test::BlockingFileSystem> fs;
    std::mutex mutex;
    std::condition_variable done;
    bool released = false;
    std::thread safety;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<MainFrame> frame;
    FilePanel* p = nullptr;
};

} // namespace

TEST_F(CommandsDuringReadTest, EveryCommandActsOnTheRowsOnShow) {
    // The path line names the directory whose rows are shown.
    EXPECT_EQ(p->listing().path, dir.file("files"));
    EXPECT_TRUE(frame->pathLine(0)->text().contains(QString::fromStdString(dir.file("files/"))))
        << frame->pathLine(0)->text().toStdString();

    // Shift+Del, asked first.
    store->PutInt("Algemeen", "BevestigingDelFiles", 1);
    cursorOn("victim.txt");
    QString question;
    answerYes(&question);
    key(Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_TRUE(question.contains(QString::fromStdString(shown("victim.txt")))) << question.toStdString();
    EXPECT_FALSE(exists(shown("victim.txt")));

    // Del to the trash, not asked.
    store->PutInt("Algemeen", "BevestigingDelFiles", 0);
    cursorOn("trash.txt");
    key(Qt::Key_Delete);
    EXPECT_FALSE(exists(shown("trash.txt")));

    // F5 and F6 take the shown files to the other panel.
    cursorOn("copy.txt");
    test::AnswerModal("COPY", "Copy");
    key(Qt::Key_F5);
    EXPECT_EQ(test::ReadAll(dir.file("other/copy.txt")), "copy.txt");
    cursorOn("move.txt");
    test::AnswerModal("RENMOVE", "Rename/move");
    key(Qt::Key_F6);
    EXPECT_EQ(test::ReadAll(dir.file("other/move.txt")), "move.txt");
    EXPECT_FALSE(exists(shown("move.txt")));

    // F7 makes the directory where the rows are.
    test::WithModal("NEWDIR", [](QDialog* d) {
        d->findChild<QLineEdit*>()->setText("made");
        d->accept();
    });
    key(Qt::Key_F7);
    EXPECT_TRUE(exists(shown("made")));

    // The attribute dialog is about the shown file.
    cursorOn("attr.txt");
    QString about;
    test::WithModal("FILEATTR", [&about](QDialog* d) {
        for (auto* l : d->findChildren<QLabel*>())
            about += l->text() + '\n';
        d->reject();
    });
    frame->OnCommand(CmdFileAttributes);
    QTest::qWait(100);
    EXPECT_TRUE(about.contains(QString::fromStdString(shown("attr.txt")))) << about.toStdString();

    // Zip packs the shown file.
    cursorOn("zipme.txt");
    test::AnswerModal("ZIPTO", "OK");
    const std::string archive = dir.file("other/z.zip");
    test::WithModal("ZIP", [archive](QDialog* d) {
        d->findChild<QLineEdit*>()->setText(QString::fromStdString(archive));
        d->accept();
    });
    frame->OnCommand(CmdZip);
    QTest::qWait(100);
    std::string listed;
    if (FILE* f = popen(("unzip -p '" + archive + "' zipme.txt").c_str(), "r")) {
        char buf[64];
        while (const size_t n = fread(buf, 1, sizeof buf, f))
            listed.append(buf, n);
        pclose(f);
    }
    EXPECT_EQ(listed, "zipme.txt");

    // A drag (and printing, which lists the same way) carries the shown paths.
    cursorOn("drag.txt");
    p->listing().SelectFileByName("drag.txt");
    EXPECT_EQ(BuildDropList(p->listing()).paths, std::vector<std::string>{shown("drag.txt")});

    // Enter goes into the shown directory, giving up the read.
    cursorOn("sub");
    key(Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(p->listing().path, dir.file("files/sub"), 3000);
    EXPECT_TRUE(frame->pathLine(0)->text().contains(QString::fromStdString(dir.file("files/sub/"))));

    // Nothing on the share was touched.
    release();
    for (const std::string& n : kNames)
        EXPECT_TRUE(exists(remote(n))) << n;
}

TEST_F(CommandsDuringReadTest, RowsArrivingWhileTheQuestionIsOpenChangeNothing) {
    store->PutInt("Algemeen", "BevestigingDelFiles", 1);
    cursorOn("victim.txt");
    QString question;
    answerYes(&question, [this] {
        // The share answers now: its rows replace the ones the question is about.
        release();
        QTRY_COMPARE_WITH_TIMEOUT(p->listing().path, slow(), 5000);
    });
    key(Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_TRUE(question.contains(QString::fromStdString(shown("victim.txt"))));
    EXPECT_FALSE(exists(shown("victim.txt")));
    EXPECT_TRUE(exists(remote("victim.txt")));
    // Once the new rows are there, the cursor and the path line are theirs.
    EXPECT_EQ(p->listing().path, slow());
    EXPECT_TRUE(frame->pathLine(0)->text().contains(QString::fromStdString(slow() + "/")));
}
