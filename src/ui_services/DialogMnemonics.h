#pragma once
// In a dialog, a letter pressed on its own presses the button whose
// mnemonic it is ("&Yes": Y), as long as the focus is not on a control that
// takes typed characters (an edit field, a list's type-ahead).
#include <QObject>

namespace km {

class DialogMnemonics : public QObject {
    Q_OBJECT
public:
    // Installs itself on the application; one per program.
    static void Install();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
};

} // namespace km
