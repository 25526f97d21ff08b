// The application buttons and the command prompt in the real main window.
#include "support/DialogAnswerer.h"
#include "mainwindow/AppButtonBar.h"
#include "mainwindow/CommandPrompt.h"
#include "mainwindow/MainFrame.h"
#include "panels/FilePanel.h"
#include "resources/CommandIds.h"
#include "settings/SettingsStore.h"
#include "support/TempDir.h"
#include "support/TerminalStandIn.h"
#include "ui_services/AppState.h"
#include "ui_services/ReadableColor.h"
#include "panels/PanelDelegate.h"

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <thread>

using namespace km;

namespace {

class AppButtonsPromptTest : public ::testing::Test {
protected:
    void SetUp() override {
        mkdir(dir.file("l").c_str(), 0755);
        mkdir(dir.file("r").c_str(), 0755);
        mkdir(dir.file("r/sub").c_str(), 0755);
        test::WriteAll(dir.file("l/first file.txt"), "x");
        recorder = dir.file("rec.sh");
        test::WriteAll(recorder, "#!/bin/sh\nout=\"$1\"; shift\n"
                                 "printf '%s\\0' \"$(pwd -P)\" \"$@\" > \"$out.tmp\" && mv \"$out.tmp\" \"$out\"\n");
        chmod(recorder.c_str(), 0755);
        store = std::make_unique<SettingsStore>(dir.file("KM.reg"));
        store->PutString("Paden", "Links", dir.file("l"));
        store->PutString("Paden", "Rechts", dir.file("r"));
        App().store = store.get();
    }
    void TearDown() override {
        frame.reset();
        App().store = nullptr;
    }
    void start() {
        frame = std::make_unique<MainFrame>();
        frame->show();
        QTest::qWait(20);
        frame->activePanel()->setFocus();
    }
    // The recorder's output: working directory, then the arguments.
    std::vector<std::string> waitForRecord(const std::string& out) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        struct stat st;
        while (stat(out.c_str(), &st) != 0 && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const std::string text = test::ReadAll(out);
        std::vector<std::string> fields;
        size_t start = 0;
        for (size_t nul; (nul = text.find('\0', start)) != std::string::npos; start = nul + 1)
            fields.push_back(text.substr(start, nul - start));
        return fields;
    }
    void typeCommand(const std::string& text) {
        QComboBox* edit = frame->commandPrompt()->edit();
        edit->setEditText(QString::fromStdString(text));
        // The combo box is the focus widget; it hands keys to its line edit
        // without the line edit's event filters seeing them.
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::qWait(10);
    }
    test::TempDir dir;
    // The recording scripts are console programs: they start in this terminal.
    test::TerminalStandIn terminal;
    std::string recorder;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<MainFrame> frame;
};

TEST_F(AppButtonsPromptTest, FirstRunWritesTheExamplesAndTheRowsFollowTheSwitches) {
    start();
    EXPECT_EQ(frame->appButtons()->button(1)->caption(), "Notepad");
    EXPECT_EQ(frame->appButtons()->button(2)->caption(), "Solitaire");
    EXPECT_EQ(frame->appButtons()->button(3)->caption(), "Prompt");
    EXPECT_EQ(frame->appButtons()->button(4)->caption(), "");
    EXPECT_EQ(store->GetString("Knop1", "Parms", ""), "&as");
    EXPECT_EQ(frame->appButtons()->button(1)->toolTip(), "Application button: right click to define");
    EXPECT_TRUE(frame->appButtons()->button(10)->isVisible());
    EXPECT_FALSE(frame->appButtons()->button(11)->isVisible());
    EXPECT_EQ(frame->appButtons()->button(1)->geometry(), frame->currentLayout().appButtons[0]);
    frame.reset();

    store->PutString("Knop1", "Naam", "Mine");
    store->PutInt("Algemeen", "SecondRow", 1);
    start();
    EXPECT_EQ(frame->appButtons()->button(1)->caption(), "Mine");
    EXPECT_EQ(frame->appButtons()->button(2)->caption(), "Solitaire") << "the examples are written once";
    EXPECT_TRUE(frame->appButtons()->button(20)->isVisible());
    frame.reset();

    store->PutInt("Algemeen", "ApplButtons", 0);
    store->PutInt("Algemeen", "CmdPrompt", 0);
    start();
    EXPECT_FALSE(frame->appButtons()->button(1)->isVisible());
    EXPECT_FALSE(frame->appButtons()->button(20)->isVisible());
    EXPECT_FALSE(frame->commandPrompt()->edit()->isVisible());
}

TEST_F(AppButtonsPromptTest, RightClickDefinesAButtonAndAClickRunsIt) {
    start();
    const std::string out = dir.file("out");
    int seen = 0;
    test::WithModal("BUTTONPARMS", [&](QDialog* d) {
        ++seen;
        EXPECT_EQ(d->windowTitle(), "KM - Button configuration");
        d->findChild<QLineEdit*>("edit1000")->setText("Record");
        d->findChild<QLineEdit*>("edit1010")->setText(QString::fromStdString(recorder));
        d->findChild<QLineEdit*>("edit1020")->setText(QString::fromStdString(out) + " &as &bp");
        d->findChild<QLineEdit*>("edit1030")->setText("&bp");
        d->findChild<QRadioButton*>("radio2161")->setChecked(true);
        d->findChild<QPushButton*>("ok")->click();
    });
    AppButton* b = frame->appButtons()->button(5);
    QTest::mouseClick(b, Qt::RightButton);
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(b->caption(), "Record");
    EXPECT_EQ(store->GetString("Knop5", "Programma", ""), recorder);
    EXPECT_EQ(store->GetInt("Knop5", "Window", 0), 1);

    // The first selected file of the active panel and the other panel's directory.
    FilePanel* left = frame->panel(0);
    left->listing().SelectAll(true);
    QTest::mouseClick(b, Qt::LeftButton);
    const auto fields = waitForRecord(out);
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_EQ(fields[0], dir.file("r"));
    EXPECT_EQ(fields[1], dir.file("l/first file.txt"));
    EXPECT_EQ(fields[2], dir.file("r"));

    // Cancel leaves the definition alone.
    test::AnswerModal("BUTTONPARMS", "Cancel");
    QTest::mouseClick(b, Qt::RightButton);
    EXPECT_EQ(store->GetString("Knop5", "Naam", ""), "Record");
}

TEST_F(AppButtonsPromptTest, TitleAndDirectoryButtonMovesTheActivePanel) {
    store->PutString("Knop6", "Naam", "Sub");
    store->PutString("Knop6", "WerkDir", dir.file("r/sub"));
    store->PutString("Knop7", "Naam", "Nowhere");
    start();
    QTest::mouseClick(frame->appButtons()->button(6), Qt::LeftButton);
    QTest::qWait(20);
    EXPECT_EQ(frame->activePanel(), frame->panel(0));
    EXPECT_EQ(frame->panel(0)->listing().path, dir.file("r/sub"));
    EXPECT_EQ(frame->pathLine(0)->text().toStdString().find(dir.file("r/sub")), 0u);

    // Neither program nor directory: "Cannot execute program", nothing moves.
    int boxes = 0;
    test::AnswerModal("MESSAGEBOX", "OK", &boxes);
    QTest::mouseClick(frame->appButtons()->button(7), Qt::LeftButton);
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(frame->panel(0)->listing().path, dir.file("r/sub"));
}

TEST_F(AppButtonsPromptTest, PromptRunsCommandsAndKeepsTheirHistory) {
    store->PutString("Algemeen", "Commando1", "older");
    start();
    CommandPrompt* prompt = frame->commandPrompt();
    EXPECT_EQ(prompt->edit()->currentText(), "older");
    EXPECT_EQ(prompt->edit()->count(), 10);
    EXPECT_EQ(prompt->promptLabel()->text().toStdString(), dir.file("l") + ">");
    QTest::keyClick(frame->activePanel(), Qt::Key_Tab);
    QTest::qWait(10);
    EXPECT_EQ(prompt->promptLabel()->text().toStdString(), dir.file("r") + ">");

    const std::string out = dir.file("out");
    typeCommand(recorder + " " + out + " \"a b\" c");
    const auto fields = waitForRecord(out);
    EXPECT_EQ(fields, (std::vector<std::string>{dir.file("r"), "a b", "c"})) << "runs in the active directory";
    EXPECT_EQ(store->GetString("Algemeen", "Commando1", ""), recorder + " " + out + " \"a b\" c");
    EXPECT_EQ(store->GetString("Algemeen", "Commando2", ""), "older");
    EXPECT_EQ(prompt->edit()->itemText(0).toStdString(), recorder + " " + out + " \"a b\" c");

    // A command that cannot start is reported, with why, and not remembered.
    QString shown;
    test::WithModal("MESSAGEBOX", [&](QDialog* box) {
        shown = static_cast<QMessageBox*>(box)->text();
        box->reject();
    });
    typeCommand("no-such-command-km --flag");
    EXPECT_EQ(shown, "Cannot execute program\nno-such-command-km: No such file or directory");
    EXPECT_EQ(store->GetString("Algemeen", "Commando1", ""), recorder + " " + out + " \"a b\" c");
    EXPECT_EQ(store->GetString("Algemeen", "Commando3", "?"), "");
}

TEST_F(AppButtonsPromptTest, CtrlPTogglesTheFocusBetweenPanelAndPrompt) {
    start();
    frame->activateWindow();
    (void)QTest::qWaitForWindowActive(frame.get());
    frame->activePanel()->setFocus();
    frame->OnCommand(CmdFocusPrompt);
    EXPECT_TRUE(frame->commandPrompt()->edit()->hasFocus() ||
                frame->commandPrompt()->edit()->lineEdit()->hasFocus());
    frame->OnCommand(CmdFocusPrompt);
    EXPECT_TRUE(frame->activePanel()->hasFocus());
}

} // namespace

