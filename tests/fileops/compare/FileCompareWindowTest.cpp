#include "fileops/compare/ui/FileCompareWindow.h"
#include "fileops/compare/ui/CompareRowModel.h"
#include "fileops/compare/ui/FileCompareCommand.h"
#include "fileops/compare/ui/FileCompareFont.h"
#include "fileops/open_execute/ui/OpenExecuteCommands.h"
#include "panels/PanelListing.h"

#include "support/DialogFixture.h"

#include <QImage>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QFontDatabase>
#include <QFontInfo>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

namespace km::test {
namespace {

class FileCompareWindowTest : public DialogFixture {
protected:
    void SetUp() override {
        DialogFixture::SetUp();
        store->PutString("FileComp", "FontName", "Monospace");
    }

    std::unique_ptr<FileCompareWindow> open(const std::string& left, const std::string& right) {
        WriteAll(dir.file("left.txt"), left);
        WriteAll(dir.file("right.txt"), right);
        auto w = std::make_unique<FileCompareWindow>(dir.file("left.txt"), dir.file("right.txt"));
        EXPECT_TRUE(w->Load());
        w->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        return w;
    }

    static QString text(QWidget* w, const char* list, int row) {
        auto* view = w->findChild<QListView*>(QString::fromLatin1(list));
        return view->model()->index(row, 0).data().toString();
    }

    // Clicks a button and returns the text of the message box it brought up, if any.
    static QString clickAndRead(QWidget* w, int control) {
        QString seen;
        QTimer timer; // gone with the click, so no answer waits for a later box
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box && box->objectName() == QStringLiteral("MESSAGEBOX")) {
                seen = box->text();
                box->accept();
            }
        });
        timer.start();
        Click(w, QStringLiteral("button%1").arg(control).toLatin1().constData());
        return seen;
    }
};

std::string Lines(int from, int to) {
    std::string s;
    for (int i = from; i <= to; ++i)
        s += "line " + std::to_string(i) + "\n";
    return s;
}

