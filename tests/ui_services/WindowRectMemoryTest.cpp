#include "ui_services/WindowRectMemory.h"

#include "settings/SettingsStore.h"
#include "support/TempDir.h"

#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

using namespace km;

namespace {

class WindowRectMemoryTest : public ::testing::Test {
protected:
    int get(const char* key) { return store.GetInt("DlgPositie", key, -1); }
    void put(int x, int y, int cx, int cy) {
        store.PutInt("DlgPositie", "x", x);
        store.PutInt("DlgPositie", "y", y);
        store.PutInt("DlgPositie", "cx", cx);
        store.PutInt("DlgPositie", "cy", cy);
    }

    test::TempDir dir;
    SettingsStore store{dir.file("KM.reg")};
};

} // namespace

TEST_F(WindowRectMemoryTest, StoresRightAndBottomAndRestoresTheSameRectangle) {
    QWidget w;
    w.setGeometry(100, 120, 300, 200);
    SaveWindowRect(&w, store);
    EXPECT_EQ(get("x"), 100);
    EXPECT_EQ(get("y"), 120);
    EXPECT_EQ(get("cx"), 400);
    EXPECT_EQ(get("cy"), 320);

    SettingsStore reread(dir.file("KM.reg"));
    QWidget other;
    other.setGeometry(10, 10, 50, 50);
    RestoreWindowRect(&other, reread);
    EXPECT_EQ(other.geometry(), QRect(100, 120, 300, 200));
}

TEST_F(WindowRectMemoryTest, NothingStoredOrUnusableLeavesTheWindowAlone) {
    QWidget w;
    w.setGeometry(10, 20, 50, 60);
    RestoreWindowRect(&w, store); // no "cx"
    put(100, 100, 0, 300);        // "cx" 0: none stored
    RestoreWindowRect(&w, store);
    put(300, 100, 200, 300); // right of its left edge
    RestoreWindowRect(&w, store);
    put(50000, 50000, 50300, 50200); // on no screen
    RestoreWindowRect(&w, store);
    EXPECT_EQ(w.geometry(), QRect(10, 20, 50, 60));
}

TEST_F(WindowRectMemoryTest, MaximizedWindowStoresItsNormalRectangle) {
    QWidget w;
    w.setGeometry(100, 120, 300, 200);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.showMaximized();
    QTest::qWait(20);
    ASSERT_TRUE(w.isMaximized());
    ASSERT_NE(w.geometry(), QRect(100, 120, 300, 200));
    SaveWindowRect(&w, store);
    EXPECT_EQ(get("x"), 100);
    EXPECT_EQ(get("y"), 120);
    EXPECT_EQ(get("cx"), 400);
    EXPECT_EQ(get("cy"), 320);
}
