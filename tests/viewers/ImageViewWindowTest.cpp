// The picture window through its real dialog on the offscreen platform, and
// the View command's choice between it and the text viewer.
#include "viewers/ImageViewWindow.h"
#include "support/DialogAnswerer.h"
#include "mainwindow/MainFrame.h"
#include "panels/FilePanel.h"
#include "settings/SettingsStore.h"
#include "support/TempDir.h"
#include "ui_services/AppState.h"
#include "viewers/TextEditorWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace km;
using km::test::TempDir;

namespace {

const std::string kFixtures = KM_FIXTURES_DIR;

void put16(std::string& s, unsigned v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& s, uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}

// A 24-bit bitmap whose pixel at (x, y) is colour(x, y) (0xRRGGBB).
std::string makeBmp(int w, int h, const std::function<uint32_t(int, int)>& colour) {
    const uint32_t stride = (static_cast<uint32_t>(w) * 3 + 3) / 4 * 4;
    std::string s = "BM";
    put32(s, 54 + stride * static_cast<uint32_t>(h));
    put32(s, 0);
    put32(s, 54);
    put32(s, 40);
    put32(s, static_cast<uint32_t>(w));
    put32(s, static_cast<uint32_t>(h));
    put16(s, 1);
    put16(s, 24);
    for (int i = 0; i < 6; ++i)
        put32(s, 0);
    for (int y = h - 1; y >= 0; --y) {
        std::string row;
        for (int x = 0; x < w; ++x) {
            const uint32_t c = colour(x, y);
            row += static_cast<char>(c & 0xFF);
            row += static_cast<char>((c >> 8) & 0xFF);
            row += static_cast<char>((c >> 16) & 0xFF);
        }
        row.resize(stride, '\0');
        s += row;
    }
    return s;
}

// Clicks the OK of the next message box and keeps its text.
void answerMessage(QString* text) {
    test::WithModal(QStringLiteral("MESSAGEBOX"), [text](QDialog* d) {
        *text = static_cast<QMessageBox*>(d)->text();
        d->accept();
    });
}

class ImageViewWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        store = std::make_unique<SettingsStore>(dir.file("KM.reg"));
        App().store = store.get();
        savedStarter = ImageViewWindow::StartApplication;
    }
    void TearDown() override {
        ImageViewWindow::StartApplication = savedStarter;
        App().store = nullptr;
        App().cancelFlag = false;
    }
    std::string write(const std::string& name, const std::string& bytes) {
        test::WriteAll(dir.file(name), bytes);
        return dir.file(name);
    }

    TempDir dir;
    std::unique_ptr<SettingsStore> store;
    ImageViewWindow::Starter savedStarter;
};

TEST_F(ImageViewWindowTest, ShowsASmallPictureCentredAtItsOwnSize) {
    const std::string path = kFixtures + "/bmp/pal8.bmp";
    ImageViewWindow w(path, nullptr);
    EXPECT_EQ(w.objectName(), "VIEW");
    ASSERT_TRUE(w.load());
    EXPECT_EQ(w.windowTitle(), QString::fromStdString("KM Viewer - " + path));
    EXPECT_FALSE(w.isScaled());
    EXPECT_EQ(w.picture().size(), QSize(127, 64));
    EXPECT_EQ(w.displayArea().size(),
              QSize(ImageViewWindow::kAreaWidth, ImageViewWindow::kAreaHeight));

    w.show();
    auto* frame = w.findChild<QFrame*>(QStringLiteral("pictureFrame"));
    ASSERT_TRUE(frame);
    const QImage shot = frame->grab().toImage();
    const QRect area = w.displayArea();
    const QPoint origin(area.left() + (area.width() - 127) / 2,
                        area.top() + (area.height() - 64) / 2);
    EXPECT_EQ(shot.pixel(origin), w.picture().pixel(0, 0));
    EXPECT_EQ(shot.pixel(origin + QPoint(126, 63)), w.picture().pixel(126, 63));
    // Around the picture: the dialog face colour.
    const QRgb face = w.palette().color(QPalette::Button).rgb();
    EXPECT_EQ(shot.pixel(area.topLeft()), face);
    EXPECT_EQ(shot.pixel(origin - QPoint(1, 1)), face);
}

TEST_F(ImageViewWindowTest, ALargePictureIsShownScaledAndCopiedAtFullSize) {
    // 1000 x 300: too wide only, so 640 x 192; the left half red, the right blue.
    const std::string path = write(
        "wide.BMP", makeBmp(1000, 300, [](int x, int) { return x < 500 ? 0xFF0000u : 0x0000FFu; }));
    ImageViewWindow w(path, nullptr);
    ASSERT_TRUE(w.load());
    EXPECT_TRUE(w.isScaled());
    EXPECT_EQ(w.picture().size(), QSize(640, 192));
    EXPECT_EQ(w.picture().pixel(10, 10), qRgb(255, 0, 0));
    EXPECT_EQ(w.picture().pixel(630, 180), qRgb(0, 0, 255));

    QGuiApplication::clipboard()->clear();
    w.copyToClipboard();
    const QImage copied = QGuiApplication::clipboard()->image();
    EXPECT_EQ(copied.size(), QSize(1000, 300));
    EXPECT_EQ(copied.pixel(499, 0), qRgb(255, 0, 0));
    EXPECT_EQ(copied.pixel(500, 299), qRgb(0, 0, 255));
}

