// A panel on the FTP site of a real server on 127.0.0.1: listing, moving,
// copying both ways, deleting, making directories, viewing, refusals.
#include "support/DialogAnswerer.h"
#include "fileops/open_execute/ProcessLauncher.h"
#include "ftp/FtpConnection.h"
#include "ftp/FtpSiteBook.h"
#include "ftp/PyFtpServer.h"
#include "mainwindow/CommandPrompt.h"
#include "mainwindow/MainFrame.h"
#include "panels/CellText.h"
#include "panels/DriveBar.h"
#include "panels/FilePanel.h"
#include "resources/CommandIds.h"
#include "settings/SettingsStore.h"
#include "support/TempDir.h"
#include "support/TerminalStandIn.h"
#include "ui_services/AppState.h"
#include "viewers/TextEditorWindow.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <QPrinterInfo>
#include <QPlainTextEdit>
#include <QTest>
#include <gtest/gtest.h>
#include <filesystem>
#include <sys/stat.h>

using namespace km;

namespace {

class QuietUi : public FtpConnectUi {
public:
    void Warning(int) override {}
    void Error(std::string_view) override {}
    bool PanelShowsFtp() override { return false; }
    void RereadPanels(bool) override {}
};

class FtpPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        mkdir(root.file("sub").c_str(), 0755);
        test::WriteAll(root.file("remote.txt"), "remote text\n");
        test::WriteAll(root.file(".hidden"), "x");
        test::WriteAll(root.file("sub/deep.txt"), "deep");
        mkdir(local.file("l").c_str(), 0755);
        test::WriteAll(local.file("l/upload me.txt"), std::string(100000, 'u'));
        if (const std::string missing = test::PyFtpMissing(); !missing.empty())
            GTEST_SKIP() << missing;
        server = std::make_unique<test::PyFtpServer>(root.path(), "ann", "pw");
        ASSERT_NE(server->port(), 0) << server->startError();
        store = std::make_unique<SettingsStore>(local.file("KM.reg"));
        store->PutString("Paden", "Links", local.file("l"));
        store->PutString("Paden", "Rechts", local.file("l"));
        store->PutInt("FTP", "Port", server->port());
        store->PutInt("FTP", "Logging", 0);
        store->PutInt("FTP", "Confirm", 0);
        FtpSite site;
        site.address = "127.0.0.1";
        site.user = "ann";
        site.password = "pw";
        WriteFtpSite(*store, "here", site);
        App().store = store.get();
        frame = std::make_unique<MainFrame>();
        frame->show();
        QTest::qWait(20);
        QuietUi ui;
        ASSERT_EQ(ConnectFtpSite(*store, "here", local.path(), ui), 0);
        DriveBar* bar = frame->driveBar(1);
        bar->FillList();
        ASSERT_TRUE(bar->itemText(bar->count() - 1).startsWith("[FTP] here"));
        emit bar->activated(bar->count() - 1);
        QTest::qWait(50);
    }
    void TearDown() override {
        for (TextEditorWindow* w : TextEditorWindow::OpenWindows())
            w->close();
        frame.reset();
        ReleaseFtpAtExit();
        App().store = nullptr;
    }
    FilePanel* remote() const { return frame->panel(1); }
    int row(FilePanel* p, const std::string& name) const {
        const auto& rows = p->listing().entries;
        for (size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].name == name)
                return static_cast<int>(i);
        }
        return -1;
    }
    test::TempDir root, local;
    std::unique_ptr<test::PyFtpServer> server;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<MainFrame> frame;
};

TEST_F(FtpPanelTest, ListsTheSiteAndMovesBetweenItsDirectories) {
    PanelListing& li = remote()->listing();
    ASSERT_TRUE(li.isFtp());
    EXPECT_EQ(li.path, "/");
    EXPECT_EQ(li.entries.at(0).name, "..");
    ASSERT_GE(row(remote(), "sub"), 0);
    ASSERT_GE(row(remote(), "remote.txt"), 0);
    EXPECT_EQ(row(remote(), ".hidden"), -1) << "dot names are not shown";
    EXPECT_EQ(li.entries[static_cast<size_t>(row(remote(), "sub"))].size, 0u);
    EXPECT_EQ(li.entries[static_cast<size_t>(row(remote(), "remote.txt"))].size, 12u);
    EXPECT_EQ(frame->driveBar(1)->infoText(), PadLine("[FTP] here"));

    remote()->MoveCursor(row(remote(), "sub"));
    remote()->EnterFocused();
    EXPECT_EQ(li.path, "/sub");
    EXPECT_GE(row(remote(), "deep.txt"), 0);
    frame->OnCommand(CmdRightParent);
    EXPECT_EQ(li.path, "/");

    // A file cannot be opened where it is.
    int boxes = 0;
    test::AnswerModal("MESSAGEBOX", "OK", &boxes);
    remote()->MoveCursor(row(remote(), "remote.txt"));
    remote()->EnterFocused();
    EXPECT_EQ(boxes, 1);
}

