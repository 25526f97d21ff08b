#include "panels/DriveBar.h"

#include "panels/CellText.h"
#include "panels/DriveItems.h"
#include "panels/RemotePanelSource.h"
#include "platform/DirectoryReader.h"
#include "ui_services/MessageBoxes.h"
#include "ui_services/PanelMessage.h"

#include <chrono>
#include <condition_variable>
#include <dirent.h>
#include <functional>
#include <mutex>
#include <thread>

namespace km {

struct DriveBar::SpaceQuery {
    std::mutex mutex;
    std::condition_variable answered;
    std::string path;
    bool done = false;
    DiskSpace space;
    std::function<void()> notify; // cleared once nobody waits for this answer
};

DriveBar::DriveBar(int panelId, QWidget* parent) : QComboBox(parent), panelId_(panelId) {
    setObjectName(panelId == 1070 ? QStringLiteral("leftDriveBar") : QStringLiteral("rightDriveBar"));
    connect(this, qOverload<int>(&QComboBox::activated), this, &DriveBar::chooseDrive);
}

DriveBar::~DriveBar() {
    if (query_) {
        std::lock_guard lock(query_->mutex);
        query_->notify = nullptr;
    }
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
        infoText_ = PadLine("[FTP] " + site);
        emit infoChanged();
        return;
    }
    if (query_) {
        std::lock_guard lock(query_->mutex);
        if (!query_->done && query_->path == drive_)
            return; // still waiting for this very answer: it rewrites the line
        query_->notify = nullptr;
    }
    auto query = std::make_shared<SpaceQuery>();
    query->path = drive_;
    query->notify = [this] { QMetaObject::invokeMethod(this, &DriveBar::spaceArrived, Qt::QueuedConnection); };
    query_ = query;
    std::thread([query] {
        const DiskSpace space = QueryDiskSpace(query->path);
        std::lock_guard lock(query->mutex);
        query->space = space;
        query->done = true;
        query->answered.notify_all();
        if (query->notify)
            query->notify();
    }).detach();
    bool answered;
    {
        // A local disk answers at once; only a stuck one is left to answer late.
        std::unique_lock lock(query->mutex);
        answered = query->answered.wait_for(lock, std::chrono::milliseconds(40), [&] { return query->done; });
        if (answered)
            query->notify = nullptr;
    }
    if (answered) {
        spaceArrived();
    } else {
        infoText_ = PadLine({}); // not another drive's numbers meanwhile
        shortInfoText_.clear();
        emit infoChanged();
    }
}

void DriveBar::spaceArrived() {
    if (!query_)
        return;
    DiskSpace space;
    {
        std::lock_guard lock(query_->mutex);
        if (!query_->done)
            return;
        space = query_->space;
    }
    if (query_->path != drive_)
        return;
    infoText_ = DriveInfoText(space);
    shortInfoText_ = DriveInfoShortText(space);
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
