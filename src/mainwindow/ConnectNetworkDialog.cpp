#include "mainwindow/ConnectNetworkDialog.h"

#include "platform/NetworkLocation.h"
#include "ui_services/DialogButtons.h"
#include "ui_services/MessageBoxes.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace km {

ConnectNetworkDialog::ConnectNetworkDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CONNECTNETWORK"));
    setWindowTitle(QStringLiteral("KM - Connect network drive"));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QStringLiteral("&Location:"), this);
    layout->addWidget(label);
    location_ = new QLineEdit(this);
    location_->setObjectName(QStringLiteral("location"));
    location_->setPlaceholderText(QStringLiteral("smb://server/share"));
    location_->setMinimumWidth(360);
    label->setBuddy(location_);
    layout->addWidget(location_);
    layout->addWidget(
        new QLabel(QStringLiteral("For example smb://server/share, sftp://user@host/folder,\n"
                                  "ftp://host, dav://host/folder or nfs://host/export"),
                   this));
    anonymous_ =
        new QCheckBox(QStringLiteral("Log in &anonymously where the server allows it"), this);
    anonymous_->setObjectName(QStringLiteral("anonymous"));
    layout->addWidget(anonymous_);
    AddDialogButtons(this, layout, [this] { tryAccept(); });
}

void ConnectNetworkDialog::tryAccept() {
    const std::string text = location_->text().trimmed().toStdString();
    NetworkLocation parsed;
    if (!ParseNetworkLocation(text, parsed)) {
        ShowMessage("“" + text + "” is not a network location; type one such as smb://server/share",
                    MbOk | MbIconExclamation);
        location_->setFocus();
        return;
    }
    accept();
}

std::optional<NetworkConnectRequest> ConnectNetworkDialog::Ask(QWidget* parent) {
    ConnectNetworkDialog dlg(parent);
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    return NetworkConnectRequest{dlg.location_->text().trimmed().toStdString(),
                                 dlg.anonymous_->isChecked()};
}

} // namespace km
