#include "panels/FilePanel.h"

#include "panels/DropList.h"
#include "panels/PanelDelegate.h"
#include "panels/PanelModel.h"
#include "panels/RenameDialog.h"
#include "settings/SettingsStore.h"
#include "support/DialogAnswerer.h"
#include "support/TempDir.h"
#include "ui_services/AppState.h"

#include <QAbstractItemModelTester>
#include <QLabel>
#include <QLineEdit>
#include <QImage>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace km;

namespace {

// Records the panel messages a window receives.
class MessageRecorder : public QObject {
public:
    struct Msg {
        int message;
        qintptr first, second;
        QVariant payload;
    };
    std::vector<Msg> seen;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == PanelMessageEvent::eventType()) {
            const auto* m = static_cast<PanelMessageEvent*>(e);
            seen.push_back({m->message, m->first, m->second, m->payload});
        }
        return false;
    }
    bool has(int msg) const {
        return std::any_of(seen.begin(), seen.end(), [&](const Msg& m) { return m.message == msg; });
    }
};

class FilePanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        mkdir(dir.file("d").c_str(), 0755);
        mkdir(dir.file("d/deep").c_str(), 0755);
        test::WriteAll(dir.file("d/x1"), "1");
        test::WriteAll(dir.file("d/deep/x2"), "22");
        for (const char* n : {"alpha", "apple", "beta", "gamma"})
            test::WriteAll(dir.file(n), n);
        store = std::make_unique<SettingsStore>(dir.file("KM.reg"));
        App().store = store.get();
        panel = std::make_unique<FilePanel>(FilePanel::kLeftId);
        panel->setMessageTarget(&mainTarget);
        mainTarget.installEventFilter(&toMain);
        panel->installEventFilter(&toPanel);
        panel->resize(400, 300);
        panel->listing().path = dir.path();
        panel->show();
        ASSERT_TRUE(panel->Refresh()); // .., d, alpha, apple, beta, gamma
    }
    void TearDown() override {
        panel.reset();
        App().store = nullptr;
    }
    QPoint rowPoint(int row) const {
        return panel->visualRect(panel->panelModel()->index(row, 0)).center();
    }
    std::vector<int> selectedRows() const {
        std::vector<int> rows;
        for (int i = 0; i < panel->listing().rowCount(); ++i) {
            if (panel->listing().entries[static_cast<size_t>(i)].selected)
                rows.push_back(i);
        }
        return rows;
    }

    test::TempDir dir;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<FilePanel> panel;
    QObject mainTarget;
    MessageRecorder toMain, toPanel;
};

} // namespace

TEST_F(FilePanelTest, ModelPassesTheTester) {
    QAbstractItemModelTester tester(panel->panelModel(), QAbstractItemModelTester::FailureReportingMode::Warning);
    panel->Refresh();
    EXPECT_EQ(panel->panelModel()->rowCount(), 6);
    EXPECT_EQ(panel->panelModel()->index(1, 0).data().toString(), "[d]");
    EXPECT_EQ(panel->panelModel()->index(1, 1).data().toString(), "<DIR>   ");
}

TEST_F(FilePanelTest, ClickSelectionPlainCtrlAndShift) {
    QWidget* vp = panel->viewport();
    QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, rowPoint(2));
    EXPECT_EQ(selectedRows(), (std::vector<int>{2}));
    EXPECT_EQ(panel->listing().cursor(), 2);
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ControlModifier, rowPoint(4));
    EXPECT_EQ(selectedRows(), (std::vector<int>{2, 4}));
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ShiftModifier, rowPoint(5));
    EXPECT_EQ(selectedRows(), (std::vector<int>{2, 3, 4, 5})); // anchor 2 .. 5
    QTest::qWait(5);
    EXPECT_TRUE(toMain.has(PmPanelFocused));
    // The parent entry never selects, even inside a Shift range.
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ShiftModifier, rowPoint(0));
    EXPECT_EQ(selectedRows(), (std::vector<int>{1, 2}));
}

