// Runs the GUI tests on the offscreen platform with private XDG directories,
// so nothing touches the user's display or real settings.
#include "support/TempDir.h"

#include <QApplication>
#include <QStandardPaths>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    static km::test::TempDir home;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("HOME", home.path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", home.file("config").c_str(), 1);
    setenv("XDG_DATA_HOME", home.file("data").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", home.path().c_str(), 1);
    QStandardPaths::setTestModeEnabled(true);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
