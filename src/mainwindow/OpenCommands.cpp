#include "mainwindow/OpenCommands.h"

#include "fileops/open_execute/NewDirectory.h"
#include "fileops/open_execute/ui/OpenExecuteCommands.h"
#include "panels/FilePanel.h"
#include "panels/PanelModel.h"
#include "platform/Collation.h"
#include "ui_services/AppState.h"
#include "ui_services/MessageBoxes.h"
#include "viewers/ImageViewWindow.h"
#include "viewers/TextEditorWindow.h"

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

// Pictures go to the picture viewer; everything else is shown as text.
bool isPictureName(const std::string& name) {
    static const char* exts[] = {".jpg", ".png", ".tga", ".tif", ".wmf", ".pcx", ".gif", ".bmp"};
    if (name.size() < 4)
        return false;
    std::string tail = name.substr(name.size() - 4);
    for (char& ch : tail)
        ch = static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch + 32 : ch);
    for (const char* e : exts)
        if (tail == e)
            return true;
    return false;
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
    if (isPictureName(e.name))
        ImageViewWindow::Show(li.FullPath(e), panel.window());
    else
        TextEditorWindow::Open(li.FullPath(e), true, false);
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
    case PmViewFile: {
        HelpContextScope help(5190);
        viewFile(panel);
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
