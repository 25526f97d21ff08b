// The archive browser on archives Info-ZIP writes now: listing, sorting,
// extracting with its questions, viewing an entry, opening from a panel.
#include "archive/rar/RarTestSupport.h"
#include "archive/browser/ArchiveBrowser.h"
#include "archive/browser/ArchiveEntryModel.h"
#include "fileops/open_execute/ProcessLauncher.h"
#include "mainwindow/MainFrame.h"
#include "panels/FilePanel.h"
#include "platform/PrivateTemp.h"
#include "resources/CommandIds.h"
#include "settings/SettingsStore.h"
#include "support/DialogAnswerer.h"
#include "support/Fixtures.h"
#include "support/TempDir.h"
#include "ui_services/AppState.h"
#include "ui_services/FormatThousands.h"
#include "viewers/TextEditorWindow.h"

#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <sys/time.h>

using namespace km;

namespace {

TEST(ArchiveFormat, FirstBytesDecideWhateverTheName) {
    EXPECT_EQ(DetectArchiveFormat(std::string_view("PK\x03\x04rest", 8)), ArchiveFormat::Zip);
    EXPECT_EQ(DetectArchiveFormat(""), ArchiveFormat::Zip);
    EXPECT_EQ(DetectArchiveFormat("\x1f\x8b\x08"), ArchiveFormat::Gzip);
    EXPECT_EQ(DetectArchiveFormat("MSCF\0\0\0\0"), ArchiveFormat::Cab);
    EXPECT_EQ(DetectArchiveFormat(std::string_view("Rar!\x1a\x07\x00", 7)), ArchiveFormat::Rar);
    EXPECT_EQ(DetectArchiveFormat(std::string_view("\xfd" "7zXZ\0\0", 7)), ArchiveFormat::Xz);
    EXPECT_EQ(DetectArchiveFormat("BZh91AY&SY"), ArchiveFormat::Bzip2);
    EXPECT_EQ(DetectArchiveFormat("\x28\xb5\x2f\xfd\x04"), ArchiveFormat::Zstd);
    EXPECT_EQ(DetectArchiveFormat("BZh0"), ArchiveFormat::Tar) << "no block size digit";
    EXPECT_EQ(DetectArchiveFormat(std::string_view("7z\xbc\xaf\x27\x1c\x00\x04", 8)),
              ArchiveFormat::Other);
    EXPECT_EQ(DetectArchiveFormat(std::string_view("Rar!\x1a\x07\x01\x00", 8)), ArchiveFormat::Other)
        << "RAR 5";
    EXPECT_EQ(DetectArchiveFormat("!<arch>\ndebian-binary   "), ArchiveFormat::Other);
    EXPECT_EQ(DetectArchiveFormat("x"), ArchiveFormat::Tar);
    EXPECT_EQ(DetectArchiveFormat("PK\x05\x06"), ArchiveFormat::Tar)
        << "an empty ZIP has no local header first";
    EXPECT_EQ(DetectArchiveFormatOfFile("/nonexistent/file"), ArchiveFormat::Zip);
    EXPECT_TRUE(IsArchiveName("a.ZIP"));
    EXPECT_TRUE(IsArchiveName("b.tar.gz"));
    EXPECT_TRUE(IsArchiveName("c.Tgz"));
    EXPECT_TRUE(IsArchiveName("linux-6.1.tar.XZ"));
    EXPECT_TRUE(IsArchiveName("e.tar.zst"));
    EXPECT_TRUE(IsArchiveName("f.tbz2"));
    EXPECT_TRUE(IsArchiveName("g.7z"));
    EXPECT_TRUE(IsArchiveName("debian.iso"));
    EXPECT_FALSE(IsArchiveName("setup.exe"));
    EXPECT_FALSE(IsArchiveName("zip"));
    EXPECT_FALSE(IsArchiveName("d.zipx"));
}

class ArchiveBrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        mkdir(dir.file("src").c_str(), 0755);
        mkdir(dir.file("src/docs").c_str(), 0755);
        test::WriteAll(dir.file("src/readme.txt"), "read me\n");
        test::WriteAll(dir.file("src/docs/big.txt"), std::string(5000, 'b'));
        test::WriteAll(dir.file("src/docs/tab.txt"), "a\tb\n");
        ASSERT_EQ(
            RunAndWait({"zip", "-q", "-r", dir.file("a.zip"), "."}, dir.file("src")).exitStatus, 0);
        mkdir(dir.file("out").c_str(), 0755);
        store = std::make_unique<SettingsStore>(dir.file("KM.reg"));
        App().store = store.get();
    }
    void TearDown() override {
        for (TextEditorWindow* w : TextEditorWindow::OpenWindows())
            w->close();
        App().store = nullptr;
    }
    static QPushButton* button(QDialog* d, int id) {
        return d->findChild<QPushButton*>(QStringLiteral("button%1").arg(id));
    }
    static void clickButton(QDialog* d, const QString& text) {
        for (auto* b : d->findChildren<QAbstractButton*>()) {
            if (b->text().remove(QLatin1Char('&')) == text) {
                b->click();
                return;
            }
        }
    }
    static void select(QDialog* d, const std::string& name) {
        auto* view = d->findChild<QTableView*>("list2190");
        const auto& rows = static_cast<ArchiveEntryModel*>(view->model())->rows();
        for (size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].name == name)
                view->selectRow(static_cast<int>(i));
        }
    }
    test::TempDir dir;
    std::unique_ptr<SettingsStore> store;
};

