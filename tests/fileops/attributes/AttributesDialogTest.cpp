#include "fileops/attributes/ui/AttributesDialog.h"
#include "fileops/attributes/ui/AttributeCommands.h"
#include "panels/FilePanel.h"
#include "platform/FileAttributes.h"
#include "settings/SettingsStore.h"
#include "support/TempDir.h"
#include "ui_services/AppState.h"

#include "support/DialogAnswerer.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QTest>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace km;
using namespace km::test;

namespace {

template <class T> T* Child(QWidget* w, const char* name) {
    auto* c = w->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}

void ClickOn(QWidget* w, const char* name) {
    if (auto* b = Child<QAbstractButton>(w, name))
        b->click();
}

// The panel messages posted to an object.
class MessageRecorder : public QObject {
public:
    std::vector<std::pair<int, qintptr>> seen;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == PanelMessageEvent::eventType()) {
            const auto* m = static_cast<PanelMessageEvent*>(e);
            seen.emplace_back(m->message, m->first);
            return true;
        }
        return false;
    }
};

// Runs `body` on the dialog named `name` once it is open and notes that it opened.
void Answer(const QString& name, std::function<void(QDialog*)> body, bool* opened) {
    WithModal(name, [=](QDialog* d) {
        *opened = true;
        body(d);
    });
}

LocaleInfo MdySlash() {
    return LocaleInfo::WithDateSeparator("/", 0);
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

time_t MtimeOf(const std::string& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_mtim.tv_sec;
}

void SetMtime(const std::string& path, time_t t) {
    struct timespec ts[2] = {{t, 0}, {t, 0}};
    utimensat(AT_FDCWD, path.c_str(), ts, 0);
}

time_t LocalTime(int year, int month, int day, int hour, int minute) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_isdst = -1;
    return mktime(&t);
}

TEST(AttributesDialog, TimeFieldsShowOnlyForASpecificTime) {
    AttributesDialog d(AttributesDialog::OneFile, "/tmp/report.txt", false,
                       AttrReadOnly | AttrArchive, {"12/24/98", "13:05"}, MdySlash());
    d.show();
    EXPECT_EQ(d.objectName(), QStringLiteral("FILEATTR"));
    EXPECT_EQ(d.windowTitle(), QStringLiteral("KM - File attributes"));
    EXPECT_EQ(Child<QLabel>(&d, "label1260")->text(), QStringLiteral("File:     /tmp/report.txt"));
    EXPECT_TRUE(Child<QRadioButton>(&d, "radio1610")->isChecked()); // archive on
    EXPECT_TRUE(Child<QRadioButton>(&d, "radio1630")->isChecked()); // read-only on
    EXPECT_TRUE(Child<QRadioButton>(&d, "radio1600")->isChecked()); // hidden off
    EXPECT_TRUE(Child<QRadioButton>(&d, "radio1580")->isChecked()); // system off
    EXPECT_TRUE(Child<QRadioButton>(&d, "radio1930")->isChecked());
    auto* date = Child<QLineEdit>(&d, "edit1950");
    auto* time = Child<QLineEdit>(&d, "edit1960");
    EXPECT_EQ(date->text(), QStringLiteral("12/24/98"));
    EXPECT_EQ(time->text(), QStringLiteral("13:05"));
    EXPECT_EQ(date->maxLength(), 8);
    EXPECT_EQ(time->maxLength(), 5);
    EXPECT_FALSE(date->isVisible());
    EXPECT_FALSE(Child<QLabel>(&d, "label1980")->isVisible());
    ClickOn(&d, "radio1932");
    EXPECT_TRUE(date->isVisible());
    EXPECT_TRUE(time->isVisible());
    EXPECT_TRUE(Child<QLabel>(&d, "label1970")->isVisible());
    ClickOn(&d, "radio1931");
    EXPECT_FALSE(date->isVisible());
    EXPECT_FALSE(time->isVisible());
    // Radio pairs are per bit: switching one leaves the others.
    ClickOn(&d, "radio1620");
    EXPECT_FALSE(Child<QRadioButton>(&d, "radio1610")->isChecked());
    EXPECT_TRUE(Child<QRadioButton>(&d, "radio1630")->isChecked());
}

