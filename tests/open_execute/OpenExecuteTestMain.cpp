// Runs the open/execute tests on the offscreen platform with a private home
// and no desktop detected, so neither the user's display, settings and
// associations nor xdg-utils' desktop-specific paths take part.
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
    for (const char* var :
         {"XDG_CURRENT_DESKTOP", "XDG_SESSION_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
          "KDE_SESSION_VERSION", "GNOME_DESKTOP_SESSION_ID", "MATE_DESKTOP_SESSION_ID",
          "XDG_MENU_PREFIX", "DISPLAY", "WAYLAND_DISPLAY", "BROWSER"})
        unsetenv(var);
    QStandardPaths::setTestModeEnabled(true);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