TEST_F(FilePanelTest, TheRowHitAtAPixelIsTheRowDrawnThere) {
    QWidget* vp = panel->viewport();
    const QRect r3 = panel->visualRect(panel->panelModel()->index(3, 0));
    const QRect r4 = panel->visualRect(panel->panelModel()->index(4, 0));
    // The edges are where a row drawn a pixel off would be hit as its neighbour.
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ControlModifier, QPoint(5, r3.top()));
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ControlModifier, QPoint(5, r4.bottom()));
    EXPECT_EQ(selectedRows(), (std::vector<int>{3, 4}));
    QTest::keyClick(panel.get(), Qt::Key_Home); // the cursor's frame out of the way
    const QImage shot = vp->grab().toImage();
    const qreal dpr = shot.devicePixelRatio();
    const auto pixel = [&](int y) { return shot.pixelColor(QPoint(vp->width() - 1, y) * dpr); };
    const QColor selected = PanelDelegate::RowColors(KindFile, true, 0).background;
    const QColor plain = PanelDelegate::RowColors(KindFile, false, 0).background;
    for (int y = r3.top(); y <= r4.bottom(); ++y)
        EXPECT_EQ(pixel(y), selected) << y;
    EXPECT_EQ(pixel(r3.top() - 1), plain);
    EXPECT_EQ(pixel(r4.bottom() + 1), plain);
}

TEST_F(FilePanelTest, ClickOnSelectedRowDefersToRelease) {
    QWidget* vp = panel->viewport();
    panel->ClickSelect(2, Qt::NoModifier);
    panel->ClickSelect(3, Qt::ControlModifier);
    QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, rowPoint(3));
    EXPECT_EQ(selectedRows(), (std::vector<int>{2, 3})); // still both while pressed
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, rowPoint(3));
    EXPECT_EQ(selectedRows(), (std::vector<int>{3}));
}

TEST_F(FilePanelTest, DoubleClickAndEnterPostEnter) {
    QTest::mouseDClick(panel->viewport(), Qt::LeftButton, Qt::NoModifier, rowPoint(1));
    panel->setFocus();
    QTest::keyClick(panel.get(), Qt::Key_Return);
    QTest::keyClick(panel.get(), Qt::Key_Delete);
    QTest::qWait(5);
    int enters = 0;
    for (const auto& m : toMain.seen)
        enters += m.message == PmEnterFocused;
    EXPECT_EQ(enters, 2);
    EXPECT_TRUE(toMain.has(PmDeleteToBin));
}

TEST_F(FilePanelTest, QuickSearchKeysCycleAndMiss) {
    panel->setFocus();
    QTest::keyClick(panel.get(), Qt::Key_A);
    EXPECT_EQ(panel->listing().cursor(), 2);
    QTest::keyClick(panel.get(), Qt::Key_A);
    EXPECT_EQ(panel->listing().cursor(), 3);
    QTest::keyClick(panel.get(), Qt::Key_A);
    EXPECT_EQ(panel->listing().cursor(), 2); // wrapped
    EXPECT_EQ(selectedRows(), (std::vector<int>{2}));
    QTest::keyClick(panel.get(), Qt::Key_Z);
    EXPECT_TRUE(selectedRows().empty());
}

