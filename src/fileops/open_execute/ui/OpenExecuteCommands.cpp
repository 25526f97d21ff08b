#include "fileops/open_execute/ui/OpenExecuteCommands.h"

#include "fileops/open_execute/AssociationWriter.h"
#include "fileops/open_execute/DiskSpaceCounter.h"
#include "fileops/open_execute/NewDirectory.h"
#include "fileops/open_execute/ui/AssociateDialog.h"
#include "fileops/open_execute/ui/CalcSpaceDialog.h"
#include "fileops/open_execute/ui/EditNewDialog.h"
#include "fileops/open_execute/ui/NewDirDialog.h"
#include "panels/PanelListing.h"
#include "platform/PathUtil.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "ui_services/AppState.h"
#include "ui_services/BusyGuard.h"
#include "ui_services/EventPump.h"
#include "ui_services/MessageBoxes.h"
#include "ui_services/ProgressWindow.h"

#include <QPointer>

namespace km {
namespace {

constexpr int kNoFileSelected = 4173;
constexpr int kNoDirectorySelected = 4204;
constexpr int kNotOnFtp = 4480;
// The dialogs' own help pages, not the commands' numbers.
constexpr int kEditNewHelp = 5055;
constexpr int kMakeDirHelp = 5090;

InternalEditorWindowFn& internalEditor() {
    static InternalEditorWindowFn fn;
    return fn;
}

const FileEntry* cursorEntry(const PanelListing& panel) {
    const int cur = panel.cursor();
    if (cur < 0 || cur >= panel.rowCount())
        return nullptr;
    return &panel.entries[static_cast<size_t>(cur)];
}

const FileEntry* cursorFile(const PanelListing& panel) {
    const FileEntry* e = cursorEntry(panel);
    return e && e->kind == KindFile ? e : nullptr;
}

} // namespace

void QtOpenExecuteUi::Warning(int stringId, std::string_view detail) {
    ShowWarning(stringId, detail);
}

void QtOpenExecuteUi::Message(std::string_view text, bool stopIcon) {
    ShowMessage(text, MbOk | (stopIcon ? MbIconStop : MbIconExclamation));
}

void SetInternalEditor(InternalEditorWindowFn open) {
    internalEditor() = std::move(open);
}

void OpenFile(const std::string& path, const std::string& workingDir) {
    QtOpenExecuteUi ui;
    OpenFile(path, workingDir, ui);
}

void ExecuteByAssociation(const std::string& path, const std::string& workingDir) {
    QtOpenExecuteUi ui;
    ExecuteByAssociation(path, workingDir, ui);
}

void EditFile(const std::string& path, QWidget* owner, bool isNew, const std::string& workingDir) {
    QtOpenExecuteUi ui;
    InternalEditorFn internal;
    if (internalEditor())
        internal = [owner](const std::string& p, bool n) { internalEditor()(p, owner, n); };
    EditFile(path, isNew, workingDir, Settings(), internal, ui);
}

void EditCommand(PanelListing& panel, QWidget* owner) {
    const FileEntry* e = cursorFile(panel);
    if (!e) {
        ShowWarning(kNoFileSelected);
        return;
    }
    EditFile(panel.FullPath(*e), owner, false, panel.path);
}

void EditNewCommand(PanelListing& panel, QWidget* owner) {
    if (panel.isFtp()) {
        ShowWarning(kNotOnFtp);
        return;
    }
    // Relative names belong to the directory on show when the command was
    // given: this program never changes its own current directory.
    const std::string dir = panel.path;
    std::optional<std::string> name;
    {
        HelpContextScope help(kEditNewHelp);
        name = EditNewDialog::Ask(owner);
    }
    if (!name || name->empty())
        return;
    EditFile(ResolvePath(dir, *name), owner, true, dir);
}

void AssociateCommand(PanelListing& panel, QWidget* owner) {
    const FileEntry* e = cursorFile(panel);
    if (!e) {
        ShowWarning(kNoFileSelected);
        return;
    }
    const XdgDirs dirs = XdgDirs::FromEnvironment();
    Association current;
    if (const int r = ReadAssociation(e->name, dirs, current); r != 0) {
        ShowWarning(r);
        return;
    }
    std::optional<AssociateDialog::Result> answer;
    {
        HelpContextScope help(CmdAssociate);
        answer = AssociateDialog::Ask(current, owner);
    }
    if (!answer)
        return;
    if (answer->command.find_first_not_of(" \t") != std::string::npos) {
        std::string error;
        const int r = WriteAssociation(current, answer->description, answer->command, dirs, error);
        if (r > 0)
            ShowWarning(r);
        else if (r != AssociateDone)
            ShowMessage(error, MbOk | MbIconStop);
    }
    panel.keepSelection = false;
}

std::optional<std::string> MakeDirectoryCommand(PanelListing& panel, QWidget* owner) {
    const std::string dir = panel.path; // as shown when the command was given
    std::optional<std::string> typed;
    {
        HelpContextScope help(kMakeDirHelp);
        typed = NewDirDialog::Ask(owner);
    }
    if (!typed)
        return std::nullopt;
    QtOpenExecuteUi ui;
    MakeNewDirectory(dir, *typed, ui);
    return typed;
}

void CalculateDiskSpaceCommand(PanelListing& panel, QWidget* mainWindow) {
    if (panel.isFtp()) {
        ShowWarning(kNotOnFtp);
        return;
    }
    const FileEntry* e = cursorEntry(panel);
    if (!e || e->kind != KindDirectory) {
        ShowWarning(kNoDirectorySelected);
        return;
    }
    HelpContextScope help(CmdCalcSpace);
    CalculateDiskSpace(panel.FullPath(*e), mainWindow);
}

void CalculateDiskSpace(const std::string& dirPath, QWidget* mainWindow) {
    DiskSpaceTotals totals;
    bool complete;
    {
        BusyGuard busy(mainWindow);
        QPointer<ProgressWindow> window = ProgressWindow::Create(ProgressKind::Calc, mainWindow);
        window->show();
        EventPump::force();
        complete = CountDiskSpace(dirPath, totals, [&window] {
            // Cancel closes (and deletes) the window inside the pump.
            return EventPump::pump() || !window;
        });
        if (window)
            window->finish();
    }
    if (mainWindow)
        mainWindow->activateWindow();
    if (!complete)
        return;
    CalcSpaceDialog(std::string(LoadString(4205)) + dirPath, totals, mainWindow).exec();
}

} // namespace km
