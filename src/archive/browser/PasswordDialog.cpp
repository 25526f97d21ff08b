#include "archive/browser/PasswordDialog.h"

#include "resources/StringTable.h"
#include "ui_services/DialogButtons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QLineEdit>
#include <QVBoxLayout>

namespace km {

namespace {

constexpr const char* kTitle = "KM - Password protected archive";

QLabel* TextLabel(const std::string& text, QWidget* parent) {
    auto* label =
        new QLabel(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), parent);
    label->setObjectName(QStringLiteral("passwordText"));
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

PasswordDialog::PasswordDialog(const std::string& entryName, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("PASSWORD"));
    setWindowTitle(QString::fromLatin1(kTitle));
    auto* layout = new QVBoxLayout(this);
    // "Password for file "
    layout->addWidget(TextLabel(std::string(LoadString(4991)) + entryName + ":", this));
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

PasswordReuseDialog::PasswordReuseDialog(const std::string& entryName, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("PASSWORDUSE"));
    setWindowTitle(QString::fromLatin1(kTitle));
    auto* layout = new QVBoxLayout(this);
    // "Use current password for file "
    layout->addWidget(TextLabel(std::string(LoadString(4992)) + entryName + "?", this));
    auto* row = new QHBoxLayout;
    struct B {
        const char* text;
        rar::PasswordReuse answer;
    };
    for (const B& b : {B{"&Yes", rar::PasswordReuse::Yes}, B{"For &all files", rar::PasswordReuse::ForAll},
                       B{"&No", rar::PasswordReuse::No}, B{"&Cancel", rar::PasswordReuse::Cancel}}) {
        auto* button = new QPushButton(QString::fromUtf8(b.text), this);
        const int code = static_cast<int>(b.answer) + 1; // 0 is what closing the window gives
        connect(button, &QPushButton::clicked, this, [this, code] { done(code); });
        button->setDefault(b.answer == rar::PasswordReuse::Yes);
        row->addWidget(button);
    }
    layout->addLayout(row);
}

rar::PasswordReuse PasswordReuseDialog::Ask(const std::string& entryName, QWidget* parent) {
    PasswordReuseDialog dlg(entryName, parent);
    const int r = dlg.exec();
    return r >= 1 && r <= 4 ? static_cast<rar::PasswordReuse>(r - 1) : rar::PasswordReuse::Cancel;
}

} // namespace km
