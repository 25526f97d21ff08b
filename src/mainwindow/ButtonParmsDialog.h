#pragma once
// "BUTTONPARMS": what one application button runs.
#include "fileops/open_execute/AppButtonDefinition.h"

#include <QDialog>

#include <array>

class QLineEdit;
class QRadioButton;

namespace km {

class ButtonParmsDialog : public QDialog {
    Q_OBJECT
public:
    ButtonParmsDialog(int number, QWidget* parent);
    // Shows the dialog for button `number`; true when "&Save" wrote it.
    static bool Ask(int number, QWidget* parent);

private:
    void browse();
    void save();

    int number_;
    QLineEdit* title_;
    QLineEdit* program_;
    QLineEdit* parameters_;
    QLineEdit* workingDir_;
    std::array<QRadioButton*, 3> window_{};
};

} // namespace km
