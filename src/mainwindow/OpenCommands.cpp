#include "mainwindow/OpenCommands.h"

#include "archive/browser/ArchiveBrowser.h"
#include "ftp/ui/FtpFileCommands.h"
#include "platform/PathUtil.h"
#include "resources/CommandIds.h"

#include "fileops/open_execute/NewDirectory.h"
#include "fileops/open_execute/ui/OpenExecuteCommands.h"
#include "panels/FilePanel.h"
#include "panels/PanelModel.h"
#include "platform/Collation.h"
#include "ui_services/AppState.h"
#include "ui_services/MessageBoxes.h"
#include "viewers/ImageViewWindow.h"
#include "viewers/TextEditorWindow.h"
#include "viewers/imagelib/ImageLib.h"

namespace km {
namespace {

void makeDirectory(FilePanel& panel, QWidget* mainWindow) {
    const auto typed = MakeDirectoryCommand(panel.listing(), mainWindow);
    if (!typed)
        return;
    panel.Refresh();
    // The cursor goes to the first directory of what was typed.
    panel.WhenRead([&panel, first = FirstPathComponent(*typed)] {
        const PanelListing& li = panel.listing();
        for (int i = 0; i < li.rowCount(); ++i) {
            const FileEntry& e = li.entries[static_cast<size_t>(i)];
            if (e.kind == KindDirectory && EqualsIgnoreCase(e.name, first)) {
                panel.MoveCursor(i);
                return;
            }
        }
        panel.scrollToTop();
    });
}


void viewFile(FilePanel& panel) {
    PanelListing& li = panel.listing();
    const int cur = li.cursor();
    if (cur < 0 || li.entries[static_cast<size_t>(cur)].kind != KindFile) {
        ShowWarning(4173);
        return;
    }
    if (li.isFtp()) {
        ShowWarning(4510);
        return;
    }
    const FileEntry& e = li.entries[static_cast<size_t>(cur)];
    if (imagelib::IsPictureName(e.name))
        ImageViewWindow::Show(li.FullPath(e), panel.window());
    else
        TextEditorWindow::Open(li.FullPath(e), true, false);
}

} // namespace

namespace {

std::string otherPanelPath(QWidget* mainWindow) {
    std::string other;
    SendPanelMessage(mainWindow, PmOtherPath, 0, reinterpret_cast<qintptr>(&other));
    return other;
}

void browseArchive(FilePanel& panel, const std::string& path, QWidget* mainWindow, bool refreshAlways) {
    // Watchers stay quiet while entries are written; the browser is modal, so
    // the main window need not be disabled.
    const bool wasBusy = App().busyFlag.exchange(true);
    const bool changed = OpenArchiveFile(path, otherPanelPath(mainWindow), mainWindow);
    App().busyFlag = wasBusy;
    if (changed || refreshAlways)
        PostPanelMessage(mainWindow, PmRefreshBoth, panel.controlId());
}

} // namespace

void OpenPanelFile(FilePanel& panel, const std::string& path, QWidget* mainWindow) {
    PostPanelMessage(mainWindow, PmPanelFocused, panel.controlId());
    if (panel.listing().isFtp()) {
        const PanelListing& li = panel.listing();
        const int cur = li.cursor();
        if (!IsArchiveName(path) || cur < 0 || cur >= li.rowCount()) {
            ShowWarning(4510);
            return;
        }
        const std::string local = FetchRemoteCopy(panel, li.entries[static_cast<size_t>(cur)], true, mainWindow);
        if (!local.empty())
            browseArchive(panel, local, mainWindow, true);
        return;
    }
    // Archives open in the browser, not in another program.
    if (IsArchiveName(BaseName(path))) {
        browseArchive(panel, path, mainWindow, true);
        return;
    }
    OpenFile(path, panel.listing().path);
}

bool HandleOpenCommand(FilePanel& panel, const PanelMessageEvent& m, QWidget* mainWindow) {
    PanelListing& li = panel.listing();
    switch (m.message) {
    case PmEditFile: {
        HelpContextScope help(5050);
        EditCommand(li, mainWindow);
        return true;
    }
    case PmEditNewFile: {
        HelpContextScope help(1185);
        EditNewCommand(li, mainWindow);
        return true;
    }
    case PmAssociate: {
        HelpContextScope help(6020);
        AssociateCommand(li, mainWindow);
        return true;
    }
    case PmMakeDirectory: {
        HelpContextScope help(1210);
        makeDirectory(panel, mainWindow);
        return true;
    }
    case PmViewFile: {
        HelpContextScope help(5190);
        viewFile(panel);
        return true;
    }
    case PmOpenArchive: {
        if (li.isFtp()) {
            ShowWarning(4480);
            return true;
        }
        const int cur = li.cursor();
        if (cur < 0 || cur >= li.rowCount() || li.entries[static_cast<size_t>(cur)].kind != KindFile) {
            ShowWarning(4173);
            return true;
        }
        HelpContextScope help(CmdOpenArchive);
        browseArchive(panel, li.FullPath(li.entries[static_cast<size_t>(cur)]), mainWindow, false);
        return true;
    }
    case PmDiskSpace: {
        HelpContextScope help(6220);
        CalculateDiskSpaceCommand(li, mainWindow);
        return true;
    }
    default: return false;
    }
}

} // namespace km
