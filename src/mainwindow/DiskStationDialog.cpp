#include "mainwindow/DiskStationDialog.h"

#include "fileops/open_execute/ProcessLauncher.h"
#include "mainwindow/DiskPropertiesDialog.h"
#include "platform/BlockDeviceList.h"
#include "platform/DiskUtility.h"
#include "resources/CommandIds.h"
#include "ui_services/AppState.h"
#include "ui_services/DialogButtons.h"
#include "ui_services/MessageBoxes.h"

#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include <chrono>
#include <cstring>

namespace km {
namespace {

// lsblk asks every mounted volume for its space; one that hangs must not
// hold the window for good.
constexpr auto kListPatience = std::chrono::seconds(10);

std::string windowIdFor(QWidget* w) {
    if (!w || QGuiApplication::platformName() != QLatin1String("xcb"))
        return {};
    return std::to_string(static_cast<unsigned long long>(w->window()->winId()));
}

} // namespace

std::string DiskStationItemText(const BlockDevice& d) {
    std::string text = "[-" + d.name + "-]";
    if (d.isOptical())
        text += d.label.empty() ? std::string(" CD-ROM") : " " + d.label;
    else if (d.isRemovable())
        text += " Removable";
    else if (!d.label.empty())
        text += " " + d.label;
    return text;
}

DiskStationDialog::DiskStationDialog(std::vector<BlockDevice> devices, bool removableOnly,
                                     QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("DISKSTATION"));
    setWindowTitle(QStringLiteral("KM - Disk station"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Select disk station:"), this));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("list2500"));
    for (BlockDevice& d : devices) {
        // Disk copy is for media that come out; an empty device is no disk
        // unless it is a drive waiting for one.
        if ((removableOnly && (!d.isRemovable() || d.isOptical())) ||
            (d.size == 0 && !d.isRemovable()))
            continue;
        const std::string text = DiskStationItemText(d);
        list_->addItem(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
        devices_.push_back(std::move(d));
    }
    list_->setCurrentRow(0);
    layout->addWidget(list_);
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    AddDialogButtons(this, layout, [this] { accept(); });
}

std::optional<BlockDevice> DiskStationDialog::Ask(bool removableOnly, QWidget* parent) {
    std::vector<BlockDevice> devices;
    {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        const auto deadline = std::chrono::steady_clock::now() + kListPatience;
        std::string error;
        devices =
            ReadBlockDevices([&] { return std::chrono::steady_clock::now() < deadline; }, error);
        QGuiApplication::restoreOverrideCursor();
        if (!error.empty()) {
            ShowMessage("The disks cannot be listed: " + error, MbOk | MbIconExclamation);
            return std::nullopt;
        }
    }
    DiskStationDialog dlg(std::move(devices), removableOnly, parent);
    if (dlg.exec() != QDialog::Accepted || dlg.list_->currentRow() < 0)
        return std::nullopt;
    return dlg.devices_[static_cast<size_t>(dlg.list_->currentRow())];
}

void DiskCommand(int command, QWidget* parent) {
    HelpContextScope help(command);
    const std::optional<BlockDevice> device =
        DiskStationDialog::Ask(command == CmdDiskCopy, parent);
    if (!device)
        return;
    if (command == CmdDiskProperties) {
        DiskPropertiesDialog(*device, parent).exec();
        return;
    }
    const DiskAction action = command == CmdFormatDisk ? DiskAction::Format : DiskAction::Copy;
    const std::vector<std::string> argv = DiskUtilityCommand(action, *device, windowIdFor(parent));
    if (argv.empty()) {
        ShowMessage(NoDiskUtilityText(), MbOk | MbIconExclamation);
        return;
    }
    if (const int err = LaunchDetached(argv, {}); err != 0)
        ShowMessage(argv[0] + ": " + std::strerror(err), MbOk | MbIconExclamation);
}

} // namespace km
