#pragma once
// "EXITWIN": log off, restart or shut down, through the desktop's session
// manager (see SessionManagerClient.h).
#include "mainwindow/SessionManagerClient.h"

#include <QDialog>

namespace km {

// This program's changed editors ask first (Cancel ends nothing), then the
// session manager is asked; its failure is shown with the reason. True when
// the request was accepted: the session manager ends this program too.
bool EndSession(SessionEnd how);

class ExitWindowsDialog : public QDialog {
    Q_OBJECT
public:
    explicit ExitWindowsDialog(QWidget* parent);
};

} // namespace km
