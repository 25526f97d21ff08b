#pragma once
// The panel side of open, edit, view, associate, make directory and disk
// space (0x411, 0x42a, 0x438, 0x420, 0x40f, 0x410), and Enter on a file.
#include "ui_services/PanelMessage.h"

#include <string>

class QWidget;

namespace km {

class FilePanel;

bool HandleOpenCommand(FilePanel& panel, const PanelMessageEvent& m, QWidget* mainWindow);
// Enter or double click on a file of `panel`.
void OpenPanelFile(FilePanel& panel, const std::string& path, QWidget* mainWindow);

} // namespace km