TEST_F(ArchiveBrowserTest, ListsSortsAndExtractsTheSelectionWithItsPaths) {
    int result = -1;
    test::WithModal("FILECONT", [&](QDialog* d) {
        auto* view = d->findChild<QTableView*>("list2190");
        auto* model = static_cast<ArchiveEntryModel*>(view->model());
        std::vector<std::string> names;
        for (const ArchiveRow& r : model->rows())
            names.push_back(r.name);
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"docs/", "docs/big.txt", "docs/tab.txt",
                                                   "readme.txt"}));
        EXPECT_FALSE(button(d, 2170)->isEnabled());
        model->sort(1);
        EXPECT_EQ(model->rows().back().name, "docs/big.txt");
        EXPECT_EQ(model->index(static_cast<int>(model->rows().size()) - 1, 1)
                      .data()
                      .toString()
                      .toStdString(),
                  FormatThousands(5000));
        model->sort(0);
        model->sort(0);
        EXPECT_EQ(model->rows().front().name, "docs/");

        select(d, "docs/big.txt");
        EXPECT_TRUE(button(d, 2170)->isEnabled());
        // Sorting keeps the picked row picked, so the enabled buttons still mean it.
        model->sort(1);
        const QModelIndexList picked = view->selectionModel()->selectedRows();
        ASSERT_EQ(picked.size(), 1);
        EXPECT_EQ(model->rows()[static_cast<size_t>(picked[0].row())].name, "docs/big.txt");
        model->sort(0);
        test::WithModal("UNZIP", [&](QDialog* u) {
            EXPECT_EQ(u->findChild<QLineEdit*>("edit1260")->text().toStdString(), dir.file("out"));
            u->findChild<QLineEdit*>("edit1260")
                ->setText(QString::fromStdString(dir.file("out/new/deeper")));
            u->findChild<QPushButton*>("ok")->click();
        });
        int boxes = 0;
        // First: create the directory; then: extract with paths.
        test::WithModal("MESSAGEBOX", [&](QDialog* box) {
            ++boxes;
            test::AnswerModal("MESSAGEBOX", "Yes", &boxes);
            clickButton(box, "Yes");
        });
        button(d, 2170)->click();
        EXPECT_EQ(boxes, 2);
    });
    result = ArchiveBrowser::Run(dir.file("a.zip"), dir.file("out"), nullptr);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(test::ReadAll(dir.file("out/new/deeper/docs/big.txt")), std::string(5000, 'b'));
    struct stat st;
    EXPECT_NE(stat(dir.file("out/new/deeper/readme.txt").c_str(), &st), 0) << "only the selection";
}

TEST_F(ArchiveBrowserTest, ExtractAllTakesNamesThatLookLikePatterns) {
    mkdir(dir.file("odd").c_str(), 0755);
    for (const char* n : {"file[1].txt", ";notes", "plain.txt"})
        test::WriteAll(dir.file("odd/") + n, n);
    ASSERT_EQ(RunAndWait({"zip", "-q", dir.file("odd.zip"), "file[1].txt", ";notes", "plain.txt"},
                         dir.file("odd"))
                  .exitStatus,
              0);
    test::WithModal("FILECONT", [&](QDialog* d) {
        test::WithModal("UNZIP", [&](QDialog* u) { u->findChild<QPushButton*>("ok")->click(); });
        button(d, 2180)->click();
    });
    ArchiveBrowser::Run(dir.file("odd.zip"), dir.file("out"), nullptr);
    for (const char* n : {"file[1].txt", ";notes", "plain.txt"})
        EXPECT_EQ(test::ReadAll(dir.file("out/") + n), n) << n;
}