TEST(AttributesDialog, OnAndOffBoxesOfSeveralEntriesExcludeEachOther) {
    AttributesDialog d(AttributesDialog::ManyDirectories, "/tmp/a", true, AttrHidden,
                       {"01/02/03", "04:05"}, MdySlash());
    EXPECT_EQ(d.objectName(), QStringLiteral("DIRATTRALL"));
    EXPECT_EQ(d.windowTitle(), QStringLiteral("KM - Directory attributes"));
    EXPECT_EQ(Child<QLabel>(&d, "label1260")->text(),
              QStringLiteral("For all selected directories:"));
    EXPECT_EQ(Child<QGroupBox>(&d, "groupAttributes")->title(), QStringLiteral("Attributen"));
    auto* on = Child<QCheckBox>(&d, "check1595");
    auto* off = Child<QCheckBox>(&d, "check1600");
    EXPECT_FALSE(on->isChecked());
    EXPECT_FALSE(off->isChecked());
    on->click();
    off->click();
    EXPECT_FALSE(on->isChecked());
    EXPECT_TRUE(off->isChecked());
    on->click();
    EXPECT_TRUE(on->isChecked());
    EXPECT_FALSE(off->isChecked());
    on->click(); // both clear again: leave the bit alone
    Child<QCheckBox>(&d, "check1610")->click();
    d.accept();
    const AttributeRequest& r = d.request();
    EXPECT_TRUE(r.multi);
    EXPECT_EQ(r.changes.hidden, BitChange::Keep);
    EXPECT_EQ(r.changes.archive, BitChange::On);
    EXPECT_EQ(r.changes.readOnly, BitChange::Keep);
    EXPECT_FALSE(r.newTime);

    AttributesDialog files(AttributesDialog::ManyFiles, "/tmp/a", false, 0, {}, MdySlash());
    EXPECT_EQ(Child<QLabel>(&files, "label1260")->text(),
              QStringLiteral("For all selected files:"));
    EXPECT_EQ(Child<QGroupBox>(&files, "groupAttributes")->title(), QStringLiteral("Attributes"));
}

class AttributeCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        store = std::make_unique<SettingsStore>(dir.file("KM.reg"));
        App().store = store.get();
        SetCurrentLocale(MdySlash());
        root = dir.file("files");
        mkdir(root.c_str(), 0755);
        for (const char* name : {"alpha", "beta"}) {
            WriteAll(root + "/" + name, name);
            chmod((root + "/" + name).c_str(), 0644);
            SetMtime(root + "/" + name, LocalTime(1998, 12, 24, 13, 5));
        }
        for (const char* name : {"sub1", "sub2"}) {
            mkdir((root + "/" + name).c_str(), 0755);
            SetMtime(root + "/" + name, LocalTime(2001, 2, 3, 4, 5));
        }
        panel = std::make_unique<FilePanel>(FilePanel::kLeftId);
        panel->listing().path = root;
        ASSERT_TRUE(panel->Refresh()); // .., sub1, sub2, alpha, beta
        main.installEventFilter(&toMain);
        panel->installEventFilter(&toPanel);
    }
    void TearDown() override {
        panel.reset();
        App().store = nullptr;
        SetCurrentLocale(LocaleInfo{});
    }
    int rowOf(const char* name) const {
        for (int i = 0; i < panel->listing().rowCount(); ++i)
            if (panel->listing().entries[static_cast<size_t>(i)].name == name)
                return i;
        return -1;
    }
    bool handle(int msg, qintptr first = -1) {
        PanelMessageEvent m(msg, first, 0);
        return HandleAttributeCommand(*panel, m, &main);
    }
    bool refreshedBoth() {
        QCoreApplication::sendPostedEvents(&main);
        for (const auto& [msg, first] : toMain.seen)
            if (msg == PmRefreshBoth && first == FilePanel::kLeftId)
                return true;
        return false;
    }
    std::vector<int> postedToPanel() {
        QCoreApplication::sendPostedEvents(panel.get());
        std::vector<int> out;
        for (const auto& seen : toPanel.seen)
            out.push_back(seen.first);
        toPanel.seen.clear();
        return out;
    }

    TempDir dir;
    std::string root;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<FilePanel> panel;
    QWidget main;
    MessageRecorder toMain, toPanel;
};

TEST_F(AttributeCommandTest, OkOnOneFileAppliesAndRefreshesBothPanels) {
    const std::string alpha = root + "/alpha";
    panel->listing().SetCursor(rowOf("alpha"));
    panel->listing().keepSelection = true;
    bool opened = false;
    Answer(
        QStringLiteral("FILEATTR"),
        [&](QDialog* d) {
            EXPECT_EQ(Child<QLabel>(d, "label1260")->text(),
                      QStringLiteral("File:     ") + QString::fromStdString(alpha));
            EXPECT_EQ(Child<QLineEdit>(d, "edit1950")->text(), QStringLiteral("12/24/98"));
            EXPECT_EQ(Child<QLineEdit>(d, "edit1960")->text(), QStringLiteral("13:05"));
            ClickOn(d, "radio1630");
            ClickOn(d, "radio1932");
            Child<QLineEdit>(d, "edit1950")->setText(QStringLiteral("1/1/05"));
            Child<QLineEdit>(d, "edit1960")->setText(QStringLiteral("7:30"));
            ClickOn(d, "ok");
        },
        &opened);
    EXPECT_TRUE(handle(PmFileAttributes));
    EXPECT_TRUE(opened);
    EXPECT_EQ(ModeOf(alpha), 0444u);
    EXPECT_EQ(MtimeOf(alpha), LocalTime(2005, 1, 1, 7, 30));
    EXPECT_FALSE(panel->listing().keepSelection);
    EXPECT_TRUE(refreshedBoth());
    EXPECT_FALSE(App().busyFlag);
}

