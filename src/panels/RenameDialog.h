#pragma once
#include <QDialog>

#include <optional>
#include <string>

class QLineEdit;

namespace km {

// "RENAME": asks for the new name of one entry.
class RenameDialog : public QDialog {
    Q_OBJECT
public:
    explicit RenameDialog(const std::string& oldName, QWidget* parent = nullptr);
    static std::optional<std::string> Ask(const std::string& oldName, QWidget* parent);

private:
    QLineEdit* edit_;
};

} // namespace km