// The engine's records carry names with '|' in them; a row keeps every byte.
TEST_F(ArchiveBrowserTest, BarsAndBackslashesInNamesAndInTheArchivePath) {
    const std::string folder = dir.file("a|b");
    mkdir(folder.c_str(), 0755);
    mkdir((folder + "/in|dir").c_str(), 0755);
    test::WriteAll(folder + "/a|b.txt", "pipe\n");
    test::WriteAll(folder + "/in|dir/x|y.txt", std::string(300, 's'));
    ASSERT_EQ(RunAndWait({"zip", "-q", "-r", folder + "/a.zip", "a|b.txt", "in|dir"}, folder)
                  .exitStatus,
              0);
    test::WithModal("FILECONT", [&](QDialog* d) {
        auto* view = d->findChild<QTableView*>("list2190");
        auto* model = static_cast<ArchiveEntryModel*>(view->model());
        std::map<std::string, uint64_t> rows;
        for (const ArchiveRow& r : model->rows())
            rows[r.name] = r.size;
        EXPECT_EQ(rows, (std::map<std::string, uint64_t>{
                            {"a|b.txt", 5}, {"in|dir/", 0}, {"in|dir/x|y.txt", 300}}));
        select(d, "a|b.txt");
        test::WithModal("UNZIP", [&](QDialog* u) { u->findChild<QPushButton*>("ok")->click(); });
        test::AnswerModal("MESSAGEBOX", "Yes"); // extract with the stored paths
        button(d, 2170)->click();
    });
    EXPECT_EQ(ArchiveBrowser::Run(folder + "/a.zip", dir.file("out"), nullptr), 1);
    // Only the picked entry comes out (under whatever name the output mapping gives it).
    int files = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.file("out"))) {
        if (e.is_regular_file()) {
            ++files;
            EXPECT_EQ(test::ReadAll(e.path().string()), "pipe\n");
        }
    }
    EXPECT_EQ(files, 1);
}

TEST_F(ArchiveBrowserTest, OverwriteQuestionViewAndTheTextTest) {
    test::WriteAll(dir.file("out/readme.txt"), "old");
    test::WithModal("FILECONT", [&](QDialog* d) {
        // View: a text entry opens read-only; one with a TAB among its first bytes does not.
        select(d, "readme.txt");
        button(d, 6500)->click();
        ASSERT_EQ(TextEditorWindow::OpenWindows().size(), 1u);
        EXPECT_TRUE(TextEditorWindow::OpenWindows()[0]->windowTitle().startsWith("KM Viewer - "));
        int boxes = 0;
        select(d, "docs/tab.txt");
        test::AnswerModal("MESSAGEBOX", "OK", &boxes);
        button(d, 6500)->click();
        EXPECT_EQ(boxes, 1) << "Can't show this type of file";

        // Extract all: the existing file is asked about and kept on No.
        test::AnswerModal("UNZIP", "Extract");
        test::AnswerModal("MESSAGEBOX", "No", &boxes); // no paths
        test::AnswerModal("OVERWRITE", "No", &boxes);
        button(d, 2180)->click();
        EXPECT_EQ(boxes, 3);
    });
    EXPECT_EQ(ArchiveBrowser::Run(dir.file("a.zip"), dir.file("out"), nullptr), 1);
    EXPECT_EQ(test::ReadAll(dir.file("out/readme.txt")), "old");
    EXPECT_EQ(test::ReadAll(dir.file("out/big.txt")), std::string(5000, 'b')) << "without paths";
}

TEST_F(ArchiveBrowserTest, EncryptedEntriesAskThePasswordAndTheOverwriteQuestionShowsBothFiles) {
    mkdir(dir.file("enc").c_str(), 0755);
    test::WriteAll(dir.file("enc/secret.txt"), "the new text");
    ASSERT_EQ(RunAndWait({"zip", "-q", "-P", "open sesame", dir.file("enc.zip"), "secret.txt"},
                         dir.file("enc"))
                  .exitStatus,
              0);
    test::WriteAll(dir.file("out/secret.txt"), "old");
    struct tm old = {};
    old.tm_year = 2020 - 1900;
    old.tm_mon = 0;
    old.tm_mday = 2;
    old.tm_hour = 12;
    old.tm_isdst = -1;
    const struct timeval times[2] = {{mktime(&old), 0}, {mktime(&old), 0}};
    utimes(dir.file("out/secret.txt").c_str(), times);
    std::string question;
    test::WithModal("FILECONT", [&](QDialog* d) {
        test::AnswerModal("UNZIP", "Extract");
        test::WithModal("PASSWORD", [&](QDialog* p) {
            EXPECT_EQ(p->windowTitle().toStdString(), "KM - Password protected archive");
            EXPECT_EQ(p->findChild<QLabel*>("passwordText")->text().toStdString(),
                      "Password for file secret.txt:");
            p->findChild<QLineEdit*>("edit1250")->setText("open sesame");
            test::WithModal("OVERWRITE", [&](QDialog* o) {
                for (auto* l : o->findChildren<QLabel*>())
                    question += l->text().toStdString() + "\n";
                clickButton(o, "Yes");
            });
            p->findChild<QPushButton*>("ok")->click();
        });
        button(d, 2180)->click();
    });
    EXPECT_EQ(ArchiveBrowser::Run(dir.file("enc.zip"), dir.file("out"), nullptr), 1);
    EXPECT_EQ(test::ReadAll(dir.file("out/secret.txt")), "the new text");
    EXPECT_NE(
        question.find("Target directory " + dir.file("out") + " already contains a secret.txt."),
        std::string::npos)
        << question;
    EXPECT_NE(question.find("2020"), std::string::npos) << question;
    EXPECT_EQ(question.find("1970"), std::string::npos) << question;
}

