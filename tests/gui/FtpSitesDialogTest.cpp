// The site book dialogs against a real FTP server on 127.0.0.1.
#include "support/DialogAnswerer.h"
#include "ftp/FtpConfig.h"
#include "ftp/FtpConnection.h"
#include "ftp/FtpSiteBook.h"
#include "ftp/PyFtpServer.h"
#include "mainwindow/MainFrame.h"
#include "resources/CommandIds.h"
#include "settings/SettingsStore.h"
#include "support/TempDir.h"
#include "ui_services/AppState.h"
#include "viewers/TextEditorWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>

using namespace km;

namespace {

class FtpSitesDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string missing = test::PyFtpMissing(); !missing.empty())
            GTEST_SKIP() << missing;
        server = std::make_unique<test::PyFtpServer>(root.path(), "ann", "pw");
        ASSERT_NE(server->port(), 0) << server->startError();
        store = std::make_unique<SettingsStore>(dir.file("KM.reg"));
        store->PutString("Paden", "Links", dir.path());
        store->PutString("Paden", "Rechts", dir.path());
        store->PutInt("FTP", "Port", server->port());
        App().store = store.get();
        frame = std::make_unique<MainFrame>();
        frame->show();
        QTest::qWait(20);
    }
    void TearDown() override {
        frame.reset();
        ReleaseFtpAtExit();
        App().store = nullptr;
    }
    static QPushButton* button(QDialog* d, int id) {
        return d->findChild<QPushButton*>(QStringLiteral("button%1").arg(id));
    }
    static void setText(QDialog* d, int id, const char* text) {
        d->findChild<QLineEdit*>(QStringLiteral("edit%1").arg(id))->setText(QString::fromUtf8(text));
    }
    test::TempDir root, dir;
    std::unique_ptr<test::PyFtpServer> server;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<MainFrame> frame;
};

TEST_F(FtpSitesDialogTest, AddConnectDisconnectAndTheTitle) {
    FtpSite other;
    other.address = "127.0.0.1";
    WriteFtpSite(*store, "localhost", other); // begins with the name added below
    int boxes = 0;
    test::WithModal("FTPSITES", [&](QDialog* d) {
        EXPECT_EQ(d->windowTitle(), "KM - FTP (not connected)");
        test::WithModal("NEWSITE", [&](QDialog* n) {
            setText(n, 3090, "local");
            setText(n, 2710, "127.0.0.1");
            setText(n, 2690, "ann");
            setText(n, 2700, "pw");
            n->findChild<QComboBox*>("combo3100")->setCurrentIndex(1); // passive
            n->findChild<QComboBox*>("combo3110")->setCurrentIndex(1); // TLS if available
            n->findChild<QPushButton*>("ok")->click();
        });
        button(d, 1420)->click();
        auto* list = d->findChild<QListWidget*>("list2720");
        ASSERT_EQ(list->count(), 2);
        EXPECT_EQ(list->currentItem()->text(), "local");
        EXPECT_EQ(ReadFtpSite(*store, "local")->user, "ann");
        EXPECT_EQ(ReadFtpSite(*store, "local")->dataConnection, 1);
        EXPECT_EQ(ReadFtpSite(*store, "local")->encryption, 1);
        EXPECT_EQ(d->findChild<QComboBox*>("combo3110")->currentIndex(), 1) << "shown when loaded";

        test::AnswerModal("MESSAGEBOX", "OK", &boxes); // "FTP connection established"
        button(d, 2730)->click();
        EXPECT_EQ(boxes, 1);
        EXPECT_TRUE(FtpState().connected);
        EXPECT_EQ(d->windowTitle(), "KM - FTP   ***** Connection active! *****");
        EXPECT_FALSE(button(d, 2730)->isEnabled());
        EXPECT_TRUE(button(d, 2740)->isEnabled());
        // The log is a transcript to read, kept in a local directory.
        button(d, 3260)->click();
        const std::vector<TextEditorWindow*> logs = TextEditorWindow::OpenWindows();
        ASSERT_EQ(logs.size(), 1u);
        EXPECT_TRUE(logs[0]->windowTitle().startsWith("KM Viewer - ")) << logs[0]->windowTitle().toStdString();
        EXPECT_TRUE(std::filesystem::exists(dir.file("KMFTPLOG.TXT")));
        logs[0]->close();
        // "localhost" only begins with the connected name: another site.
        list->setCurrentRow(list->row(list->findItems("localhost", Qt::MatchExactly).first()));
        EXPECT_EQ(d->windowTitle(), "KM - FTP (not connected)");
        EXPECT_TRUE(button(d, 2730)->isEnabled());
        list->setCurrentRow(list->row(list->findItems("local", Qt::MatchExactly).first()));

        // A second site of the same name, in another case: refused.
        test::WithModal("NEWSITE", [&](QDialog* n) {
            setText(n, 3090, "LOCAL");
            setText(n, 2710, "elsewhere");
            n->findChild<QPushButton*>("ok")->click();
        });
        test::AnswerModal("MESSAGEBOX", "OK", &boxes); // "Site already exists"
        button(d, 1420)->click();
        EXPECT_EQ(boxes, 2);
        EXPECT_EQ(list->count(), 2);

        test::AnswerModal("MESSAGEBOX", "OK", &boxes); // "FTP connection closed"
        button(d, 2740)->click();
        EXPECT_EQ(boxes, 3);
        EXPECT_FALSE(FtpState().engineStarted);
        EXPECT_EQ(d->windowTitle(), "KM - FTP (not connected)");
        button(d, 1)->click();
    });
    frame->OnCommand(CmdFtpSites);
    EXPECT_EQ(boxes, 3);
}

