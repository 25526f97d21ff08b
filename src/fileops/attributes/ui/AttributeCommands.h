#pragma once
// The panel side of the attribute dialogs (messages 0x418, 0x419, 0x433 and
// 0x434) and the checks of the "Attributes..." menu commands.
#include "ui_services/PanelMessage.h"

class QWidget;

namespace km {

class FilePanel;

// Handles the four attribute messages for `panel`; true when `m` was one of
// them. The first parameter of 0x418/0x433 is the row to act on (a right
// click passes the clicked row); -1 or any row outside the listing means the
// cursor row. After OK the panel's selection is dropped and 0x400 with the
// panel's control id is posted to `mainWindow`, which is disabled while the
// entries are changed. Cancel changes nothing.
bool HandleAttributeCommand(FilePanel& panel, const PanelMessageEvent& m, QWidget* mainWindow);

// Command 6000 (file menu) or, with `directoryMenu`, 6005 on the active
// panel: 4480 on an FTP site; for files 4173 while directories are selected.
// Otherwise posts 0x419 (more than one file) or 0x418, resp. 0x434 (more
// than one directory) or 0x433, to `active` with -1 as first parameter.
void AttributesCommand(FilePanel& active, bool directoryMenu);

} // namespace km