TEST_F(ArchiveBrowserTest, SplitSetsAndArchivesBehindAStubAreZip) {
    std::string noise(300000, '\0');
    uint32_t x = 1;
    for (char& c : noise)
        c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
    test::WriteAll(dir.file("src/noise.bin"), noise);
    ASSERT_EQ(
        RunAndWait({"zip", "-q", "-s", "64k", "-r", dir.file("set.zip"), "."}, dir.file("src"))
            .exitStatus,
        0);
    EXPECT_EQ(DetectArchiveFormatOfFile(dir.file("set.z01")), ArchiveFormat::Zip);
    EXPECT_EQ(DetectArchiveFormatOfFile(dir.file("set.zip")), ArchiveFormat::Zip);
    EXPECT_TRUE(IsArchiveName("set.Z01"));
    test::WriteAll(dir.file("sfx"), std::string("\x7f"
                                                "ELF stub") +
                                        test::ReadAll(dir.file("a.zip")));
    EXPECT_EQ(DetectArchiveFormatOfFile(dir.file("sfx")), ArchiveFormat::Zip);
    // A tarball stays one, even when its last member is a ZIP archive.
    ASSERT_EQ(RunAndWait({"tar", "cf", dir.file("t.tar"), "a.zip"}, dir.path()).exitStatus, 0);
    EXPECT_EQ(DetectArchiveFormatOfFile(dir.file("t.tar")), ArchiveFormat::Tar);

    test::WithModal("FILECONT", [&](QDialog* d) {
        test::AnswerModal("UNZIP", "Extract");
        test::AnswerModal("MESSAGEBOX", "Yes"); // with paths
        button(d, 2180)->click();
    });
    EXPECT_EQ(ArchiveBrowser::Run(dir.file("set.zip"), dir.file("out"), nullptr), 1);
    EXPECT_EQ(test::ReadAll(dir.file("out/noise.bin")), noise);
    EXPECT_EQ(test::ReadAll(dir.file("out/docs/big.txt")), std::string(5000, 'b'));
}