TEST_F(ImageViewWindowTest, AnUnscaledPictureIsCopiedAsShown) {
    ImageViewWindow w(kFixtures + "/gif/hopper.gif", nullptr);
    ASSERT_TRUE(w.load());
    QGuiApplication::clipboard()->clear();
    w.copyToClipboard();
    const QImage copied = QGuiApplication::clipboard()->image();
    EXPECT_EQ(copied.size(), QSize(128, 128));
    EXPECT_EQ(copied.convertToFormat(QImage::Format_RGB888), w.picture());
}

TEST_F(ImageViewWindowTest, AFileThatDoesNotLoadIsReportedAndTheWindowNeverOpens) {
    const std::string path = write("broken.bmp", "BM not really");
    QString text;
    answerMessage(&text);
    bool viewShown = false;
    QTimer watch;
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (QWidget* m = QApplication::activeModalWidget(); m && m->objectName() == "VIEW") {
            viewShown = true;
            static_cast<QDialog*>(m)->reject();
        }
    });
    watch.start();
    ImageViewWindow::Show(path, nullptr);
    EXPECT_EQ(text, "Bad BMP file");
    EXPECT_FALSE(viewShown);

    answerMessage(&text);
    ImageViewWindow::Show(kFixtures + "/bmp/pal8rle.bmp", nullptr);
    EXPECT_EQ(text, "We don't do RLE BMP files");
}

TEST_F(ImageViewWindowTest, CancelInTheLoadWindowStopsTheLoad) {
    // The progress window shows and pumps events before the first row: the
    // click lands then.
    bool sawProgress = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == "STATUSLOADIMG" && w->isVisible()) {
                sawProgress = true;
                w->findChild<QPushButton*>(QStringLiteral("cancel"))->click();
            }
        }
    });
    QString text;
    answerMessage(&text);
    ImageViewWindow w(kFixtures + "/png/hopper.png", nullptr);
    EXPECT_FALSE(w.load());
    EXPECT_TRUE(sawProgress);
    EXPECT_EQ(text, "Error on file read");
}

TEST_F(ImageViewWindowTest, StartApplicationClosesTheWindowOnlyWhenAProgramStarted) {
    std::vector<std::pair<std::string, std::string>> calls;
    int result = 4171;
    ImageViewWindow::StartApplication = [&](const std::string& p, const std::string& wd) {
        calls.push_back({p, wd});
        return result;
    };
    const std::string path = kFixtures + "/tga/ctc24.tga";
    bool stillOpen = false;
    test::WithModal(QStringLiteral("VIEW"), [&](QDialog* d) {
        d->findChild<QPushButton*>(QStringLiteral("start"))->click();
        stillOpen = d->isVisible();
        result = 0;
        d->findChild<QPushButton*>(QStringLiteral("start"))->click();
    });
    ImageViewWindow::Show(path, nullptr);
    EXPECT_TRUE(stillOpen);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].first, path);
    EXPECT_EQ(calls[0].second, kFixtures + "/tga");
}

class ViewCommandTest : public ImageViewWindowTest {
protected:
    void SetUp() override {
        ImageViewWindowTest::SetUp();
        mkdir(dir.file("l").c_str(), 0755);
        mkdir(dir.file("r").c_str(), 0755);
        std::filesystem::copy_file(kFixtures + "/jpeg/hopper.jpg", dir.file("l/PHOTO.jpg"));
        std::filesystem::copy_file(kFixtures + "/jpeg/hopper.jpg", dir.file("l/photo.jpeg"));
        store->PutString("Paden", "Links", dir.file("l"));
        store->PutString("Paden", "Rechts", dir.file("r"));
        frame = std::make_unique<MainFrame>();
        frame->show();
        QTest::qWait(20);
    }
    void TearDown() override {
        for (TextEditorWindow* w : TextEditorWindow::OpenWindows())
            delete w;
        frame.reset();
        ImageViewWindowTest::TearDown();
    }
    void viewEntry(const std::string& name) {
        // After a modal dialog the offscreen platform leaves no window active.
        frame->activateWindow();
        (void)QTest::qWaitForWindowActive(frame.get());
        FilePanel* p = frame->activePanel();
        p->setFocus();
        for (int i = 0; i < p->listing().rowCount(); ++i)
            if (p->listing().entries[static_cast<size_t>(i)].name == name)
                p->MoveCursor(i);
        QTest::keyClick(p, Qt::Key_F3);
        QTest::qWait(50);
    }
    std::unique_ptr<MainFrame> frame;
};

TEST_F(ViewCommandTest, ImageExtensionsOpenThePictureWindowOthersTheTextViewer) {
    QString title;
    QSize shown;
    test::WithModal(QStringLiteral("VIEW"), [&](QDialog* d) {
        title = d->windowTitle();
        shown = static_cast<ImageViewWindow*>(d)->picture().size();
        d->findChild<QPushButton*>(QStringLiteral("done"))->click();
    });
    viewEntry("PHOTO.jpg");
    EXPECT_EQ(title, QString::fromStdString("KM Viewer - " + dir.file("l/PHOTO.jpg")));
    EXPECT_EQ(shown, QSize(128, 128));
    EXPECT_TRUE(TextEditorWindow::OpenWindows().empty());

    viewEntry("photo.jpeg");
    const auto windows = TextEditorWindow::OpenWindows();
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_TRUE(windows[0]->isViewOnly());
    EXPECT_EQ(windows[0]->filePath(), dir.file("l/photo.jpeg"));
}

} // namespace
