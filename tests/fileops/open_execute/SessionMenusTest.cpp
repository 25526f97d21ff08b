#include "fileops/open_execute/SessionMenus.h"

#include "XdgFixture.h"

using namespace km;
using namespace km::test;

namespace {

class SessionMenusTest : public XdgFixture {};

TEST_F(SessionMenusTest, DesktopItemsFilesBeforeFoldersEachSortedWithoutCase) {
    const std::string desk = dir.file("home/Schreibtisch");
    MakeDirs(desk + "/beta folder");
    MakeDirs(desk + "/Alpha folder");
    WriteAll(desk + "/zeta.txt", "z");
    WriteAll(desk + "/Apple.txt", "a");
    WriteAll(desk + "/.hidden", "h");
    WriteAll(desk + "/editor.desktop", "[Desktop Entry]\nType=Application\nName=My Editor\nExec=true\n");
    WriteAll(dir.file("config/user-dirs.dirs"), "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
    ASSERT_EQ(DesktopDirectory(), desk);
    std::vector<std::string> names;
    std::vector<bool> folders;
    for (const DesktopItem& i : ReadDesktopItems(desk)) {
        names.push_back(i.name);
        folders.push_back(i.isFolder);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Apple.txt", "My Editor", "zeta.txt", "Alpha folder", "beta folder"}));
    EXPECT_EQ(folders, (std::vector<bool>{false, false, false, true, true}));
}

TEST_F(SessionMenusTest, SettingsAppletsAreTheSettingsEntriesByName) {
    writeEntry("data/applications", "display.desktop", "true", "", "Categories=Settings;HardwareSettings;\n");
    writeEntry("data/applications", "mouse.desktop", "true", "", "Categories=GTK;Settings;\n");
    writeEntry("data/applications", "game.desktop", "true", "", "Categories=Game;\n");
    writeEntry("sys/applications", "mouse.desktop", "false", "", "Categories=Settings;\n");
    // The names as the entries give them: "&Display" loses its ampersand.
    WriteAll(dir.file("data/applications/display.desktop"),
             "[Desktop Entry]\nType=Application\nName=&Display\nExec=true\nCategories=Settings;\n");
    std::vector<std::string> names;
    for (const SettingsApplet& a : ReadSettingsApplets())
        names.push_back(a.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Display", "mouse.desktop"}));
}

} // namespace
