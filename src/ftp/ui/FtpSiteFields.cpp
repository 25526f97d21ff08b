#include "ftp/ui/FtpSiteFields.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

namespace km {
namespace {

QString qs(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
std::string bytes(const QLineEdit* e) { return e->text().toStdString(); }

} // namespace

FtpSiteFields::FtpSiteFields(QWidget* parent, QGridLayout* grid, int row, std::string email)
    : QObject(parent), email_(std::move(email)) {
    auto edit = [&](int id, const char* label, bool secret = false) {
        auto* e = new QLineEdit(parent);
        e->setObjectName(QStringLiteral("edit%1").arg(id));
        if (secret)
            e->setEchoMode(QLineEdit::Password);
        auto* l = new QLabel(QString::fromLatin1(label), parent);
        l->setBuddy(e);
        grid->addWidget(l, row, 0);
        grid->addWidget(e, row++, 1);
        return e;
    };
    auto check = [&](int id, const char* text) {
        auto* c = new QCheckBox(QString::fromLatin1(text), parent);
        c->setObjectName(QStringLiteral("check%1").arg(id));
        grid->addWidget(c, row++, 0, 1, 2);
        return c;
    };
    address_ = edit(2710, "Site address:");
    anonymous_ = check(2750, "Anonymous login");
    userEdit_ = edit(2690, "Login user-id:");
    passwordEdit_ = edit(2700, "Password:", true);
    loginDir_ = edit(2830, "Login directory:");
    firewall_ = check(3030, "Use firewall/proxy");
    fwAddress_ = edit(3040, "Address:");
    fwPort_ = edit(3050, "Port:");
    fwUser_ = edit(3060, "User-id:");
    fwPassword_ = edit(3070, "Password:", true);
    auto* group = new QButtonGroup(this);
    const char* modes[4] = {"SITE site", "OPEN site", "USER with logon", "USER user@site"};
    for (int i = 0; i < 4; ++i) {
        auto* r = new QRadioButton(QString::fromLatin1(modes[i]), parent);
        r->setObjectName(QStringLiteral("radio%1").arg(3080 + i));
        group->addButton(r, i + 1);
        grid->addWidget(r, row++, 1);
        modes_[static_cast<size_t>(i)] = r;
    }
    auto combo = [&](int id, const char* label, std::initializer_list<const char*> items) {
        auto* c = new QComboBox(parent);
        c->setObjectName(QStringLiteral("combo%1").arg(id));
        for (const char* item : items)
            c->addItem(QString::fromLatin1(item));
        auto* l = new QLabel(QString::fromLatin1(label), parent);
        l->setBuddy(c);
        grid->addWidget(l, row, 0);
        grid->addWidget(c, row++, 1);
        return c;
    };
    dataConnection_ = combo(3100, "Data connection:", {"As in FTP settings", "Passive", "Active"});
    encryption_ = combo(3110, "Encryption:", {"None", "TLS if available", "Require TLS"});
    connect(anonymous_, &QCheckBox::clicked, this, [this](bool on) {
        if (on) {
            user_ = bytes(userEdit_);
            password_ = bytes(passwordEdit_);
        }
        applyAnonymous(on);
        emit anonymousClicked(on);
    });
    connect(firewall_, &QCheckBox::clicked, this, [this](bool on) {
        if (on)
            modes_[0]->setChecked(true);
        applyFirewall(on);
        emit firewallClicked(on);
    });
}

void FtpSiteFields::applyAnonymous(bool on) {
    userEdit_->setText(on ? QStringLiteral("anonymous") : qs(user_));
    passwordEdit_->setText(qs(on ? email_ : password_));
    userEdit_->setEnabled(!on);
    passwordEdit_->setEnabled(!on);
}

void FtpSiteFields::applyFirewall(bool on) {
    for (QWidget* w : {static_cast<QWidget*>(fwAddress_), static_cast<QWidget*>(fwPort_),
                       static_cast<QWidget*>(fwUser_), static_cast<QWidget*>(fwPassword_)})
        w->setEnabled(on);
    for (QRadioButton* r : modes_)
        r->setEnabled(on);
}

void FtpSiteFields::SetEditable(bool on) {
    for (QWidget* w : {static_cast<QWidget*>(address_), static_cast<QWidget*>(anonymous_),
                       static_cast<QWidget*>(userEdit_), static_cast<QWidget*>(passwordEdit_),
                       static_cast<QWidget*>(loginDir_), static_cast<QWidget*>(firewall_),
                       static_cast<QWidget*>(dataConnection_), static_cast<QWidget*>(encryption_)})
        w->setEnabled(on);
    if (on) {
        applyAnonymous(anonymous_->isChecked());
        applyFirewall(firewall_->isChecked());
    } else {
        applyFirewall(false);
    }
}

void FtpSiteFields::Show(const FtpSite& s) {
    address_->setText(qs(s.address));
    anonymous_->setChecked(s.anonymous);
    user_ = s.user;
    password_ = s.password;
    applyAnonymous(s.anonymous);
    loginDir_->setText(qs(s.loginDirectory));
    firewall_->setChecked(s.useFirewall);
    fwAddress_->setText(qs(s.firewallAddress));
    fwPort_->setText(qs(s.firewallPort));
    fwUser_->setText(qs(s.firewallUser));
    fwPassword_->setText(qs(s.firewallPassword));
    modes_[static_cast<size_t>(s.firewallMode >= 1 && s.firewallMode <= 4 ? s.firewallMode - 1 : 0)]->setChecked(true);
    applyFirewall(s.useFirewall);
    dataConnection_->setCurrentIndex(s.dataConnection >= 0 && s.dataConnection <= 2 ? s.dataConnection : 0);
    encryption_->setCurrentIndex(s.encryption >= 0 && s.encryption <= 2 ? s.encryption : 0);
}

FtpSite FtpSiteFields::Take() const {
    FtpSite s;
    s.address = bytes(address_);
    s.anonymous = anonymous_->isChecked();
    s.user = s.anonymous ? user_ : bytes(userEdit_);
    s.password = s.anonymous ? password_ : bytes(passwordEdit_);
    s.loginDirectory = bytes(loginDir_);
    s.useFirewall = firewall_->isChecked();
    s.firewallAddress = bytes(fwAddress_);
    s.firewallPort = bytes(fwPort_);
    s.firewallUser = bytes(fwUser_);
    s.firewallPassword = bytes(fwPassword_);
    for (int i = 0; i < 4; ++i) {
        if (modes_[static_cast<size_t>(i)]->isChecked())
            s.firewallMode = i + 1;
    }
    s.dataConnection = dataConnection_->currentIndex();
    s.encryption = encryption_->currentIndex();
    return s;
}

} // namespace km
