#include "mainwindow/ExitWindowsDialog.h"

#include "ui_services/MessageBoxes.h"
#include "viewers/TextEditorWindow.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace km {

bool EndSession(SessionEnd how) {
    if (!TextEditorWindow::AskToSaveChanged())
        return false;
    const SessionEndRequest r = RequestSessionEnd(how, QDBusConnection::sessionBus(), QDBusConnection::systemBus());
    if (r.accepted)
        return true;
    std::string text = "InitiateSystemShutdown failed.";
    if (!r.error.empty())
        text += "\n" + r.error;
    ShowMessage(text, MbOk | MbIconExclamation);
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
