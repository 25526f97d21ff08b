#pragma once
// "DISKSTATION": a volume handed to the desktop's disk utility for its
// properties, formatting or copying.
#include <QDialog>

#include <string>
#include <vector>

class QListWidget;

namespace km {

class DiskStationDialog : public QDialog {
    Q_OBJECT
public:
    // `removableOnly` for disk copy.
    DiskStationDialog(bool removableOnly, QWidget* parent);
    // The chosen volume's device, empty after Cancel.
    static std::string Ask(bool removableOnly, QWidget* parent);

private:
    QListWidget* list_;
    std::vector<std::string> devices_;
};

// Commands 6228, 6227, 6229: the dialog, then the disk utility on the
// device; without one installed, says that the command is not available.
void DiskCommand(int command, QWidget* parent);

} // namespace km
