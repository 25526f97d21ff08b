#include "fileops/open_execute/ui/AssociateDialog.h"
#include "fileops/open_execute/ui/OpenExecuteCommands.h"
#include "panels/PanelListing.h"
#include "settings/SettingsStore.h"
#include "ui_services/AppState.h"

#include "XdgFixture.h"
#include "support/DialogFixture.h"
#include "support/DialogAnswerer.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace km;
using namespace km::test;

namespace {

QString text(QDialog* d, const char* name) {
    if (auto* e = d->findChild<QLineEdit*>(QString::fromLatin1(name)))
        return e->text();
    auto* l = d->findChild<QLabel*>(QString::fromLatin1(name));
    return l ? l->text() : QStringLiteral("<missing>");
}

class CommandsGuiTest : public XdgFixture {
protected:
    void SetUp() override {
        XdgFixture::SetUp();
        store = std::make_unique<SettingsStore>(dir.file("KM.reg"));
        App().store = store.get();
        panel.path = dir.file("files");
    }
    void TearDown() override {
        App().store = nullptr;
        SetInternalEditor(nullptr);
        XdgFixture::TearDown();
    }
    // The panel with one row under the cursor.
    void cursorOn(int kind, const std::string& name) {
        FileEntry e;
        e.kind = kind;
        e.name = name;
        panel.entries = {e};
        panel.SetCursor(0);
    }

    std::unique_ptr<SettingsStore> store;
    PanelListing panel;
};

TEST_F(CommandsGuiTest, CalculateDiskSpaceShowsTheTotals) {
    MakeDirs(dir.file("files/tree/empty"));
    WriteAll(dir.file("files/tree/a"), std::string(10, 'a'));
    WriteAll(dir.file("files/tree/b"), std::string(20, 'b'));
    cursorOn(KindDirectory, "tree");
    QString label, dirs, files, bytes;
    WhenModal(QStringLiteral("CALCSPACE"), [&](QDialog* d) {
        label = text(d, "static1270");
        dirs = text(d, "static1900");
        files = text(d, "static1910");
        bytes = text(d, "static1920");
        d->accept();
    });
    QWidget main;
    CalculateDiskSpaceCommand(panel, &main);
    EXPECT_EQ(label.toStdString(), "Contents of " + dir.file("files/tree"));
    EXPECT_EQ(dirs, QStringLiteral("1"));
    EXPECT_EQ(files, QStringLiteral("2"));
    EXPECT_EQ(bytes, QStringLiteral("30"));
    EXPECT_TRUE(main.isEnabled());
    EXPECT_FALSE(App().busyFlag);
}

TEST_F(CommandsGuiTest, CancelledCountShowsNothing) {
    MakeDirs(dir.file("files/tree"));
    WriteAll(dir.file("files/tree/a"), "a");
    // Should a result appear after all, close it rather than hang.
    int shown = 0;
    QTimer guard;
    guard.setInterval(10);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            d && d->objectName() == QStringLiteral("CALCSPACE")) {
            ++shown;
            d->accept();
        }
    });
    guard.start();
    // Cancel as soon as the progress window takes events.
    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QStringLiteral("STATUSCALC"))
                if (auto* b = w->findChild<QPushButton*>(QStringLiteral("cancel")))
                    b->click();
        }
    });
    CalculateDiskSpace(dir.file("files/tree"), nullptr);
    QTest::qWait(100);
    EXPECT_EQ(shown, 0);
}

TEST_F(CommandsGuiTest, WarningsForTheWrongEntry) {
    int boxes = 0;
    cursorOn(KindParent, "..");
    AnswerModal(QStringLiteral("MESSAGEBOX"), QStringLiteral("OK"), &boxes);
    CalculateDiskSpaceCommand(panel, nullptr); // 4204
    AnswerModal(QStringLiteral("MESSAGEBOX"), QStringLiteral("OK"), &boxes);
    AssociateCommand(panel, nullptr); // 4173
    cursorOn(KindFile, "Makefile");
    AnswerModal(QStringLiteral("MESSAGEBOX"), QStringLiteral("OK"), &boxes);
    AssociateCommand(panel, nullptr); // 4188
    panel.drive = "FTP";
    AnswerModal(QStringLiteral("MESSAGEBOX"), QStringLiteral("OK"), &boxes);
    EditNewCommand(panel, nullptr); // 4480
    EXPECT_EQ(boxes, 4);
}

