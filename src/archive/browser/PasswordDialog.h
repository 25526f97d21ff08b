#pragma once
// "PASSWORD": the password for one encrypted entry; "PASSWORDUSE": whether the
// password typed before serves the next one too.
#include "archive/rar/RarReader.h"

#include <QDialog>

#include <optional>
#include <string>

class QLineEdit;

namespace km {

class PasswordDialog : public QDialog {
    Q_OBJECT
public:
    PasswordDialog(const std::string& entryName, QWidget* parent);
    // The typed password, or nothing for Cancel.
    static std::optional<std::string> Ask(const std::string& entryName, QWidget* parent);

private:
    QLineEdit* edit_;
};

class PasswordReuseDialog : public QDialog {
    Q_OBJECT
public:
    PasswordReuseDialog(const std::string& entryName, QWidget* parent);
    static rar::PasswordReuse Ask(const std::string& entryName, QWidget* parent);
};

} // namespace km
