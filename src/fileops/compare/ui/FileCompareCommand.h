#pragma once
// The main window's Compare command (6030): the selected file of the left
// panel against the selected file of the right panel.
class QWidget;

namespace km {

class PanelListing;

// Warns 4510 when either panel shows an FTP site and 4173 when either has no
// selected file; otherwise opens "FILECOMP" with help context 6030.
void FileCompareCommand(const PanelListing& left, const PanelListing& right, QWidget* owner);

} // namespace km