TEST_F(FileCompareWindowTest, ShowsTheFilesSideBySideWithRedDifferences) {
    auto w = open("a\nb\nc\n", "a\nb\ninserted\nc\n");
    EXPECT_EQ(w->objectName(), QStringLiteral("FILECOMP"));
    EXPECT_EQ(w->findChild<QLabel*>(QStringLiteral("static2540"))->text(),
              QString::fromStdString(dir.file("left.txt")));
    EXPECT_EQ(w->findChild<QLabel*>(QStringLiteral("static2550"))->text(),
              QString::fromStdString(dir.file("right.txt")));
    auto* left = w->findChild<QListView*>(QStringLiteral("list2510"));
    auto* right = w->findChild<QListView*>(QStringLiteral("list2520"));
    ASSERT_EQ(left->model()->rowCount(), 4);
    ASSERT_EQ(right->model()->rowCount(), 4);
    EXPECT_EQ(text(w.get(), "list2510", 2), QString());
    EXPECT_EQ(text(w.get(), "list2520", 2), QStringLiteral("inserted"));
    EXPECT_EQ(left->model()->index(2, 0).data(CompareRowModel::FlagRole).toChar(),
              QLatin1Char('1'));
    EXPECT_EQ(left->model()->index(3, 0).data(CompareRowModel::FlagRole).toChar(),
              QLatin1Char('0'));
    EXPECT_EQ(left->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(left->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

    // Only the row of the inserted line is drawn in red.
    const QImage image = right->viewport()->grab().toImage();
    const int rowHeight = right->visualRect(right->model()->index(0, 0)).height();
    ASSERT_GT(rowHeight, 0);
    auto redIn = [&](int row) {
        for (int y = row * rowHeight; y < (row + 1) * rowHeight; ++y)
            for (int x = 0; x < image.width(); ++x)
                if (const QColor c = image.pixelColor(x, y);
                    c.red() > 200 && c.green() < 120 && c.blue() < 120)
                    return true;
        return false;
    };
    EXPECT_FALSE(redIn(1));
    EXPECT_TRUE(redIn(2));
    EXPECT_FALSE(redIn(3));
}

TEST_F(FileCompareWindowTest, NavigationStopsAtBothEndsWithAWarning) {
    // Rows: 0-4 equal, 5 left only, 6-19 equal, 20 right only, 21-29 equal.
    auto w = open(Lines(0, 4) + "gone\n" + Lines(5, 27), Lines(0, 18) + "new\n" + Lines(19, 27));
    ASSERT_EQ(w->rows().left.size(), 30u);
    auto* bar = w->findChild<QScrollBar*>(QStringLiteral("scroll2530"));
    EXPECT_EQ(clickAndRead(w.get(), 2570), QString()); // next difference
    EXPECT_EQ(w->topRow(), 5);
    EXPECT_EQ(bar->value(), 5);
    EXPECT_EQ(clickAndRead(w.get(), 2570), QString());
    EXPECT_EQ(w->topRow(), 20);
    EXPECT_EQ(clickAndRead(w.get(), 2570), QStringLiteral("End of file"));
    EXPECT_EQ(w->topRow(), 29);
    EXPECT_EQ(clickAndRead(w.get(), 2590), QString()); // previous difference
    EXPECT_EQ(w->topRow(), 20);
    EXPECT_EQ(clickAndRead(w.get(), 2600), QString()); // previous match
    EXPECT_EQ(w->topRow(), 6);
    EXPECT_EQ(clickAndRead(w.get(), 2580), QString()); // next match
    EXPECT_EQ(w->topRow(), 21);
    EXPECT_EQ(clickAndRead(w.get(), 2590), QString());
    EXPECT_EQ(w->topRow(), 20);
    EXPECT_EQ(clickAndRead(w.get(), 2590), QString());
    EXPECT_EQ(w->topRow(), 5);
    EXPECT_EQ(clickAndRead(w.get(), 2590), QStringLiteral("Top of file"));
    EXPECT_EQ(w->topRow(), 0);
    // Both lists follow.
    for (const char* name : {"list2510", "list2520"})
        EXPECT_EQ(w->findChild<QListView*>(QString::fromLatin1(name))->indexAt(QPoint(5, 2)).row(),
                  0);
}

TEST_F(FileCompareWindowTest, IdenticalFilesHaveNoNextDifference) {
    auto w = open(Lines(1, 5), Lines(1, 5));
    EXPECT_EQ(clickAndRead(w.get(), 2570), QStringLiteral("End of file"));
    EXPECT_EQ(w->topRow(), 4);
}

TEST_F(FileCompareWindowTest, TheScrollBarMovesBothLists) {
    auto w = open(Lines(1, 200), Lines(1, 100) + "extra\n" + Lines(101, 200));
    auto* bar = w->findChild<QScrollBar*>(QStringLiteral("scroll2530"));
    auto* left = w->findChild<QListView*>(QStringLiteral("list2510"));
    auto* right = w->findChild<QListView*>(QStringLiteral("list2520"));
    const int n = 201;
    const int v = w->visibleRows();
    ASSERT_GT(v, 0);
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), n);
    EXPECT_EQ(bar->pageStep(), v);
    const int rowHeight = left->visualRect(left->model()->index(0, 0)).height();
    EXPECT_EQ(v, left->viewport()->height() / rowHeight - 2);

    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(w->topRow(), 1);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(w->topRow(), 1 + v);
    EXPECT_EQ(left->verticalScrollBar()->value(), 1 + v);
    EXPECT_EQ(right->verticalScrollBar()->value(), 1 + v);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(w->topRow(), 0);
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(w->topRow(), 0);

    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(w->topRow(), n - 1);
    bar->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(w->topRow(), 0);
    // Paging down into the last page puts the thumb at the bottom.
    bar->setSliderPosition(n - v - 1);
    EXPECT_EQ(w->topRow(), n - v - 1);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(bar->value(), n);
    EXPECT_EQ(w->topRow(), n - 1);

    // The wheel over either list scrolls both by three rows.
    bar->triggerAction(QAbstractSlider::SliderToMinimum);
    QWheelEvent wheel(QPointF(5, 5), left->viewport()->mapToGlobal(QPointF(5, 5)), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(right->viewport(), &wheel);
    EXPECT_EQ(w->topRow(), 3);
    EXPECT_EQ(left->verticalScrollBar()->value(), 3);
}

TEST_F(FileCompareWindowTest, SettingsTakeEffectAtTheComparison) {
    store->PutInt("FileComp", "NegeerSpaties", 1);
    store->PutInt("FileComp", "PerTab", 8);
    auto w = open("a\n  b\n", "a\n\tb\n");
    ASSERT_EQ(w->rows().left.size(), 2u);
    EXPECT_TRUE(w->rows().left[1].equal());
    EXPECT_EQ(text(w.get(), "list2510", 1), QStringLiteral("        b"));

    store->PutInt("FileComp", "NegeerSpaties", 0);
    store->PutInt("FileComp", "PerTab", 0);
    ASSERT_TRUE(w->Load());
    EXPECT_EQ(w->rows().left.size(), 3u);
    EXPECT_EQ(text(w.get(), "list2520", 2), QStringLiteral(" b"));
}

TEST_F(FileCompareWindowTest, AFileThatCannotBeReadLeavesBothListsEmptyWithoutAMessage) {
    WriteAll(dir.file("left.txt"), "a\n");
    FileCompareWindow w(dir.file("left.txt"), dir.file("missing"));
    EXPECT_TRUE(w.Load()); // a message box would wait here for an answer
    EXPECT_EQ(w.findChild<QListView*>(QStringLiteral("list2510"))->model()->rowCount(), 0);
    EXPECT_EQ(w.findChild<QListView*>(QStringLiteral("list2520"))->model()->rowCount(), 0);
    EXPECT_EQ(clickAndRead(&w, 2570), QStringLiteral("End of file"));
    EXPECT_EQ(w.topRow(), 0);
}

TEST_F(FileCompareWindowTest, EditButtonsOpenEachFileInTheEditor) {
    std::vector<std::string> opened;
    SetInternalEditor([&](const std::string& path, QWidget*, bool isNew) {
        EXPECT_FALSE(isNew);
        opened.push_back(path);
    });
    auto w = open("a\n", "b\n");
    Click(w.get(), "button2630");
    Click(w.get(), "button2620");
    SetInternalEditor(nullptr);
    EXPECT_EQ(opened, (std::vector<std::string>{dir.file("right.txt"), dir.file("left.txt")}));
}

TEST_F(FileCompareWindowTest, FontButtonChangesBothListsAndStoresTheFont) {
    auto w = open(Lines(1, 100), Lines(1, 100));
    const int before = w->visibleRows();
    QFont seenInitial;
    FileCompareFontPicker = [&](QWidget*, const QFont& initial) -> std::optional<QFont> {
        seenInitial = initial;
        QFont f(QStringLiteral("DejaVu Sans Mono"));
        f.setPixelSize(30);
        f.setWeight(QFont::Bold);
        return f;
    };
    Click(w.get(), "button2560");
    FileCompareFontPicker = [](QWidget*, const QFont&) { return std::optional<QFont>(); };
    // The stored default height is the system's fixed-pitch font at its own
    // size, not ten pixels no one can read.
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    EXPECT_EQ(seenInitial.pointSizeF(), fixed.pointSizeF());
    EXPECT_TRUE(QFontInfo(seenInitial).fixedPitch());
    for (const char* name : {"list2510", "list2520"}) {
        auto* list = w->findChild<QListView*>(QString::fromLatin1(name));
        EXPECT_EQ(list->font().pixelSize(), 30);
        EXPECT_EQ(list->font().weight(), QFont::Bold);
    }
    EXPECT_LT(w->visibleRows(), before);
    auto fresh = reopened();
    EXPECT_EQ(fresh->GetInt("FileComp", "FontHeight", 0), -30);
    EXPECT_EQ(fresh->GetInt("FileComp", "FontWeight", 0), 700);
    EXPECT_EQ(fresh->GetString("FileComp", "FontName", ""), "DejaVu Sans Mono");

    // Cancel keeps everything.
    Click(w.get(), "button2560");
    EXPECT_EQ(w->findChild<QListView*>(QStringLiteral("list2510"))->font().pixelSize(), 30);
}

TEST_F(FileCompareWindowTest, TheCommandChecksThePanelsFirst) {
    WriteAll(dir.file("a"), "x\n");
    WriteAll(dir.file("b"), "y\n");
    PanelListing left, right;
    left.path = right.path = dir.path();
    FileEntry a;
    a.name = "a";
    FileEntry b;
    b.name = "b";
    left.entries = {a};
    right.entries = {b};

    QString seen;
    auto answer = [&] {
        WhenModal(QStringLiteral("MESSAGEBOX"), [&](QDialog* box) {
            seen = static_cast<QMessageBox*>(box)->text();
            box->accept();
        });
    };
    answer();
    FileCompareCommand(left, right, nullptr);
    EXPECT_EQ(seen, QStringLiteral("No file selected"));
    // One side chosen: the message says which side still needs a file.
    left.entries[0].selected = true;
    answer();
    FileCompareCommand(left, right, nullptr);
    EXPECT_EQ(seen, QStringLiteral("No file selected\nSelect a file in the right panel too."));

    right.entries[0].selected = true;
    right.drive = "FTP";
    answer();
    FileCompareCommand(left, right, nullptr);
    EXPECT_EQ(seen, QStringLiteral("Can't do that on an FTP site. Copy to local disk first."));

    right.drive.clear();
    int context = 0;
    int rows = -1;
    WhenModal(QStringLiteral("FILECOMP"), [&](QDialog* d) {
        context = App().helpContext;
        rows = d->findChild<QListView*>(QStringLiteral("list2520"))->model()->rowCount();
        Click(d, "close");
    });
    FileCompareCommand(left, right, nullptr);
    EXPECT_EQ(context, 6030);
    EXPECT_EQ(rows, 2);
    EXPECT_NE(App().helpContext, 6030);
}

} // namespace
} // namespace km::test
