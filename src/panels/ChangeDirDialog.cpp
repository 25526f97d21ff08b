#include "panels/ChangeDirDialog.h"

#include "ui_services/LosslessText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace km {

ChangeDirDialog::ChangeDirDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CD"));
    setWindowTitle(QStringLiteral("KM - Change directory"));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QStringLiteral("New directory:"), this);
    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("edit1250"));
    edit_->setMinimumWidth(300);
    label->setBuddy(edit_);
    layout->addWidget(label);
    layout->addWidget(edit_);

    auto* buttons = new QHBoxLayout;
    auto* apply = new QPushButton(QStringLiteral("&Apply"), this);
    apply->setObjectName(QStringLiteral("apply"));
    apply->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    buttons->addStretch();
    buttons->addWidget(apply);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(apply, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

std::optional<std::string> ChangeDirDialog::Ask(QWidget* parent) {
    ChangeDirDialog dlg(parent);
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    return NameFromText(dlg.edit_->text());
}

} // namespace km
