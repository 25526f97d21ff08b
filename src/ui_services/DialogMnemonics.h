#pragma once
// In a dialog, a letter pressed on its own presses the button whose
// mnemonic it is ("&Yes": Y), as long as the focus is not on a control that
// takes typed characters (an edit field, a list's type-ahead).
#include <QObject>

class QWidget;

namespace km {

// Whether `w` is where text is typed: an edit field, a spin box, an editable
// combo box.
bool IsTextEntry(const QWidget* w);
// The same, or a list whose type-ahead takes letters.
bool TakesTypedCharacters(const QWidget* w);

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
