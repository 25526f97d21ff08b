#include "mainwindow/ExitWindowsDialog.h"

#include "ui_services/MessageBoxes.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QProcess>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstdlib>
#include <unistd.h>

namespace km {

bool EndSession(SessionEnd how) {
    QString program = QStringLiteral("systemctl");
    QStringList args;
    switch (how) {
    case SessionEnd::LogOff: {
        program = QStringLiteral("loginctl");
        const char* session = std::getenv("XDG_SESSION_ID");
        if (session && *session)
            args = {QStringLiteral("terminate-session"), QString::fromLocal8Bit(session)};
        else
            args = {QStringLiteral("terminate-user"), QString::number(getuid())};
        break;
    }
    case SessionEnd::Reboot: args = {QStringLiteral("reboot")}; break;
    case SessionEnd::PowerOff: args = {QStringLiteral("poweroff")}; break;
    }
    if (QProcess::execute(program, args) == 0) {
        if (how == SessionEnd::LogOff)
            QApplication::quit();
        return true;
    }
    ShowMessage(how == SessionEnd::LogOff ? "Log off failed." : "InitiateSystemShutdown failed.",
                MbOk | MbIconExclamation);
    return false;
}

ExitWindowsDialog::ExitWindowsDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("EXITWIN"));
    setWindowTitle(QStringLiteral("KM - Exit Windows"));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    const struct {
        const char* text;
        int id;
        SessionEnd how;
    } buttons[] = {{"&Logoff", 1410, SessionEnd::LogOff},
                   {"&Reboot", 1400, SessionEnd::Reboot},
                   {"&Shut down", 1390, SessionEnd::PowerOff}};
    for (const auto& b : buttons) {
        auto* button = new QPushButton(QString::fromLatin1(b.text), this);
        button->setObjectName(QStringLiteral("button%1").arg(b.id));
        button->setAutoDefault(false);
        row->addWidget(button);
        const SessionEnd how = b.how;
        connect(button, &QPushButton::clicked, this, [this, how] {
            if (EndSession(how))
                accept();
        });
    }
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    row->addWidget(cancel);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    layout->addLayout(row);
}

} // namespace km
