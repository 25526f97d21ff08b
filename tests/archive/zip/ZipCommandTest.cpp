// The panels' zip command: its proposals, its two dialogs and the archive it produces.
#include "archive/zip/ui/ZipCommand.h"
#include "ZipTestSupport.h"
#include "fileops/FileOpUi.h"
#include "panels/FilePanel.h"
#include "settings/SettingsStore.h"
#include "support/DialogAnswerer.h"
#include "support/TempDir.h"
#include "ui_services/AppState.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QWidget>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>

using namespace km;

namespace {

class ZipCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::mkdir(dir.file("left").c_str(), 0755);
        ::mkdir(dir.file("left/Project").c_str(), 0755);
        ::mkdir(dir.file("left/Project/src").c_str(), 0755);
        ::mkdir(dir.file("Right.d").c_str(), 0755);
        test::WriteAll(dir.file("left/Project/readme.txt"), "read me\n");
        test::WriteAll(dir.file("left/Project/src/main.cpp"), std::string(3000, 'm'));
        test::WriteAll(dir.file("left/notes.txt"), "notes");
        test::WriteAll(dir.file("Right.d/old.zip"), "");
        store = std::make_unique<SettingsStore>(dir.file("KM.reg"));
        App().store = store.get();
        left = std::make_unique<FilePanel>(FilePanel::kLeftId);
        right = std::make_unique<FilePanel>(FilePanel::kRightId);
        left->listing().path = dir.file("left");
        right->listing().path = dir.file("Right.d");
        ASSERT_TRUE(left->Refresh());
        ASSERT_TRUE(right->Refresh());
        left->setMessageTarget(&mainWindow);
    }
    void TearDown() override {
        left.reset();
        right.reset();
        App().store = nullptr;
    }
    void selectDirectory(const std::string& name) {
        PanelListing& l = left->listing();
        for (int i = 0; i < l.rowCount(); ++i) {
            if (l.entries[static_cast<size_t>(i)].name == name)
                l.SetSelected(i, true);
        }
    }
    // Answers every overwrite question with "No", counting them.
    static void answerNo(int* asked) {
        test::WithModal(QStringLiteral("OVERWRITE"), [=](QDialog* o) {
            // The next question may reuse the same address: mark the one answered.
            if (o->property("answered").toBool()) {
                answerNo(asked);
                return;
            }
            o->setProperty("answered", true);
            ++*asked;
            o->done(OverwriteNo);
            answerNo(asked);
        });
    }
    bool zip(int kind) {
        PanelMessageEvent m(PmZip, kind, 0);
        return HandleZipCommand(*left, *right, m, &mainWindow);
    }
    std::string listing(const std::string& archive) {
        const std::string out = dir.file("list.out");
        test::RunTool({"unzip", "-Z1", archive}, "", out);
        return test::ReadAll(out);
    }

    test::TempDir dir;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<FilePanel> left;
    std::unique_ptr<FilePanel> right;
    QWidget mainWindow;
};

TEST_F(ZipCommandTest, ProposedNames) {
    selectDirectory("Project");
    EXPECT_EQ(DefaultZipArchiveName(left->listing(), right->listing(), false),
              dir.file("Right.d/project.zip"));
    left->listing().SelectFileByName("notes.txt");
    // A file and a directory: the panel directory's name.
    EXPECT_EQ(DefaultZipArchiveName(left->listing(), right->listing(), true),
              dir.file("Right.d/left.run"));
    right->listing().SelectFileByName("old.zip");
    EXPECT_EQ(DefaultZipArchiveName(left->listing(), right->listing(), false),
              dir.file("Right.d/old.zip"));
    EXPECT_EQ(DefaultZipArchiveName(left->listing(), right->listing(), true),
              dir.file("Right.d/left.run"));
    right->listing().SelectAll(false);
    left->listing().path = "/";
    left->listing().SelectAll(false);
    EXPECT_EQ(DefaultZipArchiveName(left->listing(), right->listing(), false),
              dir.file("Right.d/temp.zip"));

    left->listing().path = dir.file("left");
    EXPECT_EQ(ResolveZipArchiveName("bare.zip", left->listing().path, false),
              dir.file("left/bare.zip"));
    EXPECT_EQ(ResolveZipArchiveName("/x/y.zip", left->listing().path, false), "/x/y.zip");
    EXPECT_EQ(ResolveZipArchiveName("[FTP] site", left->listing().path, false), "");
}

