// Every dialog shows its whole title and fits a 1280×800 screen; at a scale
// of 2 (a logical 640×400) what does not fit scrolls, its buttons in view.
// Runs twice, once at each scale (see CMakeLists.txt).
#include "archive/browser/ArchiveBrowser.h"
#include "archive/browser/ExtractDialog.h"
#include "archive/browser/PasswordDialog.h"
#include "archive/zip/ui/ZipDialogs.h"
#include "fileops/FileOpUi.h"
#include "fileops/compare/ui/FileCompareSettingsDialog.h"
#include "fileops/compare/ui/FileCompareWindow.h"
#include "fileops/open_execute/ProcessLauncher.h"
#include "fileops/open_execute/ui/AssociateDialog.h"
#include "fileops/open_execute/ui/CalcSpaceDialog.h"
#include "fileops/open_execute/ui/EditNewDialog.h"
#include "fileops/open_execute/ui/NewDirDialog.h"
#include "fileops/printing/ui/PrintCommands.h"
#include "fileops/ui/OverwriteDialog.h"
#include "ftp/ui/FtpSettingsDialog.h"
#include "mainwindow/ButtonParmsDialog.h"
#include "mainwindow/ConfirmationsDialog.h"
#include "mainwindow/ConnectNetworkDialog.h"
#include "mainwindow/DiskPropertiesDialog.h"
#include "mainwindow/DiskStationDialog.h"
#include "mainwindow/ExitWindowsDialog.h"
#include "mainwindow/FilterDialog.h"
#include "mainwindow/FunctionKeyDialog.h"
#include "mainwindow/GeneralSettingsDialog.h"
#include "mainwindow/ThisComputerDialog.h"
#include "panels/ChangeDirDialog.h"
#include "panels/ColorsDialog.h"
#include "panels/MaskDialog.h"
#include "panels/PanelSettingsDialog.h"
#include "panels/RenameDialog.h"
#include "panels/SortFilesDialog.h"
#include "settings/SettingsStore.h"
#include "support/TempDir.h"
#include "ui_services/AppState.h"
#include "ui_services/DialogFit.h"
#include "viewers/FindReplaceDialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

using namespace km;

namespace {

struct Case {
    const char* name;
    std::function<QDialog*(QWidget*)> make;
};

class DialogFitTest : public ::testing::Test {
protected:
    void SetUp() override {
        store = std::make_unique<SettingsStore>(dir.file("KM.reg"));
        App().store = store.get();
        test::WriteAll(dir.file("a.txt"), "one\ntwo\n");
        test::WriteAll(dir.file("b.txt"), "one\nthree\n");
        ASSERT_EQ(RunAndWait({"zip", "-q", dir.file("a.zip"), "a.txt"}, dir.path()).exitStatus, 0);
        owner.resize(640, 400);
        owner.show();
    }
    void TearDown() override { App().store = nullptr; }