// Opened over the main window: rows like the panels', commands that need a
// row wait for one, and what View and Edit open is named for the entry and
// takes input while the browser stays open.
TEST_F(ArchiveBrowserTest, EntriesOpenInFrontNamedForTheEntryAndRowsMatchThePanels) {
    QImage picture(8, 8, QImage::Format_RGB888);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(QString::fromStdString(dir.file("src/docs/red.png"))));
    ASSERT_EQ(RunAndWait({"zip", "-q", "-r", dir.file("b.zip"), "."}, dir.file("src")).exitStatus,
              0);
    store->PutString("Paden", "Links", dir.path());
    store->PutString("Paden", "Rechts", dir.file("out"));
    MainFrame frame;
    frame.show();
    QTest::qWait(20);
    ASSERT_GT(frame.panel(0)->model()->rowCount(), 0);
    const int panelRow = frame.panel(0)->rowHeight(0);
    test::WithModal("FILECONT", [&](QDialog* d) {
        auto* view = d->findChild<QTableView*>("list2190");
        EXPECT_EQ(view->rowHeight(0), panelRow);

        for (int id : {1180, 6500, 1350})
            EXPECT_FALSE(button(d, id)->isEnabled()) << id;
        QTest::keyClick(d, Qt::Key_E, Qt::AltModifier);
        EXPECT_TRUE(TextEditorWindow::OpenWindows().empty()) << "Edit with nothing selected";

        select(d, "docs/big.txt");
        button(d, 6500)->click();
        ASSERT_EQ(TextEditorWindow::OpenWindows().size(), 1u);
        TextEditorWindow* viewer = TextEditorWindow::OpenWindows()[0];
        EXPECT_EQ(viewer->windowTitle(), QStringLiteral("KM Viewer - b.zip: docs/big.txt"));
        EXPECT_TRUE(viewer->isVisible());
        EXPECT_TRUE(QTest::qWaitForWindowActive(viewer)) << "blocked by the browser";
        EXPECT_EQ(QApplication::activeModalWidget(), d);
        // Esc belongs to the viewer, not to the browser behind it.
        QPointer<TextEditorWindow> guard(viewer);
        QTest::keyClick(viewer->textEdit(), Qt::Key_Escape);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(guard.isNull());
        EXPECT_TRUE(d->isVisible());

        button(d, 1180)->click();
        ASSERT_EQ(TextEditorWindow::OpenWindows().size(), 1u);
        TextEditorWindow* editor = TextEditorWindow::OpenWindows()[0];
        EXPECT_FALSE(editor->isViewOnly());
        EXPECT_EQ(editor->windowTitle(), QStringLiteral("KM Editor - b.zip: docs/big.txt"));
        EXPECT_TRUE(QTest::qWaitForWindowActive(editor));

        QString pictureTitle;
        test::WithModal("VIEW", [&](QDialog* v) {
            pictureTitle = v->windowTitle();
            v->reject();
        });
        select(d, "docs/red.png");
        button(d, 6500)->click();
        EXPECT_EQ(pictureTitle, QStringLiteral("KM Viewer - b.zip: docs/red.png"));
        button(d, 3010)->click();
    });
    EXPECT_EQ(ArchiveBrowser::Run(dir.file("b.zip"), dir.file("out"), &frame), 1);
}

TEST_F(ArchiveBrowserTest, EnterOnAnArchiveInAPanelOpensTheBrowser) {
    store->PutString("Paden", "Links", dir.path());
    store->PutString("Paden", "Rechts", dir.file("out"));
    MainFrame frame;
    frame.show();
    QTest::qWait(20);
    FilePanel* left = frame.panel(0);
    const auto& rows = left->listing().entries;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].name == "a.zip")
            left->MoveCursor(static_cast<int>(i));
    }
    int seen = 0;
    test::AnswerModal("FILECONT", "Close", &seen);
    left->EnterFocused();
    EXPECT_EQ(seen, 1);
    test::AnswerModal("FILECONT", "", &seen);
    frame.OnCommand(CmdOpenArchive);
    EXPECT_EQ(seen, 2);
}

} // namespace

