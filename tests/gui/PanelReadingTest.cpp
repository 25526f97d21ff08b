// The panels with real directories as users meet them: scrolled lists,
// names in any script, any locale, directories that change all the time,
// a million entries and a file system that never answers.
#include "mainwindow/MainFrame.h"

#include "panels/CellText.h"
#include "panels/DriveBar.h"
#include "panels/FilePanel.h"
#include "panels/PanelModel.h"
#include "platform/FileTime.h"
#include "platform/LocaleInfo.h"
#include "platform/PathUtil.h"
#include "settings/SettingsStore.h"
#include "support/BlockingFileSystem.h"
#include "support/Python.h"
#include "support/ScratchFileSystem.h"
#include "support/TempDir.h"
#include "ui_services/AppState.h"

#include <QKeyEvent>
#include <QLabel>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <clocale>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <thread>
#include <utime.h>

using namespace km;
using Clock = std::chrono::steady_clock;

namespace {

class PanelReadingTest : public ::testing::Test {
protected:
    void SetUp() override {
        store = std::make_unique<SettingsStore>(dir.file("KM.reg"));
        App().store = store.get();
        mkdir(dir.file("files").c_str(), 0755);
    }
    void TearDown() override {
        frame.reset();
        panel.reset();
        App().store = nullptr;
    }
    // A panel of its own on `path`.
    void openPanel(const std::string& path) {
        panel = std::make_unique<FilePanel>(FilePanel::kLeftId);
        panel->resize(400, 300);
        panel->listing().path = path;
        panel->show();
        ASSERT_TRUE(panel->Refresh());
        ASSERT_FALSE(panel->reading());
    }
    // The main window with both panels on `left` and `right`.
    void openFrame(const std::string& left, const std::string& right) {
        store->PutString("Paden", "Links", left);
        store->PutString("Paden", "Rechts", right);
        frame = std::make_unique<MainFrame>();
        frame->showWithPlacement();
        QTest::qWait(20);
    }
    static int rowOf(const FilePanel& p, const std::string& name) {
        const auto& rows = p.listing().entries;
        for (size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].name == name)
                return static_cast<int>(i);
        }
        return -1;
    }
    static std::string cursorName(const FilePanel& p) {
        const int c = p.listing().cursor();
        return c < 0 ? std::string() : p.listing().entries[static_cast<size_t>(c)].name;
    }
    static void typeText(QWidget* w, const QString& text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text);
        QApplication::sendEvent(w, &press);
    }

    test::TempDir dir;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<FilePanel> panel;
    std::unique_ptr<MainFrame> frame;
};

} // namespace

TEST_F(PanelReadingTest, AClickHitsTheRowUnderThePointerAtAnyScrollPosition) {
    for (int i = 0; i < 60; ++i)
        test::WriteAll(dir.file("files/data_" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ".bin"), "x");
    openPanel(dir.file("files"));
    QFont font = panel->font();
    font.setPointSize(12);
    panel->ApplyFont(font, QFontMetrics(font).height() + 3);
    // A height that is no whole number of rows: at the end of the list the
    // top row is only partly shown.
    panel->resize(400, 7 * (QFontMetrics(font).height() + 3) + 11);
    QTest::qWait(10);
    for (const bool bottom : {true, false}) {
        if (bottom)
            panel->scrollToBottom();
        else
            panel->verticalScrollBar()->setValue(panel->verticalScrollBar()->maximum() / 2);
        QTest::qWait(10);
        const int first = panel->rowAt(0), last = panel->rowAt(panel->viewport()->height() - 1);
        ASSERT_GE(first, 0);
        for (int row = first; row <= last; ++row) {
            const QRect r = panel->visualRect(panel->panelModel()->index(row, 0));
            // Near the top and the bottom edge of the row, where an offset shows first.
            for (const int y : {r.top() + 1, r.bottom() - 1}) {
                if (y < 0 || y >= panel->viewport()->height())
                    continue;
                QTest::mouseClick(panel->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(20, y));
                ASSERT_EQ(panel->listing().cursor(), row) << "y " << y;
                EXPECT_TRUE(panel->listing().entries[static_cast<size_t>(row)].selected);
                EXPECT_EQ(panel->listing().selectedFiles, 1);
            }
        }
    }
}

