#include "mainwindow/DisconnectNetworkDialog.h"

#include "panels/DriveItems.h"
#include "ui_services/DialogButtons.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace km {

DisconnectNetworkDialog::DisconnectNetworkDialog(std::vector<Volume> mounts, QWidget* parent)
    : QDialog(parent), mounts_(std::move(mounts)) {
    setObjectName(QStringLiteral("DISCONNECTNETWORK"));
    setWindowTitle(QStringLiteral("KM - Disconnect network drive"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Select network drive:"), this));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("list"));
    for (const Volume& v : mounts_) {
        const std::string text = DriveItemText(v);
        list_->addItem(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }
    list_->setCurrentRow(0);
    layout->addWidget(list_);
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    AddDialogButtons(
        this, layout, [this] { accept(); }, QStringLiteral("&Disconnect"));
}

std::optional<std::string> DisconnectNetworkDialog::Ask(std::vector<Volume> mounts,
                                                        QWidget* parent) {
    DisconnectNetworkDialog dlg(std::move(mounts), parent);
    const int row = dlg.exec() == QDialog::Accepted ? dlg.list_->currentRow() : -1;
    if (row < 0)
        return std::nullopt;
    return dlg.mounts_[static_cast<size_t>(row)].mountPoint;
}

} // namespace km
