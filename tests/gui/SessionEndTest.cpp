// The end of the session: the desktop's session manager is asked on a bus
// of the test's own, and SIGTERM keeps an editor's unsaved text.
#include "fileops/open_execute/ProcessLauncher.h"
#include "mainwindow/MainFrame.h"
#include "mainwindow/SessionManagerClient.h"
#include "mainwindow/TerminationSignal.h"
#include "settings/SettingsStore.h"
#include "support/TempDir.h"
#include "ui_services/AppState.h"
#include "viewers/EditorRecovery.h"
#include "viewers/TextEditorWindow.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QPlainTextEdit>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <mutex>
#include <sys/stat.h>

using namespace km;

namespace {

// Records what a session manager was asked.
class FakeManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.SessionManager")
public:
    std::mutex lock;
    QStringList calls;

public slots:
    Q_SCRIPTABLE void Logout(uint mode) { record(QStringLiteral("Logout %1").arg(mode)); }
    Q_SCRIPTABLE void Reboot() { record(QStringLiteral("Reboot")); }
    Q_SCRIPTABLE void Shutdown() { record(QStringLiteral("Shutdown")); }

private:
    void record(const QString& c) {
        std::lock_guard<std::mutex> g(lock);
        calls << c;
    }
};

class FakeXfce : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.xfce.Session.Manager")
public:
    std::mutex lock;
    QStringList calls;

public slots:
    Q_SCRIPTABLE void Logout(bool dialog, bool save) {
        std::lock_guard<std::mutex> g(lock);
        calls << QStringLiteral("Logout %1 %2").arg(dialog).arg(save);
    }
};

// A session bus of this test's own.
class PrivateBus {
public:
    PrivateBus() {
        const RunResult r = RunAndWait(
            {"dbus-daemon", "--session", "--fork", "--print-address=1", "--print-pid=1"}, {});
        if (r.exitStatus != 0)
            return;
        const auto nl = r.output.find('\n');
        address_ = QString::fromStdString(r.output.substr(0, nl));
        pid_ = std::atoi(r.output.c_str() + nl + 1);
    }
    ~PrivateBus() {
        if (pid_ > 0)
            kill(pid_, SIGTERM);
    }
    bool ok() const { return pid_ > 0; }
    QDBusConnection connect(const QString& name) const {
        return QDBusConnection::connectToBus(address_, name);
    }

private:
    QString address_;
    int pid_ = 0;
};

TEST(SessionManager, TheDesktopsManagerIsAskedAndLogindOnlyWithoutOne) {
    PrivateBus bus;
    if (FindProgram("dbus-daemon").empty())
        GTEST_SKIP() << "dbus-daemon is not installed";
    ASSERT_TRUE(bus.ok()) << "dbus-daemon did not start a session bus";
    const QDBusConnection caller = bus.connect(QStringLiteral("km-caller"));
    const QDBusConnection noSystem(QStringLiteral("km-no-system-bus"));
    ASSERT_TRUE(caller.isConnected());

    // The services answer from a thread of their own: the call blocks the caller's.
    QThread serviceThread;
    serviceThread.start();
    QDBusConnection services = bus.connect(QStringLiteral("km-services"));
    FakeManager gnome;
    FakeXfce xfce;
    gnome.moveToThread(&serviceThread);
    xfce.moveToThread(&serviceThread);

    // None at all: not accepted, with a reason.
    SessionEndRequest r = RequestSessionEnd(SessionEnd::PowerOff, caller, noSystem);
    EXPECT_FALSE(r.accepted);
    EXPECT_FALSE(r.error.empty());

    ASSERT_TRUE(services.registerObject(QStringLiteral("/org/xfce/SessionManager"), &xfce,
                                        QDBusConnection::ExportScriptableSlots));
    ASSERT_TRUE(services.registerService(QStringLiteral("org.xfce.SessionManager")));
    r = RequestSessionEnd(SessionEnd::LogOff, caller, noSystem);
    EXPECT_TRUE(r.accepted) << r.error;
    EXPECT_EQ(r.service, "org.xfce.SessionManager");
    {
        std::lock_guard<std::mutex> g(xfce.lock);
        EXPECT_EQ(xfce.calls, QStringList{QStringLiteral("Logout 1 1")})
            << "with its dialog, allowing saves";
    }

    // GNOME's comes first when both are there.
    ASSERT_TRUE(services.registerObject(QStringLiteral("/org/gnome/SessionManager"), &gnome,
                                        QDBusConnection::ExportScriptableSlots));
    ASSERT_TRUE(services.registerService(QStringLiteral("org.gnome.SessionManager")));
    EXPECT_TRUE(RequestSessionEnd(SessionEnd::LogOff, caller, noSystem).accepted);
    EXPECT_TRUE(RequestSessionEnd(SessionEnd::Reboot, caller, noSystem).accepted);
    EXPECT_TRUE(RequestSessionEnd(SessionEnd::PowerOff, caller, noSystem).accepted);
    {
        std::lock_guard<std::mutex> g(gnome.lock);
        EXPECT_EQ(gnome.calls, (QStringList{QStringLiteral("Logout 0"), QStringLiteral("Reboot"),
                                            QStringLiteral("Shutdown")}))
            << "mode 0: the desktop asks for confirmation";
    }
    services.unregisterService(QStringLiteral("org.gnome.SessionManager"));
    services.unregisterService(QStringLiteral("org.xfce.SessionManager"));
    serviceThread.quit();
    serviceThread.wait();
    QDBusConnection::disconnectFromBus(QStringLiteral("km-services"));
    QDBusConnection::disconnectFromBus(QStringLiteral("km-caller"));
}

