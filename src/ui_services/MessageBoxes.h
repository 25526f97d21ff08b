#pragma once
// The program's two message-box forms. Boxes are QMessageBox with object name
// "MESSAGEBOX" so tests can find and answer them.
#include <string_view>

class QWidget;

namespace km {

enum MessageBoxType : unsigned {
    MbOk = 0x0,
    MbOkCancel = 0x1,
    MbAbortRetryIgnore = 0x2,
    MbYesNoCancel = 0x3,
    MbYesNo = 0x4,
    MbRetryCancel = 0x5,
    MbButtonMask = 0xF,
    MbIconStop = 0x10,
    MbIconQuestion = 0x20,
    MbIconExclamation = 0x30,
    MbIconInformation = 0x40,
    MbIconMask = 0xF0,
};

enum MessageBoxResult : int {
    IdOk = 1,
    IdCancel = 2,
    IdAbort = 3,
    IdRetry = 4,
    IdIgnore = 5,
    IdYes = 6,
    IdNo = 7,
};

// The window that owns ShowMessage boxes (the main window).
void SetMessageOwner(QWidget* owner);
QWidget* MessageOwner();

// A numbered text, title "Kestrum", warning icon, OK, no owner window.
void ShowWarning(int stringId);
// The same with `detail` (what failed, and why) on a second line.
void ShowWarning(int stringId, std::string_view detail);
// Any text (UTF-8), title "KM", owned by the main window; returns the button.
int ShowMessage(std::string_view text, unsigned type = MbOk, int helpContext = 0);

} // namespace km