namespace {

// Today's tarballs and a lone compressed log open in the browser like any archive.
TEST_F(ArchiveBrowserTest, XzTarballsAndLoneCompressedFilesOpen) {
    ASSERT_EQ(
        RunAndWait({"tar", "-cJf", dir.file("t.tar.xz"), "-C", dir.file("src"), "."}, {}).exitStatus,
        0);
    test::WithModal("FILECONT", [&](QDialog* d) {
        test::AnswerModal("UNZIP", "Extract");
        test::AnswerModal("MESSAGEBOX", "Yes"); // with their directories
        button(d, 2180)->click();
    });
    EXPECT_EQ(ArchiveBrowser::Run(dir.file("t.tar.xz"), dir.file("out"), nullptr), 1);
    EXPECT_EQ(test::ReadAll(dir.file("out/docs/big.txt")), std::string(5000, 'b'));

    test::WriteAll(dir.file("server.log"), std::string(3000, 'L'));
    ASSERT_EQ(RunAndWait({"gzip", dir.file("server.log")}, {}).exitStatus, 0);
    test::WithModal("FILECONT", [&](QDialog* d) {
        auto* model =
            static_cast<ArchiveEntryModel*>(d->findChild<QTableView*>("list2190")->model());
        ASSERT_EQ(model->rows().size(), 1u);
        EXPECT_EQ(model->rows()[0].name, "server.log");
        EXPECT_EQ(model->rows()[0].size, 3000u);
        test::AnswerModal("UNZIP", "Extract");
        button(d, 2180)->click();
    });
    EXPECT_EQ(ArchiveBrowser::Run(dir.file("server.log.gz"), dir.file("out"), nullptr), 1);
    EXPECT_EQ(test::ReadAll(dir.file("out/server.log")), std::string(3000, 'L'));
}

// RAR 1.5 and 2.0 keep the program's reader; RAR 3 goes to libarchive, told by its headers.
TEST(ArchiveFormat, RarVersionsPickTheirReader) {
    const auto first = [](const char* name) {
        return test::ReadAll(std::string(KM_FIXTURES_DIR) + "/rar/" + name).substr(0, 4096);
    };
    EXPECT_EQ(DetectArchiveFormat(first("Rar2.rar")), ArchiveFormat::Rar);
    EXPECT_EQ(DetectArchiveFormat(first("Rar15.rar")), ArchiveFormat::Rar);
    EXPECT_EQ(DetectArchiveFormat(first("rar3-solid.rar")), ArchiveFormat::Other);
    EXPECT_TRUE(NeedsLaterRarReader(first("rar3-solid.rar")));
    EXPECT_FALSE(NeedsLaterRarReader(first("Rar2.rar")));
    // Cut headers never read past the bytes given.
    const std::string rar3 = first("rar3-solid.rar");
    for (size_t n = 0; n < 64; ++n)
        NeedsLaterRarReader(std::string_view(rar3).substr(0, n));
}

// 7-Zip through libarchive: listed, extracted with its directories, and viewed.
TEST_F(ArchiveBrowserTest, SevenZipArchivesOpenLikeAnyOther) {
    ASSERT_EQ(RunAndWait({"7zz", "a", "-bd", "-bso0", dir.file("a.7z"), "."}, dir.file("src")).exitStatus,
              0);
    EXPECT_EQ(DetectArchiveFormatOfFile(dir.file("a.7z")), ArchiveFormat::Other);
    // Behind a program's first bytes, as a self-extractor has it.
    test::WriteAll(dir.file("setup"), test::ReadAll("/bin/true").substr(0, 70000) +
                                          test::ReadAll(dir.file("a.7z")));
    EXPECT_EQ(DetectArchiveFormatOfFile(dir.file("setup")), ArchiveFormat::Other);
    test::WithModal("FILECONT", [&](QDialog* d) {
        auto* model =
            static_cast<ArchiveEntryModel*>(d->findChild<QTableView*>("list2190")->model());
        bool found = false;
        for (const ArchiveRow& r : model->rows())
            found = found || (r.name == "docs/big.txt" && r.size == 5000);
        EXPECT_TRUE(found);
        test::AnswerModal("UNZIP", "Extract");
        test::AnswerModal("MESSAGEBOX", "Yes"); // with their directories
        button(d, 2180)->click();
    });
    EXPECT_EQ(ArchiveBrowser::Run(dir.file("a.7z"), dir.file("out"), nullptr), 1);
    EXPECT_EQ(test::ReadAll(dir.file("out/docs/big.txt")), std::string(5000, 'b'));
    EXPECT_EQ(test::ReadAll(dir.file("out/readme.txt")), "read me\n");
}

// A truncated download: the rows that could be read, the message, and the window stays.
TEST_F(ArchiveBrowserTest, DamagedTarballShowsWhatCanBeRead) {
    ASSERT_EQ(
        RunAndWait({"tar", "-cf", dir.file("t.tar"), "-C", dir.file("src"), "."}, {}).exitStatus, 0);
    const std::string whole = test::ReadAll(dir.file("t.tar"));
    const size_t big = whole.find("docs/big.txt");
    ASSERT_NE(big, std::string::npos);
    test::WriteAll(dir.file("cut.tar"), whole.substr(0, big + 512 + 1000));
    int boxes = 0;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString text;
    test::WithModal("MESSAGEBOX", [&](QDialog* m) {
        ++boxes;
        icon = static_cast<QMessageBox*>(m)->icon();
        text = static_cast<QMessageBox*>(m)->text();
        m->accept();
    });
    int rows = -1;
    test::WithModal("FILECONT", [&](QDialog* d) {
        rows = static_cast<int>(
            static_cast<ArchiveEntryModel*>(d->findChild<QTableView*>("list2190")->model())
                ->rows()
                .size());
        button(d, 3010)->click();
    });
    EXPECT_EQ(ArchiveBrowser::Run(dir.file("cut.tar"), dir.file("out"), nullptr), 1);
    EXPECT_EQ(boxes, 1) << "Invalid archive, once";
    EXPECT_EQ(text, "Invalid archive");
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_GE(rows, 2);
}

TEST_F(ArchiveBrowserTest, TheUnzipEnginesErrorShowsWithTheStopIconAndClosesTheBrowser) {
    const std::string whole = test::ReadAll(dir.file("a.zip"));
    test::WriteAll(dir.file("cut.zip"), whole.substr(0, 40)); // no central directory left
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString text;
    test::WithModal("MESSAGEBOX", [&](QDialog* m) {
        icon = static_cast<QMessageBox*>(m)->icon();
        text = static_cast<QMessageBox*>(m)->text();
        m->accept();
    });
    EXPECT_EQ(ArchiveBrowser::Run(dir.file("cut.zip"), dir.file("out"), nullptr), 0);
    EXPECT_TRUE(text.startsWith("Unzip error")) << text.toStdString();
    EXPECT_EQ(icon, QMessageBox::Critical);
}

TEST_F(ArchiveBrowserTest, GzipCompressedTarIsListedAndExtractedWithItsDirectories) {
    ASSERT_EQ(
        RunAndWait({"tar", "-czf", dir.file("t.tgz"), "-C", dir.file("src"), "."}, {}).exitStatus,
        0);
    test::WithModal("FILECONT", [&](QDialog* d) {
        auto* model =
            static_cast<ArchiveEntryModel*>(d->findChild<QTableView*>("list2190")->model());
        bool found = false;
        for (const ArchiveRow& r : model->rows())
            found = found || (r.name == "./docs/big.txt" && r.size == 5000);
        EXPECT_TRUE(found);
        test::AnswerModal("UNZIP", "Extract");
        test::AnswerModal("MESSAGEBOX", "Yes"); // with their directories
        button(d, 2180)->click();
    });
    EXPECT_EQ(ArchiveBrowser::Run(dir.file("t.tgz"), dir.file("out"), nullptr), 1);
    EXPECT_EQ(test::ReadAll(dir.file("out/docs/big.txt")), std::string(5000, 'b'));
    EXPECT_EQ(test::ReadAll(dir.file("out/readme.txt")), "read me\n");

    // Not an archive at all: said so, and the window does not open.
    test::WriteAll(dir.file("junk.tar"), "this is no archive");
    int boxes = 0;
    test::AnswerModal("MESSAGEBOX", "OK", &boxes);
    EXPECT_EQ(ArchiveBrowser::Run(dir.file("junk.tar"), dir.file("out"), nullptr), 0);
    EXPECT_EQ(boxes, 1);
}

} // namespace

