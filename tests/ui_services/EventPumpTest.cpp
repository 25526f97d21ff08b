#include "ui_services/EventPump.h"

#include "ui_services/AppState.h"

#include <QCoreApplication>
#include <QEvent>
#include <gtest/gtest.h>
#include <thread>

using namespace km;

namespace {

class Receiver : public QObject {
public:
    int received = 0;
    bool event(QEvent* e) override {
        if (e->type() != QEvent::User)
            return QObject::event(e);
        ++received;
        return true;
    }
};

} // namespace

TEST(EventPump, ProcessesAtMostOncePerInterval) {
    App().cancelFlag = false;
    Receiver r;
    EventPump::force();
    QCoreApplication::postEvent(&r, new QEvent(QEvent::User));
    EXPECT_FALSE(EventPump::pump());
    EXPECT_EQ(r.received, 0); // too soon after force()

    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(EventPump::pump());
    EXPECT_EQ(r.received, 1);

    QCoreApplication::postEvent(&r, new QEvent(QEvent::User));
    EXPECT_FALSE(EventPump::pump());
    EXPECT_EQ(r.received, 1);
    EventPump::force();
    EXPECT_EQ(r.received, 2);
}

TEST(EventPump, ReportsCancelEvenBetweenPumps) {
    EventPump::force();
    App().cancelFlag = true;
    EXPECT_TRUE(EventPump::pump());
    App().cancelFlag = false;
    EXPECT_FALSE(EventPump::pump());
}
