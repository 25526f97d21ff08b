#pragma once
// The drop-down of mounted volumes above a panel, with its information line.
#include "platform/Volumes.h"

#include <QComboBox>

#include <memory>

namespace km {

class DriveBar : public QComboBox {
    Q_OBJECT
public:
    DriveBar(int panelId, QWidget* parent = nullptr);
    ~DriveBar() override;

    // Mount point shown (the panel's drive), or "FTP".
    const std::string& drive() const { return drive_; }
    void setDrive(const std::string& mountPoint) { drive_ = mountPoint; }
    const std::string& infoText() const { return infoText_; }
    // The same for a narrow line.
    const std::string& shortInfoText() const { return shortInfoText_; }

    void FillList();
    // Recomputes the information line. The free-space query runs on its own
    // thread (a dead network mount blocks it for good); a late answer
    // rewrites the line when it comes.
    void UpdateInfo();
    void RefreshDrive() {
        FillList();
        UpdateInfo();
    }
    void setMessageTarget(QObject* target) { target_ = target; }

    void showPopup() override;

signals:
    void infoChanged();

private:
    struct SpaceQuery;
    void chooseDrive(int index);
    void spaceArrived();

    const int panelId_;
    std::string drive_ = "/";
    std::string infoText_;
    std::string shortInfoText_;
    std::vector<Volume> volumes_;
    QObject* target_ = nullptr;
    std::shared_ptr<SpaceQuery> query_;
};

} // namespace km
