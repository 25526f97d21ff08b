#pragma once
// The panel side of "&Zip..." and "Zip to self extractin&g..." (message 0x413, first
// parameter 0 for a plain archive, 1 for a self-extractor).
#include "ui_services/PanelMessage.h"

#include <string>

class QWidget;

namespace km {

class FilePanel;
class PanelListing;

// Handles 0x413 for `panel` (the active one) with `other` as the opposite panel; true when
// `m` was that message. Asks for the path mode and the archive name, zips the selection (or
// the cursor row) with a status window, then posts 0x400 with the panel's control id to
// `mainWindow`, which stays disabled while the engine runs.
bool HandleZipCommand(FilePanel& panel, FilePanel& other, const PanelMessageEvent& m,
                      QWidget* mainWindow);

// The archive name the "ZIP" dialog proposes.
std::string DefaultZipArchiveName(const PanelListing& panel, const PanelListing& other,
                                  bool selfExtractor);

// What the user typed, as the archive's full path: a relative name is taken relative to
// `dir`, the directory of the zipped entries. Empty when it is refused (a name for an FTP site).
std::string ResolveZipArchiveName(const std::string& typed, const std::string& dir, bool otherIsFtp);

} // namespace km
