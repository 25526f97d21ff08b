#pragma once
// The panel side of copy (0x40a), rename/move (0x40b), delete (0x40d) and
// drop-copy (0x409): the dialogs, the progress window and the re-reads.
#include "panels/PanelListing.h"
#include "ui_services/PanelMessage.h"

#include <string>

class QWidget;

namespace km {

class FilePanel;

// True when `m` was one of the file operations (handled for `panel`, with
// `other` the opposite panel and `mainWindow` disabled meanwhile).
bool HandleFileOperation(FilePanel& panel, FilePanel& other, const PanelMessageEvent& m, QWidget* mainWindow);

// Rename/Move with a plain new name (no directory): the entries chosen in a
// local `panel` are renamed where they are, then the panel is re-read.
void RenameInPlace(FilePanel& panel, const PanelSelection& chosen, const std::string& newName,
                   QWidget* mainWindow);

} // namespace km
