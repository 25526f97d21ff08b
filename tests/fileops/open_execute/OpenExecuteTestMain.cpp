// Runs the open/execute tests with no desktop detected, so neither the
// user's display and associations nor xdg-utils' desktop-specific paths take
// part.
#include "support/GuiTestRunner.h"

#include <cstdlib>
#include <initializer_list>

int main(int argc, char** argv) {
    for (const char* var :
         {"XDG_CURRENT_DESKTOP", "XDG_SESSION_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
          "KDE_SESSION_VERSION", "GNOME_DESKTOP_SESSION_ID", "MATE_DESKTOP_SESSION_ID",
          "XDG_MENU_PREFIX", "DISPLAY", "WAYLAND_DISPLAY", "BROWSER"})
        unsetenv(var);
    return km::test::RunGuiTests(argc, argv);
}
