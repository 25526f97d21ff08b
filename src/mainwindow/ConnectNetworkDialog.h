#pragma once
// "CONNECTNETWORK": the location of a network drive to connect (smb://,
// sftp://, ftp://, dav://, nfs:// as gio knows them).
#include <QDialog>

#include <optional>
#include <string>

class QCheckBox;
class QLineEdit;

namespace km {

struct NetworkConnectRequest {
    std::string location;
    bool anonymous = false;
};

class ConnectNetworkDialog : public QDialog {
    Q_OBJECT
public:
    explicit ConnectNetworkDialog(QWidget* parent);
    // Nothing after Cancel. OK with text that is no network location says so
    // and leaves the dialog open.
    static std::optional<NetworkConnectRequest> Ask(QWidget* parent);

private:
    void tryAccept();

    QLineEdit* location_;
    QCheckBox* anonymous_;
};

} // namespace km
