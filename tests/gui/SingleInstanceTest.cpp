#include "mainwindow/SingleInstance.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

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