namespace {

TEST_F(ArchiveBrowserTest, CabinetEntriesOfEveryCompressionAreListedAndExtracted) {
    const std::string cab = std::string(KM_FIXTURES_DIR) + "/cab/mszip_lzx_qtm.cab";
    test::WithModal("FILECONT", [&](QDialog* d) {
        auto* model =
            static_cast<ArchiveEntryModel*>(d->findChild<QTableView*>("list2190")->model());
        ASSERT_EQ(model->rows().size(), 3u);
        select(d, "lzx.txt");
        button(d, 6500)->click(); // view through the temporary copy
    });
    // A cabinet's browser closes after View, Edit or Execute, with result 0.
    EXPECT_EQ(ArchiveBrowser::Run(cab, dir.file("out"), nullptr), 0);
    ASSERT_EQ(TextEditorWindow::OpenWindows().size(), 1u);
    test::WithModal("FILECONT", [&](QDialog* d) {
        test::AnswerModal("UNZIP", "Extract");
        button(d, 2180)->click();
    });
    EXPECT_EQ(ArchiveBrowser::Run(cab, dir.file("out"), nullptr), 1);
    struct stat st;
    for (const char* name : {"mszip.txt", "lzx.txt", "qtm.txt"})
        EXPECT_EQ(stat(dir.file(std::string("out/") + name).c_str(), &st), 0) << name;
    EXPECT_EQ(stat(dir.file("out/qtm.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 59);
}

} // namespace

namespace {

// Three encrypted files: the password once, then "For all files" at the first reuse question.
TEST_F(ArchiveBrowserTest, RarPasswordIsReusedForAllFilesWhenTheUserSaysSo) {
    const std::vector<uint8_t> rar = test::ThreeEncrypted(0);
    test::WriteAll(dir.file("e.rar"), std::string(rar.begin(), rar.end()));
    int passwords = 0, reuses = 0;
    test::WithModal("FILECONT", [&](QDialog* d) {
        test::AnswerModal("UNZIP", "Extract");
        test::WithModal("PASSWORD", [&](QDialog* p) {
            ++passwords;
            EXPECT_EQ(p->windowTitle(), "KM - Password protected archive");
            p->findChild<QLineEdit*>("edit1250")->setText("pw");
            test::WithModal("PASSWORDUSE", [&](QDialog* u) {
                ++reuses;
                EXPECT_EQ(u->findChild<QLabel*>("passwordText")->text(),
                          "Use current password for file b.txt?");
                for (auto* b : u->findChildren<QPushButton*>()) {
                    if (b->text() == "For &all files")
                        b->click();
                }
            });
            p->accept();
        });
        button(d, 2180)->click();
    });
    EXPECT_EQ(ArchiveBrowser::Run(dir.file("e.rar"), dir.file("out"), nullptr), 1);
    EXPECT_EQ(passwords, 1);
    EXPECT_EQ(reuses, 1);
    EXPECT_EQ(test::ReadAll(dir.file("out/c.txt")), "secret c.txt");
}

TEST_F(ArchiveBrowserTest, RarEntriesAreListedAndExtractedWithTheirDirectories) {
    const std::string rar = std::string(KM_FIXTURES_DIR) + "/rar/Rar2.rar";
    test::WithModal("FILECONT", [&](QDialog* d) {
        auto* model =
            static_cast<ArchiveEntryModel*>(d->findChild<QTableView*>("list2190")->model());
        bool found = false;
        for (const ArchiveRow& r : model->rows())
            found = found || (r.name.find("test.jpg") != std::string::npos && r.size == 40372);
        EXPECT_TRUE(found);
        test::AnswerModal("UNZIP", "Extract");
        test::AnswerModal("MESSAGEBOX", "Yes"); // with their directories
        button(d, 2180)->click();
    });
    EXPECT_EQ(ArchiveBrowser::Run(rar, dir.file("out"), nullptr), 1);
    struct stat st;
    ASSERT_EQ(stat(dir.file("out/jpg/test.jpg").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 40372);
}

} // namespace

TEST_F(ArchiveBrowserTest, AFailedExtractionNeverOpensAnEarlierCopyOfTheSameName) {
    mkdir(dir.file("enc").c_str(), 0755);
    test::WriteAll(dir.file("enc/secret.txt"), "the archived text");
    ASSERT_EQ(RunAndWait({"zip", "-q", "-P", "pw", dir.file("enc.zip"), "secret.txt"},
                         dir.file("enc"))
                  .exitStatus,
              0);
    // What an earlier view of another archive left under the same name.
    const std::string stale = PrivateTempDir() + "/secret.txt";
    test::WriteAll(stale, "another archive's text");
    test::WithModal("FILECONT", [&](QDialog* d) {
        select(d, "secret.txt");
        test::WithModal("PASSWORD", [](QDialog* p) { p->reject(); });
        button(d, 6500)->click();
        EXPECT_TRUE(TextEditorWindow::OpenWindows().empty()) << "opened the earlier copy";
        button(d, 3010)->click();
    });
    ArchiveBrowser::Run(dir.file("enc.zip"), dir.file("out"), nullptr);
    unlink(stale.c_str());
}

// A RAR 1.5 self-extractor: a DOS program, then the archive, which our own
// reader takes where its marker is; a later RAR version behind a program
// still goes to the other reader.
TEST_F(ArchiveBrowserTest, ARarSelfExtractorIsOpenedByOurOwnReader) {
    const std::string rar15 = test::FixturePath("rar/Rar15.rar");
    const std::string rar3 = test::FixturePath("rar/rar3-solid.rar");
    const std::string stub = "MZ" + std::string(7257, '\x90');
    test::WriteAll(dir.file("setup.exe"), stub + test::ReadAll(rar15));
    EXPECT_EQ(DetectArchiveFormatOfFile(dir.file("setup.exe")), ArchiveFormat::Rar);
    test::WriteAll(dir.file("later.exe"), stub + test::ReadAll(rar3));
    EXPECT_EQ(DetectArchiveFormatOfFile(dir.file("later.exe")), ArchiveFormat::Other);
}

// Names that differ only in case are two entries: picking one extracts that one.
TEST_F(ArchiveBrowserTest, PickingAnEntryExtractsThatNameOnly) {
    mkdir(dir.file("case").c_str(), 0755);
    test::WriteAll(dir.file("case/README"), "upper\n");
    test::WriteAll(dir.file("case/readme"), "lower\n");
    ASSERT_EQ(RunAndWait({"tar", "-cf", dir.file("c.tar"), "README", "readme"}, dir.file("case")).exitStatus, 0);
    test::WithModal("FILECONT", [&](QDialog* d) {
        select(d, "README");
        test::WithModal("UNZIP", [&](QDialog* u) { u->findChild<QPushButton*>("ok")->click(); });
        button(d, 2170)->click();
    });
    EXPECT_EQ(ArchiveBrowser::Run(dir.file("c.tar"), dir.file("out"), nullptr), 1);
    EXPECT_EQ(test::ReadAll(dir.file("out/README")), "upper\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("out/readme")));
}
