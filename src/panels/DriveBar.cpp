#include "panels/DriveBar.h"

#include "panels/DriveItems.h"
#include "panels/RemotePanelSource.h"
#include "platform/DirectoryReader.h"
#include "ui_services/MessageBoxes.h"
#include "ui_services/PanelMessage.h"

#include <dirent.h>

namespace km {

DriveBar::DriveBar(int panelId, QWidget* parent) : QComboBox(parent), panelId_(panelId) {
    setObjectName(panelId == 1070 ? QStringLiteral("leftDriveBar") : QStringLiteral("rightDriveBar"));
    connect(this, qOverload<int>(&QComboBox::activated), this, &DriveBar::chooseDrive);
}

void DriveBar::FillList() {
    volumes_ = ReadVolumes();
    const QSignalBlocker block(this);
    clear();
    int current = -1;
    for (size_t i = 0; i < volumes_.size(); ++i) {
        const std::string text = DriveItemText(volumes_[i]);
        addItem(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                QByteArray::fromStdString(volumes_[i].mountPoint));
        if (volumes_[i].mountPoint == drive_)
            current = static_cast<int>(i);
    }
    const std::string site = RemoteSource() ? RemoteSource()->SiteName() : std::string();
    if (!site.empty()) {
        addItem(QStringLiteral("[FTP] ") + QString::fromUtf8(site.data(), static_cast<qsizetype>(site.size())));
        if (drive_ == "FTP")
            current = count() - 1;
    }
    setCurrentIndex(current);
}

void DriveBar::UpdateInfo() {
    if (drive_ == "FTP") {
        const std::string site = RemoteSource() ? RemoteSource()->SiteName() : std::string();
        infoText_ = "[FTP] " + site;
    } else {
        infoText_ = DriveInfoText(QueryDiskSpace(drive_));
    }
    emit infoChanged();
}

void DriveBar::showPopup() {
    FillList();
    QComboBox::showPopup();
}

void DriveBar::chooseDrive(int index) {
    if (index == static_cast<int>(volumes_.size()) && RemoteSource() && !RemoteSource()->SiteName().empty()) {
        drive_ = "FTP";
        if (target_)
            PostPanelMessage(target_, PmDriveChanged, panelId_);
        return;
    }
    if (index < 0 || index >= static_cast<int>(volumes_.size()))
        return;
    const std::string mount = volumes_[static_cast<size_t>(index)].mountPoint;
    // An empty volume is fine; one that cannot be opened is not.
    DIR* d = opendir(mount.c_str());
    if (!d) {
        const int err = errno;
        ShowMessage(ErrorText(err), MbOk | MbIconStop);
        FillList();
        return;
    }
    closedir(d);
    drive_ = mount;
    if (target_)
        PostPanelMessage(target_, PmDriveChanged, panelId_);
}

} // namespace km