TEST_F(PanelReadingTest, QuickSearchFindsNamesOfAnyScriptWithoutCase) {
    for (const char* n : {"\u00e9clair.txt", "\u0416\u0443\u043a", "\u6771\u4eac.txt", "zeta", "\u00c9t\u00e9"})
        test::WriteAll(dir.file(std::string("files/") + n), "x");
    openPanel(dir.file("files"));
    typeText(panel.get(), QStringLiteral("\u00c9")); // É finds é…, then É… (either case)
    const std::string firstE = cursorName(*panel);
    EXPECT_TRUE(firstE == "\u00e9clair.txt" || firstE == "\u00c9t\u00e9") << firstE;
    EXPECT_EQ(panel->listing().selectedFiles, 1);
    typeText(panel.get(), QStringLiteral("\u00e9"));
    EXPECT_NE(cursorName(*panel), firstE);
    EXPECT_TRUE(cursorName(*panel) == "\u00e9clair.txt" || cursorName(*panel) == "\u00c9t\u00e9");
    typeText(panel.get(), QStringLiteral("\u0436")); // ж finds Жук
    EXPECT_EQ(cursorName(*panel), "\u0416\u0443\u043a");
    typeText(panel.get(), QStringLiteral("\u6771"));
    EXPECT_EQ(cursorName(*panel), "\u6771\u4eac.txt");
    typeText(panel.get(), QStringLiteral("\u00df")); // nothing begins with ß
    EXPECT_EQ(panel->listing().cursor(), -1);
    EXPECT_EQ(panel->listing().selectedFiles, 0);
}

namespace {

struct LocaleCase {
    const char* name;
    const char* size;    // 1234567 as the panel writes it
    const char* date;    // 2026-12-10 as the date column writes it
};

class PanelLocaleTest : public PanelReadingTest, public ::testing::WithParamInterface<LocaleCase> {
protected:
    void SetUp() override {
        PanelReadingTest::SetUp();
        saved_ = setlocale(LC_ALL, nullptr);
        savedInfo_ = CurrentLocale();
    }
    void TearDown() override {
        setlocale(LC_ALL, saved_.c_str());
        SetCurrentLocale(savedInfo_);
        PanelReadingTest::TearDown();
    }
    std::string saved_;
    LocaleInfo savedInfo_;
};

bool ValidUtf8(const std::string& s) {
    const QString text = QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
    return !text.contains(QChar::ReplacementCharacter) && text.toUtf8().toStdString() == s;
}

} // namespace

