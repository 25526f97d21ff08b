#include "support/GuiTestRunner.h"

#include "platform/PrivateTemp.h"
#include "ui_services/DialogFit.h"
#include "ui_services/DialogMnemonics.h"

#include "support/TempDir.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>

namespace km::test {
namespace {

constexpr int kPatienceMs = 10000;

QString describe(QWidget* w) {
    QString text = w->windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(w)) {
        text += QStringLiteral(": ") + box->text();
    } else {
        for (auto* label : w->findChildren<QLabel*>()) {
            if (!label->text().isEmpty())
                text += QStringLiteral(" | ") + label->text();
        }
    }
    return text;
}

// Watches the modal widget on top; the same one for too long is a test that
// met a question it did not expect.
class ModalWatchdog : public QObject {
public:
    ModalWatchdog() {
        timer_.setInterval(250);
        connect(&timer_, &QTimer::timeout, this, [this] { check(); });
        timer_.start();
    }

private:
    void check() {
        QWidget* top = QApplication::activeModalWidget();
        if (top != seen_) {
            seen_ = top;
            since_.start();
            return;
        }
        if (!top || since_.elapsed() < kPatienceMs)
            return;
        ADD_FAILURE() << "a modal dialog nobody answered: \""
                      << top->objectName().toStdString() << "\" " << describe(top).toStdString();
        if (auto* dialog = qobject_cast<QDialog*>(top))
            dialog->reject();
        else
            top->close();
        seen_ = nullptr;
    }

    QTimer timer_;
    QPointer<QWidget> seen_;
    QElapsedTimer since_;
};

} // namespace

int RunGuiTests(int argc, char** argv) {
    static TempDir home;
    // Offscreen always; a test may give its screens ("offscreen:configfile=…").
    if (const char* qpa = getenv("QT_QPA_PLATFORM"); !qpa || std::strncmp(qpa, "offscreen", 9) != 0)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("HOME", home.path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", home.file("config").c_str(), 1);
    setenv("XDG_DATA_HOME", home.file("data").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", home.path().c_str(), 1);
    QStandardPaths::setTestModeEnabled(true);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    // As the program does: plain mnemonic letters in dialogs.
    DialogMnemonics::Install();
    DialogFit::Install();
    ModalWatchdog watchdog;
    const int rc = RUN_ALL_TESTS();
    RemovePrivateRunDir();
    return rc;
}

} // namespace km::test
