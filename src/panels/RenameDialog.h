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

// Renames `dir/oldName` to `dir/newName` without replacing an existing entry.
// Returns 0 or an errno value; a name with '/' or an empty one is EINVAL.
int RenameInDirectory(const std::string& dir, const std::string& oldName, const std::string& newName);

} // namespace km
