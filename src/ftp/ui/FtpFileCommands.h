#pragma once
// The file commands where a panel shows the FTP site: copies become
// downloads and uploads, delete and make-directory go to the server, a remote
// file is fetched to a private local copy to be viewed or edited, and what
// cannot work on a site is refused.
#include "ui_services/PanelMessage.h"

#include <string>

class QWidget;

namespace km {

class FilePanel;
struct FileEntry;

// True when `m` was handled here (only ever when `panel` or `other` shows
// the FTP site).
// Copies a remote file of `panel` into the private temporary directory after
// the "Copy to local disk first?" question (when "Confirm" asks for it);
// `forArchive` chooses binary when "AlwaysBinary" says so, otherwise ASCII
// when "AlwaysAscii" does. The local path, or empty after No or a failure.
std::string FetchRemoteCopy(FilePanel& panel, const FileEntry& e, bool forArchive, QWidget* mainWindow);

bool HandleFtpOperation(FilePanel& panel, FilePanel& other, const PanelMessageEvent& m, QWidget* mainWindow);

} // namespace km