TEST_F(ZipCommandTest, ZipsOneDirectoryRelativeToTheSourceDirectory) {
    selectDirectory("Project");
    bool relativeChosen = false;
    test::WithModal(QStringLiteral("ZIPTO"), [&](QDialog* d) {
        relativeChosen = d->findChild<QRadioButton*>(QStringLiteral("radio2881"))->isChecked();
        d->accept();
        test::WithModal(QStringLiteral("ZIP"), [&](QDialog* z) {
            // Into a directory that does not exist yet.
            z->findChild<QLineEdit*>(QStringLiteral("edit1260"))
                ->setText(QString::fromStdString(dir.file("Right.d/new/p.zip")));
            z->accept();
        });
    });
    EXPECT_TRUE(zip(0));
    EXPECT_TRUE(relativeChosen);
    const std::string archive = dir.file("Right.d/new/p.zip");
    EXPECT_EQ(listing(archive), "Project/readme.txt\nProject/src/main.cpp\n");
    EXPECT_EQ(test::RunTool({"unzip", "-t", "-q", archive}, ""), 0);
    EXPECT_EQ(App().helpContext, 0);

    // Again: the entries exist, and "No" keeps them.
    int asked = 0;
    test::AnswerModal(QStringLiteral("ZIPTO"), QStringLiteral("OK"));
    test::WithModal(QStringLiteral("ZIP"), [&](QDialog* z) {
        z->findChild<QLineEdit*>(QStringLiteral("edit1260"))
            ->setText(QString::fromStdString(archive));
        answerNo(&asked);
        z->accept();
    });
    EXPECT_TRUE(zip(0));
    EXPECT_EQ(asked, 2);
}

TEST_F(ZipCommandTest, SplitIntoPartsOfTheChosenSize) {
    std::string noise(1536 * 1024, '\0');
    uint32_t x = 7;
    for (char& c : noise)
        c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
    test::WriteAll(dir.file("left/Project/noise.bin"), noise);
    selectDirectory("Project");
    int refused = 0;
    test::AnswerModal(QStringLiteral("ZIPTO"), QStringLiteral("OK"));
    test::WithModal(QStringLiteral("ZIP"), [&](QDialog* z) {
        z->findChild<QLineEdit*>(QStringLiteral("edit1260"))
            ->setText(QString::fromStdString(dir.file("Right.d/set.zip")));
        auto* split = z->findChild<QLineEdit*>(QStringLiteral("splitSize"));
        split->setText(QStringLiteral("1.5"));
        test::WithModal(QStringLiteral("MESSAGEBOX"), [&, split, z](QDialog* box) {
            ++refused;
            box->accept();
            split->setText(QStringLiteral("1"));
            test::WithModal(QStringLiteral("ZIP"), [](QDialog* again) { again->accept(); });
            (void)z;
        });
        z->accept();
    });
    EXPECT_TRUE(zip(0));
    EXPECT_EQ(refused, 1);
    EXPECT_EQ(std::filesystem::file_size(dir.file("Right.d/set.z01")), 1u << 20);
    EXPECT_TRUE(std::filesystem::exists(dir.file("Right.d/set.zip")));
    // Info-ZIP joins the parts into the archive they make.
    ASSERT_EQ(test::RunTool({"zip", "-q", "-s", "0", dir.file("Right.d/set.zip"), "--out",
                             dir.file("joined.zip")},
                            ""),
              0);
    EXPECT_NE(listing(dir.file("joined.zip")).find("Project/noise.bin"), std::string::npos);
}

TEST_F(ZipCommandTest, CancelAndNothingSelected) {
    left->listing().SelectFileByName("notes.txt");
    bool noneChosen = false;
    test::WithModal(QStringLiteral("ZIPTO"), [&](QDialog* d) {
        noneChosen = d->findChild<QRadioButton*>(QStringLiteral("radio2880"))->isChecked();
        d->reject();
    });
    EXPECT_TRUE(zip(1));
    EXPECT_TRUE(noneChosen);
    EXPECT_FALSE(std::ifstream(dir.file("Right.d/left.run")).good());

    left->listing().SelectAll(false);
    left->listing().SetCursor(0); // ".."
    int boxes = 0;
    test::AnswerModal(QStringLiteral("MESSAGEBOX"), QStringLiteral("OK"), &boxes);
    EXPECT_TRUE(zip(0));
    EXPECT_EQ(boxes, 1);
    PanelMessageEvent other(PmCopy, 0, 0);
    EXPECT_FALSE(HandleZipCommand(*left, *right, other, &mainWindow));
}

} // namespace
