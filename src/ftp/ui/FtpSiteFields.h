#pragma once
// The login and firewall controls of one site, shared by "FTPSITES" and
// "NEWSITE" with the same control numbers.
#include "ftp/FtpSite.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLineEdit;
class QRadioButton;

namespace km {

class FtpSiteFields : public QObject {
    Q_OBJECT
public:
    // Adds the controls to `grid` from `row` on; `email` fills the password
    // of an anonymous login.
    FtpSiteFields(QWidget* parent, QGridLayout* grid, int row, std::string email);

    void Show(const FtpSite& site);
    // The site as the controls hold it; an anonymous login keeps the user and
    // password last shown for a named login.
    FtpSite Take() const;
    void Clear() { Show(FtpSite{}); }
    // Off while no site is chosen, so nothing can be typed that has no site to go to.
    void SetEditable(bool on);
    QLineEdit* address() const { return address_; }

signals:
    void anonymousClicked(bool checked);
    void firewallClicked(bool checked);

private:
    void applyAnonymous(bool on);
    void applyFirewall(bool on);

    std::string email_;
    std::string user_, password_; // of the named login, while anonymous shows others
    QLineEdit* address_;
    QCheckBox* anonymous_;
    QLineEdit* userEdit_;
    QLineEdit* passwordEdit_;
    QLineEdit* loginDir_;
    QCheckBox* firewall_;
    QLineEdit* fwAddress_;
    QLineEdit* fwPort_;
    QLineEdit* fwUser_;
    QLineEdit* fwPassword_;
    std::array<QRadioButton*, 4> modes_{};
    QComboBox* dataConnection_;
    QComboBox* encryption_;
};

} // namespace km
