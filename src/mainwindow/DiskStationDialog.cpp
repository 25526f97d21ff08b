#include "mainwindow/DiskStationDialog.h"

#include "fileops/open_execute/ProcessLauncher.h"
#include "panels/DriveItems.h"
#include "platform/Volumes.h"
#include "resources/CommandIds.h"
#include "ui_services/AppState.h"
#include "ui_services/DialogButtons.h"
#include "ui_services/MessageBoxes.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace km {

DiskStationDialog::DiskStationDialog(bool removableOnly, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("DISKSTATION"));
    setWindowTitle(QStringLiteral("KM - Disk station"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Select disk station:"), this));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("list2500"));
    for (const Volume& v : ReadVolumes()) {
        if (removableOnly && v.type != VolumeType::Removable)
            continue;
        const std::string text = DriveItemText(v);
        list_->addItem(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
        devices_.push_back(v.source);
    }
    list_->setCurrentRow(0);
    layout->addWidget(list_);
    AddDialogButtons(this, layout, [this] { accept(); });
}

std::string DiskStationDialog::Ask(bool removableOnly, QWidget* parent) {
    DiskStationDialog dlg(removableOnly, parent);
    if (dlg.exec() != QDialog::Accepted || dlg.list_->currentRow() < 0)
        return {};
    return dlg.devices_[static_cast<size_t>(dlg.list_->currentRow())];
}

void DiskCommand(int command, QWidget* parent) {
    HelpContextScope help(command);
    const std::string device = DiskStationDialog::Ask(command == CmdDiskCopy, parent);
    if (device.empty())
        return;
    // GNOME Disks shows a device's properties and offers formatting and
    // images of it, the counterparts of the three commands.
    const std::string utility = FindProgram("gnome-disks");
    if (utility.empty() || LaunchDetached({utility, "--block-device", device}, {}) != 0)
        ShowMessage("This command is not available: no disk utility (gnome-disks) is installed.",
                    MbOk | MbIconExclamation);
}

} // namespace km
