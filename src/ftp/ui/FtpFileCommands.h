#pragma once
// The file commands where a panel shows the FTP site: copies become
// downloads and uploads, delete and make-directory go to the server, a remote
// file is fetched to a private local copy to be viewed or edited, and what
// cannot work on a site is refused.
#include "ui_services/PanelMessage.h"

class QWidget;

namespace km {

class FilePanel;

// True when `m` was handled here (only ever when `panel` or `other` shows
// the FTP site).
bool HandleFtpOperation(FilePanel& panel, FilePanel& other, const PanelMessageEvent& m, QWidget* mainWindow);

} // namespace km
