#include "mainwindow/Application.h"

#include "mainwindow/MainFrame.h"
#include "mainwindow/SingleInstance.h"
#include "platform/LocaleInfo.h"
#include "settings/SettingsStore.h"
#include "ui_services/AppState.h"
#include "ui_services/MessageBoxes.h"

#include <QApplication>
#include <QTimer>

#include <clocale>

namespace km {

int RunKestrum(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrum"));
    QApplication::setOrganizationName(QStringLiteral("Orlent"));

    SingleInstance instance;
    if (!instance.claim())
        return 0;

    setlocale(LC_ALL, "");
    SetCurrentLocale(ReadSystemLocale());

    SettingsStore store(SettingsStore::defaultPath());
    App().store = &store;
    App().filterMask = "*.*";

    MainFrame frame;
    QObject::connect(&instance, &SingleInstance::activationRequested, &frame, &MainFrame::bringToFront);
    frame.showWithPlacement();
    if (!store.loadProblem().empty()) {
        const std::string text = "The settings file could not be read (" + store.loadProblem() +
                                 "); it was kept as " + store.filePath() + ".bad and the defaults are used.";
        QTimer::singleShot(0, &frame, [text] { ShowMessage(text, MbOk | MbIconExclamation); });
    }
    const int rc = app.exec();
    App().store = nullptr;
    return rc;
}

} // namespace km
