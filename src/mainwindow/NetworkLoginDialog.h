#pragma once
// "NETWORKLOGIN": the user name, domain and password a network server asks
// for while a drive is connected; the password is not shown.
#include "platform/NetworkMount.h"

#include <QDialog>

class QLineEdit;

namespace km {

class NetworkLoginDialog : public QDialog {
    Q_OBJECT
public:
    NetworkLoginDialog(const NetworkLogin& login, QWidget* parent);
    // Fills in the answers; false after Cancel.
    static bool Ask(NetworkLogin& login, QWidget* parent);

private:
    QLineEdit* user_ = nullptr;
    QLineEdit* domain_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLineEdit* other_ = nullptr;
};

} // namespace km