TEST_F(AttributeCommandTest, CancelAndAnImpossibleDateChangeNothing) {
    const std::string beta = root + "/beta";
    bool opened = false;
    int complaints = 0;
    Answer(
        QStringLiteral("FILEATTR"),
        [&](QDialog* d) {
            ClickOn(d, "radio1630");
            ClickOn(d, "radio1932");
            Child<QLineEdit>(d, "edit1950")->setText(QStringLiteral("02/30/05"));
            AnswerModal(QStringLiteral("MESSAGEBOX"), QStringLiteral("OK"), &complaints);
            ClickOn(d, "ok");
            // Still open after the complaint: the user may correct the date.
            EXPECT_TRUE(d->isVisible());
            ClickOn(d, "cancel");
        },
        &opened);
    EXPECT_TRUE(handle(PmFileAttributes, rowOf("beta")));
    EXPECT_TRUE(opened);
    EXPECT_EQ(complaints, 1);
    EXPECT_EQ(ModeOf(beta), 0644u);
    EXPECT_EQ(MtimeOf(beta), LocalTime(1998, 12, 24, 13, 5));
    EXPECT_FALSE(refreshedBoth());
}

TEST_F(AttributeCommandTest, SeveralDirectoriesGetTheCurrentTime) {
    panel->listing().SetSelected(rowOf("sub1"), true);
    panel->listing().SetSelected(rowOf("sub2"), true);
    bool opened = false;
    Answer(
        QStringLiteral("DIRATTRALL"),
        [&](QDialog* d) {
            EXPECT_EQ(Child<QLineEdit>(d, "edit1950")->text(), QStringLiteral("02/03/01"));
            ClickOn(d, "check1640"); // read-only off
            ClickOn(d, "radio1931");
            ClickOn(d, "ok");
        },
        &opened);
    chmod((root + "/sub2").c_str(), 0555);
    const time_t before = std::time(nullptr);
    EXPECT_TRUE(handle(PmDirAttributesMany));
    EXPECT_TRUE(opened);
    for (const char* name : {"sub1", "sub2"}) {
        EXPECT_GE(MtimeOf(root + "/" + name), before) << name;
        EXPECT_EQ(ModeOf(root + "/" + name), 0755u) << name;
    }
    EXPECT_TRUE(refreshedBoth());
}

TEST_F(AttributeCommandTest, MessagesWithoutTheirKindOfEntryWarn) {
    std::vector<QString> texts;
    const auto expectWarning = [&](int msg, qintptr first, const QString& text) {
        WithModal(QStringLiteral("MESSAGEBOX"), [&](QDialog* d) {
            texts.push_back(static_cast<QMessageBox*>(d)->text());
            d->accept();
        });
        EXPECT_TRUE(handle(msg, first));
        ASSERT_FALSE(texts.empty()) << msg;
        EXPECT_EQ(texts.back(), text);
        texts.clear();
    };
    expectWarning(PmDirAttributes, rowOf("alpha"), QStringLiteral("No directory selected"));
    panel->listing().SetSelected(rowOf("alpha"), true);
    expectWarning(PmDirAttributesMany, -1, QStringLiteral("No directory selected"));
    panel->listing().SelectAll(false);
    panel->listing().SetSelected(rowOf("sub1"), true);
    expectWarning(PmFileAttributesMany, -1, QStringLiteral("No file selected"));
    // An entry that went away since the last read.
    rmdir((root + "/sub2").c_str());
    expectWarning(PmDirAttributes, rowOf("sub2"), QStringLiteral("No access to this file"));
    panel->listing().drive = "FTP";
    expectWarning(PmFileAttributes, rowOf("alpha"), QStringLiteral("Can't do that on an FTP site"));
    EXPECT_FALSE(handle(PmCopy));
}

TEST_F(AttributeCommandTest, MenuCommandsPostTheMessageTheSelectionNeeds) {
    PanelListing& l = panel->listing();
    AttributesCommand(*panel, false);
    AttributesCommand(*panel, true);
    EXPECT_EQ(postedToPanel(), (std::vector<int>{PmFileAttributes, PmDirAttributes}));
    l.SetSelected(rowOf("alpha"), true);
    l.SetSelected(rowOf("beta"), true);
    AttributesCommand(*panel, false);
    l.SetSelected(rowOf("sub1"), true);
    l.SetSelected(rowOf("sub2"), true);
    AttributesCommand(*panel, true);
    EXPECT_EQ(postedToPanel(), (std::vector<int>{PmFileAttributesMany, PmDirAttributesMany}));

    int warned = 0;
    AnswerModal(QStringLiteral("MESSAGEBOX"), QStringLiteral("OK"), &warned);
    AttributesCommand(*panel, false); // directories are selected
    EXPECT_EQ(warned, 1);
    l.drive = "FTP";
    AnswerModal(QStringLiteral("MESSAGEBOX"), QStringLiteral("OK"), &warned);
    AttributesCommand(*panel, true);
    EXPECT_EQ(warned, 2);
    EXPECT_TRUE(postedToPanel().empty());
}

} // namespace
