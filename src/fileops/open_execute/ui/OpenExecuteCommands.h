#pragma once
// The panel side of open, edit, associate, make directory and disk space:
// the checks on the cursor entry, the dialogs and the message boxes.
#include "fileops/open_execute/OpenExecute.h"

#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace km {

class PanelListing;

// OpenExecuteUi with the program's message boxes.
class QtOpenExecuteUi : public OpenExecuteUi {
public:
    void Warning(int stringId, std::string_view detail) override;
    void Message(std::string_view text, bool stopIcon) override;
};

// The internal editor: a new "REDIT" window on `path` owned by `owner`,
// told the file does not exist yet when `isNew`. Set once at start-up.
using InternalEditorWindowFn =
    std::function<void(const std::string& path, QWidget* owner, bool isNew)>;
void SetInternalEditor(InternalEditorWindowFn open);

// Enter or double click on a file of a local panel (after message 0x404);
// `workingDir` is the panel's directory. Warnings as the engine's OpenFile.
void OpenFile(const std::string& path, const std::string& workingDir);
void ExecuteByAssociation(const std::string& path, const std::string& workingDir);
// The editor chosen by "InternalEditor" and "Editor".
void EditFile(const std::string& path, QWidget* owner, bool isNew, const std::string& workingDir);

// 0x411 on a local panel: the cursor entry must be a file (else 4173).
void EditCommand(PanelListing& panel, QWidget* owner);
// 0x42a: "EDITNEW", then the editor on the name (relative to the panel).
void EditNewCommand(PanelListing& panel, QWidget* owner);
// 0x420: "ASSOCIATE" for the cursor file's extension; clears keepSelection.
void AssociateCommand(PanelListing& panel, QWidget* owner);
// 0x40f on a local panel: "NEWDIR" and the directories. Returns the typed
// text unless cancelled; the caller re-reads the panel and puts the cursor
// on the directory FirstPathComponent(text) names.
std::optional<std::string> MakeDirectoryCommand(PanelListing& panel, QWidget* owner);
// 0x410: the cursor directory's totals (4480 on FTP, 4204 without a directory).
void CalculateDiskSpaceCommand(PanelListing& panel, QWidget* mainWindow);
// Counts `dirPath` under "STATUSCALC" with the main window disabled, then
// shows "CALCSPACE"; nothing after Cancel.
void CalculateDiskSpace(const std::string& dirPath, QWidget* mainWindow);

} // namespace km
