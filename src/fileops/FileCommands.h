#pragma once
// The copy, move, rename and delete commands over the entries chosen in a
// panel, after their dialogs: what runs between OK and the re-read of the panels.
#include "fileops/FileOpUi.h"
#include "panels/PanelListing.h"

#include <string>
#include <vector>

namespace km {

// "Copy <path> to:" / "Copy 2 files, 1 directories to:" ("Move/Rename " for moves).
std::string CopyLabel(const PanelSelection& chosen, bool move);
// The other panel's directory, plus the file's name for one single file.
std::string DefaultCopyTarget(const PanelSelection& chosen, const std::string& otherPath);
// "You are about to delete <path>. Are you sure?" / "... 5 items ..."
std::string DeleteQuestion(const PanelSelection& chosen);

struct CopyCommand {
    std::string target; // as typed; relative targets are taken from the source directory
    bool onlyNewer = false;
    bool move = false;
    bool confirmOverwrite = true;
    bool recycle = false; // how moved trees leave their source
};

// Runs a Copy or a Rename/move in move mode. Returns the last entry's result
// (0 lets the caller drop the source panel's selection).
int RunCopyCommand(const PanelSelection& source, const CopyCommand& cmd, FileOpUi& ui);

// Rename/move without a directory in the target: each entry is renamed
// within its directory to the typed name. Returns false when nothing ran.
bool RunRenameInPlace(const PanelSelection& source, const std::string& newName, FileOpUi& ui);

// True when the typed Rename/move target means a move (it names a path).
bool IsMoveTarget(const std::string& typed);

// Copies dropped files (full paths from the panel `sourceDir`) below `targetBase`,
// keeping their paths relative to the source directory.
void RunDropCopy(const std::vector<std::string>& paths, const std::string& sourceDir,
                 const std::string& targetBase, bool confirmOverwrite, FileOpUi& ui);

struct DeleteCommand {
    bool recycle = false;
    bool confirmFiles = true;
    bool confirmDirs = true;
};

// Deletes the chosen entries after the questions. False when nothing ran
// (nothing chosen, or not confirmed).
bool RunDeleteCommand(const PanelSelection& chosen, const DeleteCommand& cmd, FileOpUi& ui);

} // namespace km
