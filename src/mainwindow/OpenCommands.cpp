#include "mainwindow/OpenCommands.h"

#include "fileops/open_execute/NewDirectory.h"
#include "fileops/open_execute/ui/OpenExecuteCommands.h"
#include "panels/FilePanel.h"
#include "panels/PanelModel.h"
#include "platform/Collation.h"
#include "ui_services/AppState.h"
#include "ui_services/MessageBoxes.h"

namespace km {
namespace {

void makeDirectory(FilePanel& panel, QWidget* mainWindow) {
    PanelListing& li = panel.listing();
    const auto typed = MakeDirectoryCommand(li, mainWindow);
    if (!typed)
        return;
    panel.Refresh();
    // The cursor goes to the first directory of what was typed.
    const std::string first = FirstPathComponent(*typed);
    for (int i = 0; i < li.rowCount(); ++i) {
        const FileEntry& e = li.entries[static_cast<size_t>(i)];
        if (e.kind == KindDirectory && EqualsIgnoreCase(e.name, first)) {
            panel.MoveCursor(i);
            return;
        }
    }
    panel.scrollToTop();
}

} // namespace

void OpenPanelFile(FilePanel& panel, const std::string& path, QWidget* mainWindow) {
    PostPanelMessage(mainWindow, PmPanelFocused, panel.controlId());
    if (panel.listing().isFtp()) {
        ShowWarning(4510);
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
    case PmDiskSpace: {
        HelpContextScope help(6220);
        CalculateDiskSpaceCommand(li, mainWindow);
        return true;
    }
    default: return false;
    }
}

} // namespace km
