#include "panels/MaskDialog.h"

#include "ui_services/LosslessText.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace km {

MaskDialog::MaskDialog(bool select, QWidget* parent) : QDialog(parent) {
    setObjectName(select ? QStringLiteral("MARK") : QStringLiteral("UNMARK"));
    setWindowTitle(select ? QStringLiteral("KM - Select files")
                          : QStringLiteral("KM - Deselect files"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(select ? QStringLiteral("Files to be selected:")
                                        : QStringLiteral("Files to be deselected:"),
                                 this));
    mask_ = new QLineEdit(QStringLiteral("*.*"), this);
    mask_->setObjectName(QStringLiteral("mask"));
    mask_->selectAll();
    layout->addWidget(mask_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

std::optional<std::string> MaskDialog::Ask(bool select, QWidget* parent) {
    MaskDialog dlg(select, parent);
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    return NameFromText(dlg.mask_->text());
}

} // namespace km
