#include "fileops/open_execute/OpenExecute.h"
#include "fileops/open_execute/SessionMenus.h"

#include "ScriptedOpenUi.h"

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

TEST_F(SessionMenusTest, OtherDesktopsSettingsAndUninstalledOnesAreLeftOut) {
    setenv("XDG_CURRENT_DESKTOP", "ubuntu:GNOME", 1);
    const auto settings = [&](const char* id, const std::string& extra) {
        writeEntry("data/applications", id, "true", "", "Categories=Settings;\n" + extra);
    };
    settings("gnome-only.desktop", "OnlyShowIn=GNOME;Unity;\n");
    settings("kde-only.desktop", "OnlyShowIn=KDE;\n");
    settings("not-gnome.desktop", "NotShowIn=GNOME;\n");
    settings("not-xfce.desktop", "NotShowIn=XFCE;\n");
    settings("missing.desktop", "TryExec=no-such-program-km\n");
    settings("present.desktop", "TryExec=sh\n");
    std::vector<std::string> names;
    for (const SettingsApplet& a : ReadSettingsApplets())
        names.push_back(a.name);
    unsetenv("XDG_CURRENT_DESKTOP");
    EXPECT_EQ(names, (std::vector<std::string>{"gnome-only.desktop", "not-xfce.desktop", "present.desktop"}));
}

TEST_F(SessionMenusTest, ALauncherStartsItsProgramInsteadOfOpeningAsText) {
    const std::string desk = dir.file("home/Desktop");
    MakeDirs(desk);
    const std::string out = dir.file("out");
    WriteAll(desk + "/tool.desktop", "[Desktop Entry]\nType=Application\nName=Tool\nTerminal=false\nExec=" +
                                         recorderExec(out) + "\n");
    WriteAll(desk + "/notes.txt", "n");
    const std::vector<DesktopItem> items = ReadDesktopItems(desk);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[1].name, "Tool");
    EXPECT_TRUE(items[1].isLauncher);
    EXPECT_FALSE(items[0].isLauncher);
    ScriptedOpenUi ui;
    ASSERT_EQ(StartLauncher(items[1].path, dir.file("work"), ui), 0);
    const Recorded r = waitForRecord(out);
    EXPECT_EQ(r.cwd, real(dir.file("work")));
    EXPECT_TRUE(r.args.empty()) << "no file: the %f argument is dropped";
    EXPECT_FALSE(terminal.started());

    WriteAll(desk + "/broken.desktop", "[Desktop Entry]\nType=Application\nName=Broken\nExec=no-such-program-km\n");
    EXPECT_EQ(StartLauncher(desk + "/broken.desktop", {}, ui), 4171);
    ASSERT_EQ(ui.details.size(), 1u);
    EXPECT_EQ(ui.details[0], "Broken: No such file or directory");
}

} // namespace
