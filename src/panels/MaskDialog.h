#pragma once
#include <QDialog>

#include <optional>
#include <string>

class QLineEdit;

namespace km {

// "MARK" and "UNMARK": the wildcard mask of the files to select or deselect.
class MaskDialog : public QDialog {
    Q_OBJECT
public:
    MaskDialog(bool select, QWidget* parent = nullptr);
    // The entered mask, or nullopt when cancelled.
    static std::optional<std::string> Ask(bool select, QWidget* parent);

private:
    QLineEdit* mask_ = nullptr;
};

} // namespace km