TEST_F(FilePanelTest, DropOnDirectoryRowOrPanelAndExpandedList) {
    FilePanel target(FilePanel::kRightId);
    MessageRecorder rec;
    target.installEventFilter(&rec);
    target.resize(400, 300);
    target.listing().path = dir.path();
    target.show();
    target.Refresh();
    bool allowed = false;
    EXPECT_EQ(target.DropTargetRow(target.visualRect(target.panelModel()->index(1, 0)).center(), &allowed), 1);
    EXPECT_TRUE(allowed);
    EXPECT_EQ(target.DropTargetRow(target.visualRect(target.panelModel()->index(3, 0)).center(), &allowed), -1);
    EXPECT_EQ(target.DropTargetRow(QPoint(5, 290), &allowed), -1); // empty space

    panel->ClickSelect(1, Qt::NoModifier); // directory d
    panel->ClickSelect(4, Qt::ControlModifier); // beta
    ASSERT_TRUE(target.AcceptDrop(*panel, 1));
    QTest::qWait(5);
    ASSERT_EQ(rec.seen.size(), 1u);
    EXPECT_EQ(rec.seen[0].message, PmDrop);
    EXPECT_EQ(rec.seen[0].second >> 16, 1);
    auto paths = rec.seen[0].payload.value<QList<QByteArray>>();
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (QList<QByteArray>{QByteArray::fromStdString(dir.file("beta")),
                                        QByteArray::fromStdString(dir.file("d/deep/x2")),
                                        QByteArray::fromStdString(dir.file("d/x1"))}));
}

TEST_F(FilePanelTest, DropListFallsBackToCursorAndStopsAtLinks) {
    symlink(dir.path().c_str(), dir.file("d/loop").c_str());
    panel->Refresh();
    panel->MoveCursor(1);
    const DropListResult r = BuildDropList(panel->listing());
    EXPECT_EQ(r.paths.size(), 2u); // x1 and deep/x2, the loop not followed
}

TEST_F(FilePanelTest, RightClickWithAttributeSettingSelectsAndAsks) {
    store->PutInt("Algemeen", "ContextMenus", 2480);
    QTest::mouseClick(panel->viewport(), Qt::RightButton, Qt::NoModifier, rowPoint(3));
    QTest::qWait(5);
    EXPECT_EQ(selectedRows(), (std::vector<int>{3}));
    EXPECT_TRUE(toPanel.has(PmFileAttributes));
}

TEST(CellFit, CutsWithEllipsisAndDrawsNothingWhenNarrow) {
    QFont f;
    f.setPixelSize(12);
    const QFontMetrics fm(f);
    EXPECT_TRUE(FitCellText("anything", fm, 8).isEmpty()); // w = 4 < 5
    const QString longName = "a_rather_long_file_name.txt";
    const QString cut = FitCellText(longName, fm, 60);
    EXPECT_TRUE(cut.endsWith("..."));
    EXPECT_LE(fm.horizontalAdvance(cut.left(cut.size() - 3)), 60 - 8);
    EXPECT_EQ(FitCellText("ok", fm, 200), "ok");
}

TEST(RenameDialog, TheNameTravelsAsBytes) {
    const std::string odd = "bad\xff name";
    // OK on the unchanged text gives the very bytes back.
    test::AnswerModal(QStringLiteral("RENAME"), QStringLiteral("Rename"));
    EXPECT_EQ(RenameDialog::Ask(odd, nullptr), std::optional<std::string>(odd));
    // An edit keeps the bytes it did not touch.
    test::WithModal(QStringLiteral("RENAME"), [](QDialog* d) {
        auto* edit = d->findChild<QLineEdit*>();
        edit->setText(edit->text() + QStringLiteral("2"));
        d->accept();
    });
    EXPECT_EQ(RenameDialog::Ask(odd, nullptr), std::optional<std::string>(odd + "2"));
    test::AnswerModal(QStringLiteral("RENAME"), QStringLiteral("Cancel"));
    EXPECT_EQ(RenameDialog::Ask(odd, nullptr), std::nullopt);
    // The dialog's own texts.
    RenameDialog dlg("x");
    std::vector<QString> texts;
    for (auto* l : dlg.findChildren<QLabel*>())
        texts.push_back(l->text());
    for (auto* b : dlg.findChildren<QAbstractButton*>())
        texts.push_back(b->text());
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts, (std::vector<QString>{QStringLiteral("&Cancel"), QStringLiteral("&Rename"),
                                           QStringLiteral("Rename to:")}));
}
