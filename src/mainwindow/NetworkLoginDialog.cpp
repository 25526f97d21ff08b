#include "mainwindow/NetworkLoginDialog.h"

#include "ui_services/DialogButtons.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace km {
namespace {

QString qs(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

NetworkLoginDialog::NetworkLoginDialog(const NetworkLogin& login, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("NETWORKLOGIN"));
    setWindowTitle(QStringLiteral("KM - Network login"));
    auto* layout = new QVBoxLayout(this);
    auto* message = new QLabel(qs(login.message), this);
    message->setObjectName(QStringLiteral("message"));
    message->setTextFormat(Qt::PlainText); // the server's words, never markup
    message->setWordWrap(true);
    layout->addWidget(message);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    const auto field = [&](const QString& label, const char* name, const std::string& value) {
        auto* edit = new QLineEdit(qs(value), this);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setMinimumWidth(240);
        form->addRow(label, edit);
        return edit;
    };
    if (!login.otherLabel.empty())
        other_ = field(qs(login.otherLabel) + QLatin1Char(':'), "other", login.other);
    if (login.askUser)
        user_ = field(QStringLiteral("&User:"), "user", login.user);
    if (login.askDomain)
        domain_ = field(QStringLiteral("&Domain:"), "domain", login.domain);
    if (login.askPassword) {
        password_ = field(QStringLiteral("&Password:"), "password", std::string());
        password_->setEchoMode(QLineEdit::Password);
    }
    // The first field left to fill takes the keys.
    for (QLineEdit* e : {other_, user_, domain_, password_}) {
        if (e && (e->text().isEmpty() || e == password_)) {
            e->setFocus();
            break;
        }
    }
    AddDialogButtons(this, layout, [this] { accept(); });
}

bool NetworkLoginDialog::Ask(NetworkLogin& login, QWidget* parent) {
    NetworkLoginDialog dlg(login, parent);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    const auto text = [](QLineEdit* e) { return e ? e->text().toStdString() : std::string(); };
    login.user = text(dlg.user_);
    login.domain = text(dlg.domain_);
    login.password = text(dlg.password_);
    login.other = text(dlg.other_);
    return true;
}

} // namespace km
