#include "panels/RenameDialog.h"


#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>


namespace km {

RenameDialog::RenameDialog(const std::string& oldName, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("RENAME"));
    setWindowTitle(QStringLiteral("KM - Rename"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("New name:"), this));
    edit_ = new QLineEdit(QString::fromUtf8(oldName.data(), static_cast<qsizetype>(oldName.size())), this);
    edit_->setObjectName(QStringLiteral("newName"));
    edit_->selectAll();
    layout->addWidget(edit_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

std::optional<std::string> RenameDialog::Ask(const std::string& oldName, QWidget* parent) {
    RenameDialog dlg(oldName, parent);
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    return dlg.edit_->text().toStdString();
}

} // namespace km
