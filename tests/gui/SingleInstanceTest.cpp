#include "mainwindow/SingleInstance.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using km::InstanceSocketName;
using km::SingleInstance;

TEST(SingleInstance, SecondClaimHandsOverToTheFirst) {
    const QString name = QStringLiteral("km-test-%1").arg(QCoreApplication::applicationPid());
    SingleInstance first(name);
    ASSERT_TRUE(first.claim());
    QSignalSpy spy(&first, &SingleInstance::activationRequested);
    SingleInstance second(name);
    EXPECT_FALSE(second.claim());
    EXPECT_TRUE(spy.wait(2000));
}

TEST(SingleInstance, StaleSocketIsTakenOver) {
    const QString name = QStringLiteral("km-stale-%1").arg(QCoreApplication::applicationPid());
    {
        SingleInstance gone(name);
        ASSERT_TRUE(gone.claim());
    } // the server closes, as after a crash the socket file may remain
    SingleInstance next(name);
    EXPECT_TRUE(next.claim());
}

TEST(SingleInstance, EachDesktopSessionHasItsOwnSocket) {
    // The session's runtime directory, per session id, else per display.
    EXPECT_EQ(InstanceSocketName("/run/user/1000", "c2", ":0", 1000), "/run/user/1000/kestrum-session-c2.sock");
    EXPECT_EQ(InstanceSocketName("/run/user/1000", nullptr, ":10.0", 1000), "/run/user/1000/kestrum-display-10_0.sock");
    EXPECT_EQ(InstanceSocketName("/run/user/1000", "", "wayland-0", 1000),
              "/run/user/1000/kestrum-display-wayland-0.sock");
    // No runtime directory: still one per user and display, never one for the machine.
    EXPECT_EQ(InstanceSocketName(nullptr, nullptr, ":1", 1000), "KMClass-1000-display-1");
    EXPECT_EQ(InstanceSocketName("relative", nullptr, nullptr, 7), "KMClass-7-default");

    // Two sessions of one user: both starts run.
    const QString runtime = QDir::tempPath() + QStringLiteral("/km-runtime-%1").arg(QCoreApplication::applicationPid());
    ASSERT_TRUE(QDir().mkpath(runtime));
    const QByteArray dir = runtime.toLocal8Bit();
    SingleInstance first(InstanceSocketName(dir.constData(), "1", ":0", 1000));
    SingleInstance other(InstanceSocketName(dir.constData(), "2", ":1", 1000));
    EXPECT_TRUE(first.claim());
    EXPECT_TRUE(other.claim());
    SingleInstance again(InstanceSocketName(dir.constData(), "1", ":0", 1000));
    EXPECT_FALSE(again.claim()); // the same session hands over
    QDir(runtime).removeRecursively();
}
