#pragma once
// "FTPSITES": the site book, with Connect and Disconnect; "NEWSITE" adds a site.
#include "ftp/FtpConnection.h"
#include "ftp/FtpSite.h"

#include <QDialog>

#include <functional>
#include <string>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace km {

class FtpSiteFields;

class FtpSitesDialog : public QDialog {
    Q_OBJECT
public:
    // `currentDir` is where a relative log file name goes (the active panel's
    // directory); `ui` tells the main window what the connection changed.
    FtpSitesDialog(QWidget* parent, FtpConnectUi& ui, std::function<std::string()> currentDir);
    static void Ask(QWidget* parent, FtpConnectUi& ui, std::function<std::string()> currentDir);

private:
    void fillList(const std::string& select);
    void loadSelected();
    void saveLoaded();
    void rewriteLoaded();
    void updateTitleAndButtons();
    void add();
    void remove();
    void connectSite();
    void disconnectSite();
    void showLog();
    void finish();

    FtpConnectUi& ui_;
    std::function<std::string()> currentDir_;
    QListWidget* list_;
    FtpSiteFields* fields_;
    QPushButton* delete_;
    QPushButton* connect_;
    QPushButton* disconnect_;
    QPushButton* showLog_;
    std::string loadedName_;
    FtpSite loaded_; // as last loaded or saved
};

class NewSiteDialog : public QDialog {
    Q_OBJECT
public:
    explicit NewSiteDialog(QWidget* parent);
    std::string name() const;
    FtpSite site() const;

private:
    QLineEdit* name_;
    FtpSiteFields* fields_;
};

} // namespace km