TEST_F(FtpSitesDialogTest, AnonymousAndFirewallSwitchesAndDeleteWithoutQuestion) {
    FtpSite s;
    s.address = "host";
    s.user = "bob";
    WriteFtpSite(*store, "one", s);
    store->PutString("FTP", "Email", "me@example.net");
    store->PutInt("FTP", "Logging", 0);
    test::WithModal("FTPSITES", [&](QDialog* d) {
        EXPECT_FALSE(button(d, 3260)->isEnabled()) << "Show Log without logging";
        auto* user = d->findChild<QLineEdit*>("edit2690");
        auto* password = d->findChild<QLineEdit*>("edit2700");
        EXPECT_EQ(user->text(), "bob");
        d->findChild<QCheckBox*>("check2750")->click();
        EXPECT_EQ(user->text(), "anonymous");
        EXPECT_EQ(password->text(), "me@example.net");
        EXPECT_FALSE(user->isEnabled());
        EXPECT_TRUE(ReadFtpSite(*store, "one")->anonymous) << "written at once";
        d->findChild<QCheckBox*>("check2750")->click();
        EXPECT_EQ(user->text(), "bob");
        auto* fw = d->findChild<QLineEdit*>("edit3040");
        EXPECT_FALSE(fw->isEnabled());
        d->findChild<QCheckBox*>("check3030")->click();
        EXPECT_TRUE(fw->isEnabled());
        EXPECT_TRUE(d->findChild<QRadioButton*>("radio3080")->isChecked());
        EXPECT_TRUE(ReadFtpSite(*store, "one")->useFirewall);
        button(d, 1220)->click();
        EXPECT_EQ(d->findChild<QListWidget*>("list2720")->count(), 0);
        // With no site there is nothing to type into, connect or delete.
        EXPECT_FALSE(d->findChild<QLineEdit*>("edit2710")->isEnabled());
        EXPECT_FALSE(user->isEnabled());
        EXPECT_FALSE(d->findChild<QCheckBox*>("check2750")->isEnabled());
        EXPECT_FALSE(fw->isEnabled());
        EXPECT_FALSE(button(d, 2730)->isEnabled());
        EXPECT_FALSE(button(d, 1220)->isEnabled());
        EXPECT_TRUE(button(d, 1420)->isEnabled());
        button(d, 1)->click();
    });
    frame->OnCommand(CmdFtpSites);
    EXPECT_TRUE(ListFtpSites(*store).empty()) << "the deleted record is not written back";
}

TEST_F(FtpSitesDialogTest, SettingsDialogWritesItsKeysOnlyOnOk) {
    test::WithModal("FTPSETTINGS", [&](QDialog* d) {
        EXPECT_TRUE(d->findChild<QRadioButton*>("radio2820")->isChecked());
        d->findChild<QRadioButton*>("radio2821")->setChecked(true);
        d->findChild<QLineEdit*>("edit2840")->setText("x@example.org");
        d->reject();
    });
    frame->OnCommand(CmdFtpSettings);
    EXPECT_EQ(store->GetInt("FTP", "XferType", 0), 0);
    test::WithModal("FTPSETTINGS", [&](QDialog* d) {
        d->findChild<QRadioButton*>("radio2822")->setChecked(true);
        d->findChild<QCheckBox*>("check2830")->setChecked(true);
        d->findChild<QLineEdit*>("edit2840")->setText("x@example.org");
        d->findChild<QCheckBox*>("check2805")->click();
        EXPECT_FALSE(d->findChild<QLineEdit*>("edit2810")->isEnabled());
        // Passive and no rate limit unless the user says otherwise.
        auto* passive = d->findChild<QCheckBox*>("check2880");
        auto* limit = d->findChild<QCheckBox*>("check2890");
        auto* rate = d->findChild<QSpinBox*>("spin2900");
        EXPECT_TRUE(passive->isChecked());
        EXPECT_FALSE(limit->isChecked());
        EXPECT_FALSE(rate->isEnabled());
        passive->setChecked(false);
        limit->setChecked(true);
        EXPECT_TRUE(rate->isEnabled());
        rate->setValue(256);
        d->findChild<QPushButton*>("ok")->click();
    });
    frame->OnCommand(CmdFtpSettings);
    EXPECT_EQ(store->GetInt("FTP", "XferType", 0), 3);
    EXPECT_EQ(store->GetInt("FTP", "DirUpd", 0), 1);
    EXPECT_EQ(store->GetInt("FTP", "Logging", 1), 0);
    EXPECT_EQ(store->GetString("FTP", "Email", ""), "x@example.org");
    EXPECT_EQ(store->GetInt("FTP", "Confirm", 0), 1);
    EXPECT_EQ(store->GetInt("FTP", "Passive", 1), 0);
    EXPECT_EQ(store->GetInt("FTP", "LimitRate", 0), 1);
    EXPECT_EQ(store->GetInt("FTP", "RateLimit", 0), 256);
    EXPECT_EQ(ReadFtpConfig(*store).rateLimit, 256 * 1024);
}

} // namespace