namespace {

TEST_F(AppButtonsPromptTest, TheActivePanelShowsItsCursorWhileTheFocusIsElsewhere) {
    start();
    frame->activateWindow();
    (void)QTest::qWaitForWindowActive(frame.get());
    FilePanel* active = frame->activePanel();
    active->MoveCursor(1);
    const auto cursorShown = [&] {
        QTest::qWait(20);
        const QRect row = active->visualRect(active->model()->index(1, 0));
        const QImage shot = active->viewport()->grab().toImage();
        return shot.pixelColor(row.left() + 1, row.center().y()) == FilePanel::cursorColor();
    };
    EXPECT_TRUE(cursorShown());
    frame->OnCommand(CmdFocusPrompt);
    ASSERT_FALSE(active->hasFocus());
    EXPECT_TRUE(cursorShown()) << "F8 still acts on it, so it stays in sight";
    EXPECT_GE(ContrastRatio(FilePanel::cursorColor(), ColorFromRef(App().colors.ref[ColFileBg])), kReadableContrast);
    // The other panel shows none.
    FilePanel* other = frame->panel(frame->panel(0) == active ? 1 : 0);
    const QRect row = other->visualRect(other->model()->index(0, 0));
    EXPECT_NE(other->viewport()->grab().toImage().pixelColor(row.left() + 1, row.center().y()), FilePanel::cursorColor());

    // After a small panel button the keys go to the list again.
    QPushButton* all = frame->findChild<QPushButton*>(frame->panel(0) == active ? "leftAll" : "rightAll");
    ASSERT_NE(all, nullptr);
    all->click();
    EXPECT_TRUE(active->hasFocus());
}

} // namespace