TEST_F(FtpPanelTest, UploadDownloadWithOverwriteQuestionDeleteAndMakeDirectory) {
    // Upload from the left panel into the site's directory.
    FilePanel* left = frame->panel(0);
    frame->activateWindow();
    left->setFocus();
    QTest::qWait(20);
    left->MoveCursor(row(left, "upload me.txt"));
    test::AnswerModal("COPY", "Copy");
    SendPanelMessage(left, PmCopy);
    QTest::qWait(50);
    EXPECT_TRUE(test::ReadAll(root.file("upload me.txt")) == std::string(100000, 'u'));

    // Download onto an existing local file asks first.
    test::WriteAll(local.file("l/remote.txt"), "old");
    remote()->Refresh();
    remote()->MoveCursor(row(remote(), "remote.txt"));
    int asked = 0;
    test::AnswerModal("COPY", "Copy");
    test::AnswerModal("OVERWRITEZIP", "No", &asked);
    SendPanelMessage(remote(), PmCopy);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(test::ReadAll(local.file("l/remote.txt")), "old");
    test::AnswerModal("COPY", "Copy");
    test::AnswerModal("OVERWRITEZIP", "Yes", &asked);
    SendPanelMessage(remote(), PmCopy);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(test::ReadAll(local.file("l/remote.txt")), "remote text\n");

    // Directories do not travel.
    int boxes = 0;
    remote()->MoveCursor(row(remote(), "sub"));
    test::AnswerModal("COPY", "Copy");
    test::AnswerModal("MESSAGEBOX", "OK", &boxes);
    SendPanelMessage(remote(), PmCopy);
    EXPECT_EQ(boxes, 1);

    // Make a directory and delete a file on the server.
    test::WithModal("NEWDIR", [](QDialog* d) {
        d->findChild<QLineEdit*>("edit1250")->setText("made");
        d->accept();
    });
    SendPanelMessage(remote(), PmMakeDirectory);
    struct stat st;
    EXPECT_EQ(stat(root.file("made").c_str(), &st), 0);
    EXPECT_EQ(remote()->listing().entries[static_cast<size_t>(remote()->listing().cursor())].name, "made");

    remote()->MoveCursor(row(remote(), "upload me.txt"));
    test::AnswerModal("MESSAGEBOX", "Yes", &boxes);
    SendPanelMessage(remote(), PmDelete);
    EXPECT_EQ(boxes, 2);
    EXPECT_NE(stat(root.file("upload me.txt").c_str(), &st), 0);
}

TEST_F(FtpPanelTest, RenamesStayWhereTheyAreAndDropsDownload) {
    // A plain new name in a local panel renames there, FTP panel opposite or not.
    FilePanel* left = frame->panel(0);
    left->MoveCursor(row(left, "upload me.txt"));
    test::WithModal("RENMOVE", [](QDialog* d) {
        d->findChild<QLineEdit*>("edit1270")->setText("renamed.txt");
        d->accept();
    });
    SendPanelMessage(left, PmRenameMove);
    QTest::qWait(50);
    EXPECT_TRUE(std::filesystem::exists(local.file("l/renamed.txt")));
    EXPECT_FALSE(std::filesystem::exists(local.file("l/upload me.txt")));
    EXPECT_FALSE(std::filesystem::exists(root.file("renamed.txt"))) << "nothing uploaded";
    EXPECT_FALSE(std::filesystem::exists(root.file("upload me.txt")));

    // The context menu's Rename on the site renames on the server.
    QTimer::singleShot(50, [] {
        if (QMenu* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* a : menu->actions()) {
                if (a->text().remove('&').startsWith("Rename")) {
                    menu->setActiveAction(a);
                    QTest::keyClick(menu, Qt::Key_Return);
                    return;
                }
            }
        }
    });
    test::WithModal("RENAME", [](QDialog* d) {
        d->findChild<QLineEdit*>("edit1420")->setText("moved.txt");
        d->accept();
    });
    remote()->ContextClick(row(remote(), "remote.txt"), QPoint(10, 10));
    QTest::qWait(50);
    EXPECT_TRUE(std::filesystem::exists(root.file("moved.txt")));
    EXPECT_FALSE(std::filesystem::exists(root.file("remote.txt")));

    // Tab to the site's panel shows what the server has now.
    test::WriteAll(root.file("arrived.txt"), "new");
    frame->SwitchActivePanel();
    if (frame->activePanel() != remote())
        frame->SwitchActivePanel();
    EXPECT_GE(row(remote(), "arrived.txt"), 0);

    // Files dropped from the site are downloaded; what an interrupted
    // download left is offered for resuming.
    test::WriteAll(root.file("resume.txt"), "first part, second part");
    test::WriteAll(local.file("l/.km-resume.txt-partial"), "first part");
    remote()->Refresh();
    remote()->listing().SelectFilesByName({"resume.txt", "arrived.txt"});
    int resumes = 0;
    test::AnswerModal("FTPRESUME", "Resume", &resumes);
    ASSERT_TRUE(left->AcceptDrop(*remote(), -1));
    QTest::qWait(100);
    EXPECT_EQ(resumes, 1);
    EXPECT_EQ(test::ReadAll(local.file("l/resume.txt")), "first part, second part");
    EXPECT_EQ(test::ReadAll(local.file("l/arrived.txt")), "new");
    EXPECT_FALSE(std::filesystem::exists(local.file("l/.km-resume.txt-partial")));
}

