#include "archive/browser/PasswordDialog.h"

#include "resources/StringTable.h"
#include "ui_services/DialogButtons.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace km {

PasswordDialog::PasswordDialog(const std::string& entryName, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("PASSWORD"));
    setWindowTitle(QStringLiteral("KM - Password protected archive"));
    auto* layout = new QVBoxLayout(this);
    const std::string text =
        std::string(LoadString(4991)) + entryName + ":"; // "Password for file "
    auto* label =
        new QLabel(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), this);
    label->setObjectName(QStringLiteral("passwordText"));
    layout->addWidget(label);
    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("edit1250"));
    edit_->setEchoMode(QLineEdit::Password);
    layout->addWidget(edit_);
    AddDialogButtons(
        this, layout, [this] { accept(); }, QStringLiteral("OK"));
}

std::optional<std::string> PasswordDialog::Ask(const std::string& entryName, QWidget* parent) {
    PasswordDialog dlg(entryName, parent);
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    return dlg.edit_->text().toStdString();
}

} // namespace km
