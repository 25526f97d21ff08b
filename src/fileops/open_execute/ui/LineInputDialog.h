#pragma once
#include <QDialog>

#include <optional>
#include <string>

class QLineEdit;

namespace km {

// A dialog asking for one line of text: a label, an edit, OK and Cancel.
class LineInputDialog : public QDialog {
    Q_OBJECT
public:
    struct Layout {
        const char* resource;
        const char* title;
        const char* label;
        const char* editName;
        const char* okText;
    };
    LineInputDialog(const Layout& layout, QWidget* parent);
    // The typed text (UTF-8), or nothing after Cancel.
    std::optional<std::string> ask();

private:
    QLineEdit* edit_;
};

} // namespace km
