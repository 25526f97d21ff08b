#include "ui_services/BusyGuard.h"

#include "ui_services/ProgressWindow.h"

#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace km;

TEST(BusyGuard, HoldsTheWindowAndFlagsAndRestoresThemEvenWhenNested) {
    QWidget main;
    main.show();
    App().cancelFlag = true;
    App().busyFlag = false;
    {
        BusyGuard guard(&main);
        EXPECT_TRUE(App().busyFlag);
        EXPECT_FALSE(App().cancelFlag);
        EXPECT_FALSE(main.isEnabled());
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        { BusyGuard inner(&main); }
        EXPECT_TRUE(App().busyFlag);
        EXPECT_FALSE(main.isEnabled());
    }
    EXPECT_FALSE(App().busyFlag);
    EXPECT_TRUE(main.isEnabled());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(BusyGuard, LeavesAWindowDisabledByOthersDisabled) {
    QWidget main;
    main.setEnabled(false);
    { BusyGuard guard(&main); }
    EXPECT_FALSE(main.isEnabled());
    // The window may go away while the operation runs.
    auto* doomed = new QWidget;
    {
        BusyGuard guard(doomed);
        delete doomed;
    }
    EXPECT_FALSE(App().busyFlag);
}

// The whole point of the progress window: its Cancel must work while the
// window that owns it is disabled.
TEST(BusyGuard, ProgressWindowOfADisabledOwnerStaysUsable) {
    QWidget main;
    main.show();
    BusyGuard guard(&main);
    QPointer<ProgressWindow> progress = ProgressWindow::Create(ProgressKind::Copy, &main);
    progress->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(progress));
    auto* cancel = progress->findChild<QPushButton*>("cancel");
    EXPECT_TRUE(cancel->isEnabled());
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_TRUE(App().cancelFlag);
    delete progress.data();
    App().cancelFlag = false;
}
