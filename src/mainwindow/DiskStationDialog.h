#pragma once
// "DISKSTATION": the block devices of this machine, mounted or not, for the
// disk commands: properties in a dialog of our own, formatting and copying
// handed to the desktop's disk utility.
#include "platform/BlockDevices.h"

#include <QDialog>

#include <optional>
#include <string>
#include <vector>

class QListWidget;

namespace km {

class DiskStationDialog : public QDialog {
    Q_OBJECT
public:
    // `removableOnly` for disk copy.
    DiskStationDialog(std::vector<BlockDevice> devices, bool removableOnly, QWidget* parent);
    // Reads the devices and asks; nothing after Cancel or when they cannot be
    // read (then the user is told why).
    static std::optional<BlockDevice> Ask(bool removableOnly, QWidget* parent);

private:
    QListWidget* list_;
    std::vector<BlockDevice> devices_;
};

// "[-" + the device's name + "-]" and a description by kind: " CD-ROM" or
// the disc's label for an optical drive, " Removable" for a removable one,
// " " + the label for a fixed one.
std::string DiskStationItemText(const BlockDevice& device);

// Commands 6228, 6227, 6229: the dialog, then the properties dialog or the
// disk utility on the device; without a disk utility, says what to install.
void DiskCommand(int command, QWidget* parent);

} // namespace km
