#include "fileops/open_execute/ui/LineInputDialog.h"

#include "ui_services/LosslessText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace km {

LineInputDialog::LineInputDialog(const Layout& l, QWidget* parent) : QDialog(parent) {
    setObjectName(QString::fromLatin1(l.resource));
    setWindowTitle(QString::fromLatin1(l.title));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QString::fromLatin1(l.label), this);
    edit_ = new QLineEdit(this);
    edit_->setObjectName(QString::fromLatin1(l.editName));
    edit_->setMinimumWidth(300);
    label->setBuddy(edit_);
    layout->addWidget(label);
    layout->addWidget(edit_);
    auto* row = new QHBoxLayout;
    auto* ok = new QPushButton(QString::fromLatin1(l.okText), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    layout->addLayout(row);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

std::optional<std::string> LineInputDialog::ask() {
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return NameFromText(edit_->text());
}

} // namespace km
