#include "mainwindow/Application.h"

#include "mainwindow/MainFrame.h"
#include "mainwindow/SingleInstance.h"
#include "mainwindow/TerminationSignal.h"
#include "platform/LocaleInfo.h"
#include "platform/PrivateTemp.h"
#include "settings/SettingsStore.h"
#include "ui_services/AppState.h"
#include "ui_services/DialogFit.h"
#include "ui_services/DialogMnemonics.h"
#include "ui_services/MessageBoxes.h"
#include "viewers/EditorRecovery.h"

#include <QApplication>
#include <QTimer>

#include <clocale>

namespace km {

int RunKestrum(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrum"));
    QApplication::setOrganizationName(QStringLiteral("Orlent"));
    // Wayland compositors find the window's icon and name through its desktop entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.kestrum.Kestrum"));
    DialogMnemonics::Install();
    DialogFit::Install();
    // From the start, so that an end asked for while starting up still ends
    // the run cleanly, once the event loop runs.
    TerminationSignal termination;

    SingleInstance instance;
    if (!instance.claim())
        return 0;
    // Makes this run's temporary folder, sweeping what ended runs left there.
    PrivateTempDir();

    setlocale(LC_ALL, "");
    SetCurrentLocale(ReadSystemLocale());

    SettingsStore store(SettingsStore::defaultPath());
    App().store = &store;
    App().filterMask = "*.*";

    MainFrame frame;
    QObject::connect(&instance, &SingleInstance::activationRequested, &frame, &MainFrame::bringToFront);
    QObject::connect(&termination, &TerminationSignal::received, &frame, [&frame] {
        frame.endWithoutQuestions();
        // Other windows (editors, viewers, archives) must not keep the program alive.
        QCoreApplication::exit(0);
    });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &frame, &MainFrame::commitSessionData);
    frame.showWithPlacement();
    if (const std::vector<RecoveredText> kept = TakeUnreportedRecoveries(RecoveryDirectory()); !kept.empty()) {
        std::string text = "When Kestrum was last ended without a chance to ask, unsaved text was kept:";
        for (const RecoveredText& r : kept)
            text += "\n" + r.original + "\n    in " + r.kept;
        QTimer::singleShot(0, &frame, [text] { ShowMessage(text, MbOk | MbIconInformation); });
    }
    if (!store.loadProblem().empty()) {
        const std::string text = "The settings file could not be read (" + store.loadProblem() +
                                 "); it was kept as " + store.filePath() + ".bad and the defaults are used.";
        QTimer::singleShot(0, &frame, [text] { ShowMessage(text, MbOk | MbIconExclamation); });
    }
    const int rc = app.exec();
    // Also after SIGTERM, which ends the loop the same way.
    RemovePrivateRunDir();
    App().store = nullptr;
    return rc;
}

} // namespace km
