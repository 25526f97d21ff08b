#include "mainwindow/NetworkDriveCommands.h"

#include "mainwindow/ConnectNetworkDialog.h"
#include "mainwindow/DisconnectNetworkDialog.h"
#include "mainwindow/NetworkChoiceDialog.h"
#include "mainwindow/NetworkLoginDialog.h"
#include "platform/NetworkMount.h"
#include "resources/StringTable.h"
#include "ui_services/AppState.h"
#include "ui_services/BusyGuard.h"
#include "ui_services/EventPump.h"
#include "ui_services/MessageBoxes.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace km {
namespace {

QString qs(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// "NETWORKWAIT": up while gio works; Cancel (or closing it) stops gio.
class NetworkWaitWindow : public QDialog {
public:
    NetworkWaitWindow(QWidget* owner, const std::string& text) : QDialog(owner) {
        setObjectName(QStringLiteral("NETWORKWAIT"));
        setWindowTitle(QStringLiteral("KM - Network"));
        setModal(false);
        auto* layout = new QVBoxLayout(this);
        auto* label = new QLabel(qs(text), this);
        label->setTextFormat(Qt::PlainText);
        layout->addWidget(label);
        auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
        cancel->setObjectName(QStringLiteral("cancel"));
        connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
        layout->addWidget(cancel, 0, Qt::AlignRight);
    }

protected:
    void reject() override { App().cancelFlag = true; }
    void closeEvent(QCloseEvent* e) override {
        App().cancelFlag = true;
        e->ignore(); // closed by the operation when it is over
    }
};

// The questions of gio in our dialogs, over the wait window, with the main
// window disabled for as long as gio runs.
class QtNetworkMountUi : public NetworkMountUi {
public:
    QtNetworkMountUi(QWidget* owner, const std::string& text)
        : busy_(owner), owner_(owner), window_(new NetworkWaitWindow(owner, text)) {
        window_->show();
        EventPump::force();
    }
    ~QtNetworkMountUi() override { delete window_.data(); }
    QtNetworkMountUi(const QtNetworkMountUi&) = delete;
    QtNetworkMountUi& operator=(const QtNetworkMountUi&) = delete;

    bool AskLogin(NetworkLogin& login) override { return NetworkLoginDialog::Ask(login, parent()); }
    int AskChoice(const std::string& message, const std::vector<std::string>& choices) override {
        return NetworkChoiceDialog::Ask(message, choices, parent());
    }
    bool Cancelled() override { return EventPump::pump(); }

private:
    QWidget* parent() const { return window_ ? window_.data() : owner_.data(); }

    BusyGuard busy_;
    QPointer<QWidget> owner_;
    QPointer<NetworkWaitWindow> window_;
};

bool finish(const NetworkMountResult& r) {
    if (r.status == NetworkMountStatus::Failed)
        ShowMessage(std::string(LoadString(4170)) + r.message, MbOk | MbIconExclamation);
    return r.status == NetworkMountStatus::Done;
}

} // namespace

bool ConnectNetworkDrive(QWidget* owner, std::string& directory) {
    directory.clear();
    const std::optional<NetworkConnectRequest> request = ConnectNetworkDialog::Ask(owner);
    if (!request)
        return false;
    NetworkMountResult r;
    {
        QtNetworkMountUi ui(owner, "Connecting to " + request->location + " ...");
        r = MountNetworkLocation(request->location, request->anonymous, ui);
    }
    if (!finish(r))
        return false;
    directory = r.directory;
    return true;
}

bool DisconnectNetworkDrive(QWidget* owner, std::string& directory) {
    directory.clear();
    std::vector<Volume> mounts = ListNetworkMounts();
    if (mounts.empty()) {
        ShowMessage("No network drive is connected.", MbOk | MbIconInformation);
        return false;
    }
    const std::optional<std::string> chosen =
        DisconnectNetworkDialog::Ask(std::move(mounts), owner);
    if (!chosen)
        return false;
    NetworkMountResult r;
    {
        QtNetworkMountUi ui(owner, "Disconnecting " + *chosen + " ...");
        r = UnmountNetworkLocation(*chosen, ui);
    }
    if (!finish(r))
        return false;
    directory = *chosen;
    return true;
}

} // namespace km
