#include "fileops/ui/FileOperations.h"

#include "fileops/FileCommands.h"
#include "fileops/ui/CopyDialog.h"
#include "fileops/ui/FileSearchDialog.h"
#include "fileops/ui/QtFileOpUi.h"
#include "panels/FilePanel.h"
#include "resources/StringTable.h"
#include "settings/SettingsStore.h"
#include "ui_services/AppState.h"
#include "ui_services/BusyGuard.h"
#include "ui_services/MessageBoxes.h"

#include <QList>

namespace km {
namespace {

constexpr int kCopyHelp = 5060;
constexpr int kMoveHelp = 5080;

void copyOrMove(FilePanel& panel, FilePanel& other, bool move, QWidget* mainWindow) {
    // What is on show now is what the command acts on, whatever rows arrive
    // while the dialog is open.
    PanelListing& source = panel.listing();
    const PanelSelection chosen = source.Chosen();
    if (chosen.empty()) {
        ShowWarning(4187);
        return;
    }
    const bool ftp = chosen.ftp || other.listing().isFtp();
    const int type = Settings().GetInt("FTP", "XferType", 1);
    std::optional<CopyDialog::Result> answer;
    {
        HelpContextScope help(move ? kMoveHelp : kCopyHelp);
        answer = CopyDialog::Ask(move, CopyLabel(chosen, move), DefaultCopyTarget(chosen, other.listing().path),
                                 type, ftp, mainWindow);
    }
    if (!answer)
        return;
    if (move && !IsMoveTarget(answer->target)) {
        RenameInPlace(panel, chosen, answer->target, mainWindow);
        return;
    }
    CopyCommand cmd;
    cmd.target = answer->target;
    cmd.onlyNewer = answer->onlyNewer;
    cmd.move = move;
    cmd.confirmOverwrite = Settings().GetInt("Algemeen", "BevestigingOverwrite", 1) == 1;
    cmd.recycle = App().recycleSwitch;
    int result;
    {
        BusyGuard busy(mainWindow);
        Settings().PutInt("FTP", "XferType", answer->transferType); // read by the FTP engine meanwhile
        const std::string title(LoadString(4224));
        QtFileOpUi ui(mainWindow, ProgressKind::Copy, move ? title.c_str() : nullptr);
        result = RunCopyCommand(chosen, cmd, ui);
        Settings().PutInt("FTP", "XferType", type);
    }
    if (result == 0)
        source.keepSelection = false;
    if (move) {
        PostPanelMessage(mainWindow, PmRefreshBoth, panel.controlId());
    } else {
        PostPanelMessage(mainWindow, PmRefreshOne, other.controlId());
        PostPanelMessage(mainWindow, PmRefreshOne, panel.controlId());
    }
}

void dropCopy(FilePanel& panel, FilePanel& other, const PanelMessageEvent& m, QWidget* mainWindow) {
    const auto list = m.payload.value<QList<QByteArray>>();
    std::vector<std::string> paths;
    paths.reserve(static_cast<size_t>(list.size()));
    for (const QByteArray& p : list)
        paths.push_back(p.toStdString());
    PanelListing& target = panel.listing();
    const int row = static_cast<int>((m.second >> 16) & 0xFFFF);
    std::string base = target.path;
    if (row != 0xFFFF && row < target.rowCount() && target.entries[static_cast<size_t>(row)].kind == KindDirectory)
        base = target.FullPath(target.entries[static_cast<size_t>(row)]);
    {
        BusyGuard busy(mainWindow);
        QtFileOpUi ui(mainWindow, ProgressKind::Copy, nullptr);
        RunDropCopy(paths, other.listing().path, base,
                    Settings().GetInt("Algemeen", "BevestigingOverwrite", 1) == 1, ui);
    }
    other.listing().keepSelection = false;
    PostPanelMessage(mainWindow, PmRefreshOne, panel.controlId());
}

void deleteEntries(FilePanel& panel, QWidget* mainWindow) {
    const PanelSelection chosen = panel.listing().Chosen();
    if (chosen.empty()) {
        ShowWarning(4187);
        return;
    }
    SettingsStore& s = Settings();
    if (s.GetInt("Algemeen", "BevestigingDelFiles", 1) == 1 &&
        ShowMessage(DeleteQuestion(chosen), MbYesNo | MbIconExclamation) != IdYes)
        return;
    DeleteCommand cmd;
    cmd.recycle = App().recycleSwitch;
    cmd.confirmFiles = false; // asked above, before the progress window opens
    cmd.confirmDirs = s.GetInt("Algemeen", "BevestigingDelDirs", 1) == 1;
    {
        BusyGuard busy(mainWindow);
        QtFileOpUi ui(mainWindow, ProgressKind::Remove, nullptr);
        RunDeleteCommand(chosen, cmd, ui);
    }
    // The selection is kept, so what could not be deleted stays selected.
    PostPanelMessage(mainWindow, PmRefreshOne, panel.controlId());
    panel.setFocus();
}

} // namespace

void RenameInPlace(FilePanel& panel, const PanelSelection& chosen, const std::string& newName,
                   QWidget* mainWindow) {
    {
        BusyGuard busy(mainWindow);
        QtFileOpUi ui(mainWindow, ProgressKind::Copy, nullptr);
        RunRenameInPlace(chosen, newName, ui);
    }
    panel.listing().keepSelection = false;
    PostPanelMessage(mainWindow, PmRefreshOne, panel.controlId());
}

bool HandleFileOperation(FilePanel& panel, FilePanel& other, const PanelMessageEvent& m, QWidget* mainWindow) {
    switch (m.message) {
    case PmCopy: copyOrMove(panel, other, false, mainWindow); return true;
    case PmRenameMove: copyOrMove(panel, other, true, mainWindow); return true;
    case PmDrop: dropCopy(panel, other, m, mainWindow); return true;
    case PmDelete: deleteEntries(panel, mainWindow); return true;
    case PmFileSearch: FileSearchDialog::Run(panel, mainWindow); return true;
    default: return false;
    }
}

} // namespace km
