#pragma once
#include <QDialog>
#include <optional>
#include <string>

class QLineEdit;

namespace km {

// "CD": asks for a directory to change to by typing its path.
class ChangeDirDialog : public QDialog {
    Q_OBJECT
public:
    explicit ChangeDirDialog(QWidget* parent = nullptr);
    // The typed text as UTF-8 bytes (possibly empty); nullopt when cancelled.
    static std::optional<std::string> Ask(QWidget* parent);

private:
    QLineEdit* edit_ = nullptr;
};

} // namespace km
