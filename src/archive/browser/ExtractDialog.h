#pragma once
// "UNZIP": where the entries go.
#include <QDialog>

#include <optional>
#include <string>

class QLineEdit;

namespace km {

class ExtractDialog : public QDialog {
    Q_OBJECT
public:
    ExtractDialog(const std::string& target, QWidget* parent);
    // The typed directory (possibly empty), or nothing after Cancel.
    static std::optional<std::string> Ask(const std::string& target, QWidget* parent);

private:
    QLineEdit* edit_;
};

} // namespace km