TEST_F(CommandsGuiTest, AssociateThroughTheDialog) {
    if (FindProgram("update-mime-database").empty())
        GTEST_SKIP() << "update-mime-database (shared-mime-info) is not installed";
    cursorOn(KindFile, "data.abc");
    panel.keepSelection = true;
    const std::string program = dir.file("bin dir/my viewer");
    AssociateDialog::chooseProgram = [&](QWidget*) { return QString::fromStdString(program); };
    bool typeEditable = false;
    WhenModal(QStringLiteral("ASSOCIATE"), [&](QDialog* d) {
        EXPECT_EQ(text(d, "edit1780"), QStringLiteral(".abc"));
        typeEditable = !d->findChild<QLineEdit*>(QStringLiteral("edit2330"))->isReadOnly();
        QTest::keyClicks(d->findChild<QLineEdit*>(QStringLiteral("edit2330")),
                         QStringLiteral("ABC data"));
        d->findChild<QPushButton*>(QStringLiteral("button1140"))->click();
        EXPECT_EQ(text(d, "edit1270").toStdString(), "\"" + program + "\"");
        d->findChild<QPushButton*>(QStringLiteral("ok"))->click();
    });
    AssociateCommand(panel, nullptr);
    AssociateDialog::chooseProgram = nullptr;
    EXPECT_TRUE(typeEditable);
    EXPECT_FALSE(panel.keepSelection);

    // Now the extension has a type: its description is fixed, the focus in the command.
    bool typeReadOnly = false, commandFocused = false;
    QString command, description;
    WhenModal(QStringLiteral("ASSOCIATE"), [&](QDialog* d) {
        auto* type = d->findChild<QLineEdit*>(QStringLiteral("edit2330"));
        typeReadOnly = type->isReadOnly();
        description = type->text();
        command = text(d, "edit1270");
        commandFocused = d->focusWidget() == d->findChild<QLineEdit*>(QStringLiteral("edit1270"));
        d->reject();
    });
    AssociateCommand(panel, nullptr);
    EXPECT_TRUE(typeReadOnly);
    EXPECT_TRUE(commandFocused);
    EXPECT_EQ(description, QStringLiteral("ABC data"));
    EXPECT_EQ(command.toStdString(), "\"" + program + "\" %1");
}

TEST_F(CommandsGuiTest, MakeDirectoryAndEditNew) {
    WhenModal(QStringLiteral("NEWDIR"), [](QDialog* d) {
        QTest::keyClicks(d->findChild<QLineEdit*>(QStringLiteral("edit1250")),
                         QStringLiteral("a/b/c"));
        QTest::keyClick(d, Qt::Key_Return);
    });
    EXPECT_EQ(MakeDirectoryCommand(panel, nullptr), std::optional<std::string>("a/b/c"));
    struct stat st;
    EXPECT_EQ(stat(dir.file("files/a/b/c").c_str(), &st), 0);

    WhenModal(QStringLiteral("NEWDIR"), [](QDialog* d) { d->reject(); });
    EXPECT_EQ(MakeDirectoryCommand(panel, nullptr), std::nullopt);

    store->PutInt("Paden", "InternalEditor", 0);
    std::vector<std::pair<std::string, bool>> opened;
    SetInternalEditor(
        [&](const std::string& p, QWidget*, bool isNew) { opened.emplace_back(p, isNew); });
    WhenModal(QStringLiteral("EDITNEW"), [](QDialog* d) {
        EXPECT_TRUE(d->findChild<QLineEdit*>(QStringLiteral("edit1255"))->text().isEmpty());
        QTest::keyClicks(d->findChild<QLineEdit*>(QStringLiteral("edit1255")),
                         QStringLiteral("new.txt"));
        d->findChild<QPushButton*>(QStringLiteral("ok"))->click();
    });
    EditNewCommand(panel, nullptr);
    EXPECT_EQ(opened,
              (std::vector<std::pair<std::string, bool>>{{dir.file("files/new.txt"), true}}));
}

} // namespace