TEST(SessionEnd, SigtermKeepsUnsavedTextAndSavesTheWindow) {
    test::TempDir dir;
    setenv("XDG_STATE_HOME", dir.file("state").c_str(), 1);
    mkdir(dir.file("work").c_str(), 0755);
    test::WriteAll(dir.file("work/notes.txt"), "original\n");
    test::WriteAll(dir.file("work/clean.txt"), "clean\n");
    SettingsStore store(dir.file("KM.reg"));
    store.PutString("Paden", "Links", dir.file("work"));
    store.PutString("Paden", "Rechts", dir.file("work"));
    App().store = &store;
    {
        MainFrame frame;
        frame.show();
        TerminationSignal termination;
        int received = 0;
        QObject::connect(&termination, &TerminationSignal::received, &frame, [&](int number) {
            EXPECT_EQ(number, SIGTERM);
            ++received;
            frame.endWithoutQuestions();
        });
        TextEditorWindow* changed =
            TextEditorWindow::Open(dir.file("work/notes.txt"), false, false);
        TextEditorWindow::Open(dir.file("work/clean.txt"), false, false);
        QTest::qWait(100);
        changed->textEdit()->moveCursor(QTextCursor::End);
        QTest::keyClicks(changed->textEdit(), "added line");
        ASSERT_TRUE(changed->isChanged());

        raise(SIGTERM);
        for (int i = 0; i < 200 && received == 0; ++i)
            QTest::qWait(10);
        ASSERT_EQ(received, 1);
        QTest::qWait(50);
        EXPECT_FALSE(frame.isVisible());
        EXPECT_TRUE(TextEditorWindow::OpenWindows().empty()) << "closed without a question";
    }
    EXPECT_EQ(test::ReadAll(dir.file("work/notes.txt")), "original\n")
        << "the file itself is untouched";
    const std::vector<RecoveredText> kept = TakeUnreportedRecoveries(RecoveryDirectory());
    ASSERT_EQ(kept.size(), 1u) << "only the changed text";
    EXPECT_EQ(kept[0].original, dir.file("work/notes.txt"));
    EXPECT_EQ(test::ReadAll(kept[0].kept), "original\nadded line");
    struct stat st;
    ASSERT_EQ(stat(kept[0].kept.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_TRUE(TakeUnreportedRecoveries(RecoveryDirectory()).empty()) << "reported once";
    EXPECT_NE(store.GetInt("WinPositie", "wp.right", -1), -1);
    App().store = nullptr;
    unsetenv("XDG_STATE_HOME");
}

} // namespace

#include "SessionEndTest.moc"