TEST_F(FtpPanelTest, EnterOnARemoteArchiveFetchesItIntoTheBrowser) {
    ASSERT_EQ(RunAndWait({"zip", "-q", root.file("pack.zip"), "remote.txt"}, root.path()).exitStatus, 0);
    remote()->Refresh();
    remote()->MoveCursor(row(remote(), "pack.zip"));
    int seen = 0;
    test::AnswerModal("FILECONT", "Close", &seen);
    remote()->EnterFocused();
    EXPECT_EQ(seen, 1);
}

TEST_F(FtpPanelTest, ViewFetchesALocalCopyAndUnsuitableCommandsAreRefused) {
    remote()->MoveCursor(row(remote(), "remote.txt"));
    SendPanelMessage(remote(), PmViewFile);
    QTest::qWait(50);
    const auto windows = TextEditorWindow::OpenWindows();
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_TRUE(windows[0]->windowTitle().startsWith("KM Viewer - "));

    int boxes = 0;
    test::AnswerModal("MESSAGEBOX", "OK", &boxes);
    SendPanelMessage(remote(), PmFileSearch);
    EXPECT_EQ(boxes, 1);
    test::AnswerModal("MESSAGEBOX", "OK", &boxes);
    SendPanelMessage(remote(), PmPrintTree);
    EXPECT_EQ(boxes, 2) << "no tree of a site";
    if (QPrinterInfo::defaultPrinter().isNull()) {
        // The listing comes from the server; with no printer that is said.
        test::AnswerModal("MESSAGEBOX", "OK", &boxes);
        SendPanelMessage(remote(), PmPrintListing);
        EXPECT_EQ(boxes, 3);
    }

    // Disconnecting takes the panel back to where it was.
    QuietUi ui;
    DisconnectFtp(ui);
    remote()->listing().keepSelection = false;
    SendPanelMessage(frame.get(), PmRefreshOne, remote()->controlId());
    EXPECT_FALSE(remote()->listing().isFtp());
    EXPECT_EQ(remote()->listing().path, local.file("l"));
}

} // namespace

namespace {

TEST_F(FtpPanelTest, ProgramsStartInALocalDirectoryWhenTheActivePanelIsRemote) {
    test::TerminalStandIn terminal;
    mkdir(local.file("other").c_str(), 0755);
    frame->panel(0)->ChangeDirectory(local.file("other"));
    QTRY_VERIFY_WITH_TIMEOUT(!frame->panel(0)->reading(), 5000);
    remote()->MoveCursor(row(remote(), "sub"));
    remote()->EnterFocused();
    QTest::qWait(50);
    ASSERT_EQ(remote()->listing().path, "/sub") << "a path that does not exist here";
    if (frame->activePanel() != remote())
        frame->SwitchActivePanel();
    ASSERT_EQ(frame->activePanel(), remote());

    const std::string recorder = local.file("rec.sh"), out = local.file("out");
    test::WriteAll(recorder, "#!/bin/sh\nprintf '%s' \"$(pwd -P)\" > \"$1.tmp\" && mv \"$1.tmp\" \"$1\"\n");
    chmod(recorder.c_str(), 0755);
    QComboBox* edit = frame->commandPrompt()->edit();
    edit->setEditText(QString::fromStdString(recorder + " " + out));
    QTest::keyClick(edit, Qt::Key_Return);
    struct stat st;
    for (int i = 0; i < 500 && stat(out.c_str(), &st) != 0; ++i)
        QTest::qWait(10);
    EXPECT_EQ(test::ReadAll(out), local.file("l")) << "the remote panel's last local directory";
}

} // namespace
