#pragma once
// "DISKPROPERTIES": what is known of one block device: the device, its file
// system, label, UUID, size, the space used and free, where it is mounted,
// and whether it is read-only.
#include "platform/BlockDevices.h"

#include <QDialog>

namespace km {

class DiskPropertiesDialog : public QDialog {
    Q_OBJECT
public:
    DiskPropertiesDialog(const BlockDevice& device, QWidget* parent);
};

} // namespace km
