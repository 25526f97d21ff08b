// The program's own wiring against a server that stops sending in the middle
// of a file: the window keeps repainting while the transfer waits, and the
// progress window's Cancel ends the transfer with its message.
#include "ftp/FtpConnection.h"
#include "ftp/FtpResult.h"
#include "ftp/ScriptedServer.h"
#include "ftp/ui/FtpFileCommands.h"
#include "mainwindow/MainFrame.h"
#include "panels/FilePanel.h"
#include "settings/SettingsStore.h"
#include "support/DialogAnswerer.h"
#include "support/TempDir.h"
#include "ui_services/AppState.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <gtest/gtest.h>

using namespace km;

namespace {

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

TEST(FtpStalledServer, TheWindowRepaintsAndCancelEndsTheTransfer) {
    test::TempDir local;
    SettingsStore store(local.file("KM.reg"));
    store.PutInt("FTP", "Confirm", 0);
    store.PutInt("FTP", "Logging", 0);
    App().store = &store;
    auto frame = std::make_unique<MainFrame>(); // wires the TCP library to the window
    frame->show();

    uint16_t dataPort = 0;
    const int dataListener = test::ListenLoopback(dataPort);
    ASSERT_GE(dataListener, 0);
    test::ScriptedServer server([&](test::ScriptedPeer& peer) {
        peer.Send("220 ready\r\n");
        peer.Answer("331 Password required\r\n");
        peer.Answer("230 Logged in\r\n");
        peer.Answer("502 No FEAT\r\n");
        peer.Answer("200 Type set to I\r\n");
        peer.Answer("229 Entering Extended Passive Mode (|||" + std::to_string(dataPort) + "|)\r\n");
        peer.ReadLine(); // RETR
        const int fd = test::AcceptWithin(dataListener, 3000);
        peer.Send("150 Here it comes\r\n");
        test::SendAll(fd, std::string(65536, 's'));
        // ...and then nothing, until the client gives up.
        peer.ReadLine(20000); // ABOR
        peer.Send("426 Aborted\r\n226 Abort done\r\n");
        ::close(fd);
        peer.ReadLine(2000);
    });
    FtpConfig config;
    config.port = server.port();
    config.timeout = 30; // far longer than the test may take
    FtpConnectionState& st = FtpState();
    st.session = std::make_unique<FtpSession>(config);
    ASSERT_EQ(st.session->Init(), kFtpOk);
    st.engineStarted = true;
    ASSERT_EQ(st.session->Login("127.0.0.1", "anna", "pw"), kFtpOk);
    st.connected = true;
    st.siteName = "stalled";

    PaintCounter counter;
    frame->installEventFilter(&counter);
    int ticks = 0;
    QTimer repaint;
    QObject::connect(&repaint, &QTimer::timeout, [&] {
        ++ticks;
        frame->update();
        // After half a second of stalling, the user presses Cancel.
        if (ticks == 25) {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (w->objectName() == "STATUSFTP" && w->isVisible()) {
                    if (auto* cancel = w->findChild<QPushButton*>("cancel"))
                        cancel->click();
                }
            }
        }
    });
    repaint.start(20);
    QString shown;
    test::WithModal("MESSAGEBOX", [&](QDialog* d) {
        if (auto* box = qobject_cast<QMessageBox*>(d))
            shown = box->text();
        d->accept();
    });

    FileEntry entry;
    entry.kind = KindFile;
    entry.name = "stalled.bin";
    entry.size = 1 << 30;
    const auto start = std::chrono::steady_clock::now();
    const std::string copy = FetchRemoteCopy(*frame->panel(0), entry, true, frame.get());
    const auto took = std::chrono::steady_clock::now() - start;
    repaint.stop();

    EXPECT_TRUE(copy.empty());
    EXPECT_EQ(shown.toStdString(), FtpSession::ErrorText(kFtpAborted));
    EXPECT_GE(ticks, 25) << "the event loop ran while the transfer waited";
    EXPECT_GT(counter.paints, 5);
    EXPECT_LT(took, std::chrono::seconds(15)) << "Cancel, not the 30 s timeout, ended it";
    server.Join();
    ::close(dataListener);
    frame->removeEventFilter(&counter);
    frame.reset();
    ReleaseFtpAtExit();
    App().cancelFlag = false;
    App().store = nullptr;
}

} // namespace
