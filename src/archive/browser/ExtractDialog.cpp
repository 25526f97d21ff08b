#include "archive/browser/ExtractDialog.h"

#include "ui_services/LosslessText.h"

#include "ui_services/DialogButtons.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace km {

ExtractDialog::ExtractDialog(const std::string& target, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("UNZIP"));
    setWindowTitle(QStringLiteral("KM - Extract"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Extract to:"), this));
    auto* row = new QHBoxLayout;
    edit_ = new QLineEdit(NameToText(target), this);
    edit_->setObjectName(QStringLiteral("edit1260"));
    auto* browse = new QPushButton(QStringLiteral("&Browse"), this);
    browse->setObjectName(QStringLiteral("button3140"));
    browse->setAutoDefault(false);
    row->addWidget(edit_);
    row->addWidget(browse);
    layout->addLayout(row);
    AddDialogButtons(this, layout, [this] { accept(); }, QStringLiteral("&Extract"));
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString dir = QFileDialog::getExistingDirectory(this, QString(), edit_->text(), QFileDialog::ShowDirsOnly);
        if (!dir.isEmpty())
            edit_->setText(dir);
    });
}

std::optional<std::string> ExtractDialog::Ask(const std::string& target, QWidget* parent) {
    ExtractDialog dlg(target, parent);
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    return NameFromText(dlg.edit_->text());
}

} // namespace km