TEST_P(PanelLocaleTest, SizesSummaryDatesAndDriveLineSpeakTheLocale) {
    const LocaleCase& c = GetParam();
    if (!setlocale(LC_ALL, c.name))
        GTEST_SKIP() << c.name << " is not generated here (locale-gen)";
    SetCurrentLocale(ReadSystemLocale());
    setenv("TZ", "UTC", 1);
    tzset();
    const std::string file = dir.file("files/big.bin");
    test::WriteAll(file, std::string(1234567, 'x'));
    const utimbuf times{1796907900, 1796907900}; // 2026-12-10 13:05 UTC
    utime(file.c_str(), &times);
    openPanel(dir.file("files"));
    const int row = rowOf(*panel, "big.bin");
    ASSERT_GE(row, 0);
    const QString size = panel->panelModel()->index(row, 1).data().toString();
    EXPECT_EQ(size.toStdString(), c.size);
    const QString date = panel->panelModel()->index(row, 2).data().toString();
    EXPECT_TRUE(date.startsWith(QString::fromUtf8("  ") + QString::fromUtf8(c.date) + "  13:05"))
        << date.toStdString();

    panel->ClickSelect(row, Qt::NoModifier);
    const std::string& summary = panel->listing().summaryText;
    EXPECT_EQ(summary.substr(0, summary.find(" bytes")), std::string("1 file, ") + c.size);
    EXPECT_TRUE(ValidUtf8(summary));
    EXPECT_EQ(QString::fromUtf8(summary.data(), static_cast<qsizetype>(summary.size())).size(), 120);

    DriveBar bar(FilePanel::kLeftId);
    bar.setDrive("/");
    bar.UpdateInfo();
    QTRY_VERIFY_WITH_TIMEOUT(!bar.infoText().empty() && bar.infoText()[0] != ' ', 5000);
    EXPECT_TRUE(ValidUtf8(bar.infoText())) << bar.infoText();
    EXPECT_NE(bar.infoText().find(" total, "), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, PanelLocaleTest,
    ::testing::Values(LocaleCase{"fr_FR.UTF-8", "1\u202f234\u202f567", "10/12/26"},
                      LocaleCase{"ru_RU.UTF-8", "1\u202f234\u202f567", "10.12.26"},
                      LocaleCase{"de_DE.UTF-8", "1.234.567", "10.12.26"},
                      LocaleCase{"ja_JP.UTF-8", "1,234,567", "26\u5e7412\u670810\u65e5"},
                      LocaleCase{"C.UTF-8", "1,234,567", "12/10/26"}),
    [](const ::testing::TestParamInfo<LocaleCase>& info) {
        std::string n = info.param.name;
        for (char& ch : n)
            if (!isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return n;
    });

TEST_F(PanelReadingTest, TheWatcherLivesOnAfterItsDirectoryIsMadeAgain) {
    mkdir(dir.file("other").c_str(), 0755);
    openFrame(dir.file("files"), dir.file("other"));
    FilePanel* p = frame->panel(0);
    std::filesystem::remove_all(dir.file("files"));
    mkdir(dir.file("files").c_str(), 0755);
    QTest::qWait(300);
    test::WriteAll(dir.file("files/after.txt"), "x");
    QTRY_VERIFY_WITH_TIMEOUT(rowOf(*p, "after.txt") >= 0, 3000);
    EXPECT_EQ(p->listing().path, dir.file("files"));
}

TEST_F(PanelReadingTest, SteadyWritesAreShownWithinASecond) {
    mkdir(dir.file("other").c_str(), 0755);
    openFrame(dir.file("files"), dir.file("other"));
    FilePanel* p = frame->panel(0);
    std::atomic<bool> stop{false};
    const std::string log = dir.file("files/download.part");
    std::thread writer([&] {
        const int fd = open(log.c_str(), O_CREAT | O_WRONLY | O_APPEND, 0644);
        for (int i = 0; i < 250 && !stop; ++i) { // 5 s
            (void)!write(fd, "0123456789abcdef", 16);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        close(fd);
    });
    const auto t0 = Clock::now();
    while (rowOf(*p, "download.part") < 0 && Clock::now() - t0 < std::chrono::seconds(5))
        QTest::qWait(10);
    const double firstShown = std::chrono::duration<double>(Clock::now() - t0).count();
    // Its size grows in the panel while the writes go on, not only after them.
    QTest::qWait(1500);
    const int row = rowOf(*p, "download.part");
    const uint64_t shownSize = row >= 0 ? p->listing().entries[static_cast<size_t>(row)].size : 0;
    stop = true;
    writer.join();
    EXPECT_LT(firstShown, 1.5);
    EXPECT_GT(shownSize, 16u * 10);
}

namespace {

// Makes `count` empty files in `path`; false when the file system is too small.
bool MakeManyFiles(const std::string& path, int count) {
    struct statvfs fs;
    if (statvfs(path.c_str(), &fs) != 0 || fs.f_favail < static_cast<fsblkcnt_t>(count) + 1000)
        return false;
    const int dirFd = open(path.c_str(), O_RDONLY | O_DIRECTORY);
    char name[32];
    for (int i = 0; i < count; ++i) {
        std::snprintf(name, sizeof name, "entry_%07d.dat", static_cast<int>(static_cast<int64_t>(i) * 7919 % count));
        const int fd = openat(dirFd, name, O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        if (fd < 0) {
            close(dirFd);
            return false;
        }
        close(fd);
    }
    close(dirFd);
    return true;
}

} // namespace

TEST_F(PanelReadingTest, AMillionEntriesLoadWhileTheWindowRunsAndEscStopsTheRead) {
    constexpr int kCount = 1000000;
    // A tmpfs of its own (as root) is made and dropped in no time; elsewhere
    // the test's directory must have the room.
    test::ScratchFileSystem scratch("2g,nr_inodes=1100000");
    const std::string huge = (scratch.mounted() ? scratch.path() : dir.path()) + "/huge";
    mkdir(huge.c_str(), 0755);
    if (!MakeManyFiles(huge, kCount))
        GTEST_SKIP() << "no room for " << kCount << " files under " << huge;
    mkdir(dir.file("other").c_str(), 0755);
    for (const char* n : {"o1", "o2", "o3"})
        test::WriteAll(dir.file(std::string("other/") + n), "x");
    openFrame(dir.file("files"), dir.file("other"));
    FilePanel* p = frame->panel(0);

    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(50);

    // Esc stops a read part way: what came stays, sorted, and the window is free.
    ASSERT_TRUE(p->ChangeDirectory(huge));
    ASSERT_TRUE(p->reading());
    EXPECT_TRUE(frame->summaryLine(0)->text().startsWith(QString::fromUtf8("Reading\u2026")));
    QTRY_VERIFY_WITH_TIMEOUT(p->listing().rowCount() >= 100, 10000);
    QTest::keyClick(p, Qt::Key_Escape);
    EXPECT_FALSE(p->reading());
    const int partial = p->listing().rowCount();
    EXPECT_GT(partial, 100);
    EXPECT_LT(partial, kCount + 1);
    EXPECT_EQ(p->listing().path, huge);
    EXPECT_TRUE(std::is_sorted(p->listing().entries.begin() + 1, p->listing().entries.end(),
                               [](const FileEntry& a, const FileEntry& b) { return a.nameKey < b.nameKey; }));

    // A whole read: the timer keeps ticking and the other panel answers meanwhile.
    ticks = 0;
    p->listing().keepSelection = false;
    ASSERT_TRUE(p->Refresh());
    ASSERT_TRUE(p->reading());
    FilePanel* other = frame->panel(1);
    other->setFocus();
    const int before = other->listing().cursor();
    QTest::keyClick(other, Qt::Key_End);
    EXPECT_NE(other->listing().cursor(), before);
    const auto t0 = Clock::now();
    QTRY_VERIFY_WITH_TIMEOUT(!p->reading(), 180000);
    const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    EXPECT_EQ(p->listing().rowCount(), kCount + 1);
    EXPECT_EQ(p->listing().entries[1].name, "entry_0000000.dat");
    EXPECT_EQ(p->listing().entries.back().name, "entry_0999999.dat");
    EXPECT_TRUE(frame->summaryLine(0)->text().startsWith("No file selected"));
    // The event loop ran all along: about one tick per 50 ms of the read.
    EXPECT_GE(ticks, static_cast<int>(seconds * 20 * 0.5) - 2) << seconds << " s";
    std::printf("a million entries read in %.2f s with %d ticks of 50 ms\n", seconds, ticks);
}

TEST_F(PanelReadingTest, ADirectoryThatNeverAnswersLeavesTheWindowFree) {
    const std::string release = dir.file("release");
    if (const std::string why = test::BlockingFileSystem::Unusable(); !why.empty())
        GTEST_SKIP() << why;
    test::BlockingFileSystem fs(dir.file("mnt"), release);
    ASSERT_TRUE(fs.mounted()) << "blocking_fs.py did not mount";
    test::WriteAll(dir.file("files/here.txt"), "x");
    mkdir(dir.file("other").c_str(), 0755);
    openFrame(dir.file("files"), dir.file("other"));
    FilePanel* p = frame->panel(0);

    ASSERT_TRUE(p->ChangeDirectory(dir.file("mnt/slow")));
    EXPECT_TRUE(p->reading());
    PostPanelMessage(frame.get(), PmDirectoryChanged, p->controlId());
    // The drive and the path line stay with the rows on show until the new ones come.
    QTest::qWait(50);
    EXPECT_EQ(p->listing().path, dir.file("files"));
    EXPECT_NE(frame->driveBar(0)->drive(), dir.file("mnt"));
    // Choosing the dead mount's drive: the drive bar asks it for its space.
    frame->driveBar(0)->setDrive(dir.file("mnt"));
    frame->driveBar(0)->UpdateInfo();
    // The window goes on: timers run, the other panel re-reads.
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(50);
    QTest::qWait(600);
    EXPECT_GE(ticks, 4);
    EXPECT_EQ(frame->driveBar(0)->drive(), dir.file("mnt"));
    EXPECT_TRUE(frame->infoLine(0)->text().trimmed().isEmpty()) << frame->infoLine(0)->text().toStdString();
    test::WriteAll(dir.file("other/new.txt"), "x");
    ASSERT_TRUE(frame->panel(1)->Refresh());
    EXPECT_GE(rowOf(*frame->panel(1), "new.txt"), 0);
    EXPECT_TRUE(p->reading());
    // Esc gives up: nothing of the new directory came, so the panel stays where it was.
    p->setFocus();
    QTest::keyClick(p, Qt::Key_Escape);
    EXPECT_FALSE(p->reading());
    QTest::qWait(50);
    EXPECT_EQ(p->listing().path, dir.file("files"));
    QTRY_VERIFY_WITH_TIMEOUT(!p->reading(), 5000);
    EXPECT_GE(rowOf(*p, "here.txt"), 0);
    test::WriteAll(release, "");
}

TEST_F(PanelReadingTest, NamesShowAsTheyAreAndAnEmptyStoredDirectoryIsTheStartOne) {
    test::WriteAll(dir.file("files/UPPER.TXT"), "1");
    test::WriteAll(dir.file("files/upper.txt"), "2");
    mkdir(dir.file("files/Docs").c_str(), 0755);
    mkdir(dir.file("files/docs").c_str(), 0755);
    openFrame(dir.file("files"), "");
    const PanelModel* model = frame->panel(0)->panelModel();
    QStringList shown;
    for (int row = 0; row < model->rowCount(); ++row)
        shown << model->index(row, 0).data().toString();
    for (const char* name : {"UPPER.TXT", "upper.txt", "[Docs]", "[docs]"})
        EXPECT_TRUE(shown.contains(QString::fromUtf8(name))) << name << " in " << shown.join(' ').toStdString();
    EXPECT_EQ(frame->panel(1)->listing().path, StartDirectory());
}
