#include "panels/RenameDialog.h"

#include "ui_services/LosslessText.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace km {

RenameDialog::RenameDialog(const std::string& oldName, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("RENAME"));
    setWindowTitle(QStringLiteral("KM - Rename"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Rename to:"), this));
    // Names are bytes: whatever the user leaves alone keeps its bytes.
    edit_ = new QLineEdit(NameToText(oldName), this);
    edit_->setObjectName(QStringLiteral("edit1420"));
    edit_->selectAll();
    layout->addWidget(edit_);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("&Rename"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

std::optional<std::string> RenameDialog::Ask(const std::string& oldName, QWidget* parent) {
    RenameDialog dlg(oldName, parent);
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    return NameFromText(dlg.edit_->text());
}

} // namespace km