    std::vector<Case> cases() {
        const std::string d = dir.path();
        OverwriteQuestion q;
        q.targetPath = d + "/a.txt";
        q.allowYesToAll = true;
        BlockDevice device;
        device.path = "/dev/sdz1";
        return {
            {"GeneralSettings", [](QWidget* p) { return new GeneralSettingsDialog(p); }},
            {"PanelSettings", [](QWidget* p) { return new PanelSettingsDialog(p); }},
            {"Colors", [](QWidget* p) { return new ColorsDialog(p->font(), p); }},
            {"SortFiles", [](QWidget* p) { return new SortFilesDialog(p); }},
            {"Mask", [](QWidget* p) { return new MaskDialog(true, p); }},
            {"ChangeDir", [](QWidget* p) { return new ChangeDirDialog(p); }},
            {"Rename", [](QWidget* p) { return new RenameDialog("a.txt", p); }},
            {"Filter", [](QWidget* p) { return new FilterDialog(p); }},
            {"Confirmations", [](QWidget* p) { return new ConfirmationsDialog(p); }},
            {"FunctionKeys", [](QWidget* p) { return new FunctionKeyDialog(p); }},
            {"ButtonParms", [](QWidget* p) { return new ButtonParmsDialog(1, p); }},
            {"ExitWindows", [](QWidget* p) { return new ExitWindowsDialog(p); }},
            {"ThisComputer", [](QWidget* p) { return new ThisComputerDialog(p); }},
            {"About", [](QWidget* p) { return new AboutDialog(p); }},
            {"ConnectNetwork", [](QWidget* p) { return new ConnectNetworkDialog(p); }},
            {"DiskStation", [](QWidget* p) { return new DiskStationDialog({}, false, p); }},
            {"DiskProperties", [device](QWidget* p) { return new DiskPropertiesDialog(device, p); }},
            {"FileCompareSettings", [](QWidget* p) { return new FileCompareSettingsDialog(p); }},
            {"FileCompare", [d](QWidget* p) { return new FileCompareWindow(d + "/a.txt", d + "/b.txt", p); }},
            {"PrintSettings", [](QWidget* p) { return new PrintSettingsDialog(p); }},
            {"FtpSettings", [d](QWidget* p) { return new FtpSettingsDialog(p, [d] { return d; }); }},
            {"Replace", [](QWidget* p) { return new FindReplaceDialog(true, p); }},
            {"Overwrite", [q](QWidget* p) { return new OverwriteDialog(q, p); }},
            {"CalcSpace", [](QWidget* p) { return new CalcSpaceDialog("/home/user/a very long directory name", {}, p); }},
            {"Associate", [](QWidget* p) { return new AssociateDialog({".txt", "text/plain", "Text", "gedit %1"}, p); }},
            {"EditNew", [](QWidget* p) { return new EditNewDialog(p); }},
            {"NewDir", [](QWidget* p) { return new NewDirDialog(p); }},
            {"Password", [](QWidget* p) { return new PasswordDialog("secret.txt", p); }},
            {"PasswordUse", [](QWidget* p) { return new PasswordReuseDialog("secret.txt", p); }},
            {"Extract", [d](QWidget* p) { return new ExtractDialog(d, p); }},
            {"ZipPath", [](QWidget* p) { return new ZipPathDialog(1, p); }},
            {"ZipName", [](QWidget* p) { return new ZipNameDialog("a.zip", true, p); }},
            {"ArchiveBrowser", [d](QWidget* p) { return new ArchiveBrowser(d + "/a.zip", d, p); }},
        };
    }

    test::TempDir dir;
    std::unique_ptr<SettingsStore> store;
    QWidget owner;
};

bool atScaleTwo() { return qgetenv("QT_SCALE_FACTOR") == "2"; }

TEST_F(DialogFitTest, EveryDialogShowsItsTitleAndFitsTheScreenScrollingOnlyWhenItMust) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_EQ(screen.size(), atScaleTwo() ? QSize(640, 400) : QSize(1280, 800));
    int scrolled = 0;
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<QDialog> d(c.make(&owner));
        d->show();
        QCoreApplication::processEvents();
        // The offscreen platform places a window before it has its frame:
        // a pixel off at the edge.
        const QRect frame = d->frameGeometry();
        EXPECT_TRUE(screen.adjusted(-1, -1, 1, 1).contains(frame))
            << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
        const int title = TitleBarWidth(d->windowTitle(), d->font());
        EXPECT_GE(d->width(), std::min(title, screen.width() - 8));

        auto* scroll = d->findChild<QScrollArea*>("dialogScroll");
        if (!atScaleTwo()) {
            EXPECT_EQ(scroll, nullptr) << "scrolls on a 1280x800 screen";
            continue;
        }
        if (!scroll)
            continue;
        ++scrolled;
        // The buttons that close the dialog stay in view below the scrolled part.
        int inView = 0;
        for (QAbstractButton* b : d->findChildren<QAbstractButton*>()) {
            if (scroll->isAncestorOf(b) || !b->isVisible())
                continue;
            EXPECT_TRUE(d->rect().contains(QRect(b->mapTo(d.get(), QPoint(0, 0)), b->size())))
                << b->text().toStdString();
            ++inView;
        }
        EXPECT_GT(inView, 0);
        // And what scrolls can all be reached.
        const QWidget* inner = scroll->widget();
        EXPECT_GE(scroll->verticalScrollBar()->maximum() + scroll->viewport()->height(),
                  inner->minimumSizeHint().height());
    }
    if (atScaleTwo()) {
        EXPECT_GT(scrolled, 0) << "the general settings are taller than 400";
    }
}

TEST_F(DialogFitTest, ATitleLongerThanTheContentWidensTheDialog) {
    QDialog d(&owner);
    d.setObjectName("TITLED");
    d.setWindowTitle("KM - A title far longer than the little content below it");
    auto* layout = new QVBoxLayout(&d);
    layout->addWidget(new QLabel("x", &d));
    d.show();
    QCoreApplication::processEvents();
    EXPECT_GE(d.width(), TitleBarWidth(d.windowTitle(), d.font()));
    EXPECT_EQ(d.findChild<QScrollArea*>("dialogScroll"), nullptr);
}

} // namespace
