#pragma once
// "EXITWIN": log off, restart or shut down, through systemd-logind.
#include <QDialog>

namespace km {

enum class SessionEnd { LogOff, Reboot, PowerOff };

// Asks logind (loginctl / systemctl, started without a shell) to end the
// session or the system; the failure's text is shown. True when accepted.
bool EndSession(SessionEnd how);

class ExitWindowsDialog : public QDialog {
    Q_OBJECT
public:
    explicit ExitWindowsDialog(QWidget* parent);
};

} // namespace km
