// The desktop and settings menus of the task-bar icons, built from private
// XDG directories.
#include "fileops/open_execute/XdgFixture.h"
#include "mainwindow/MainFrame.h"
#include "mainwindow/TrayIcons.h"
#include "settings/SettingsStore.h"
#include "support/DialogAnswerer.h"
#include "ui_services/AppState.h"
#include "ui_services/PanelMessage.h"

#include <QApplication>
#include <QMenu>
#include <QTimer>
#include <QTest>
#include <QWidget>

using namespace km;
using namespace km::test;

namespace {

class TrayMenusTest : public XdgFixture {
protected:
    void SetUp() override {
        XdgFixture::SetUp();
        store = std::make_unique<SettingsStore>(dir.file("KM.reg"));
        App().store = store.get();
        store->PutInt("Algemeen", "StopIcon", 0);
        store->PutInt("Algemeen", "MenuIcon", 0);
        store->PutInt("Algemeen", "CPLIcon", 0);
    }
    void TearDown() override {
        App().store = nullptr;
        XdgFixture::TearDown();
    }
    std::unique_ptr<SettingsStore> store;
    QWidget owner;
};

TEST_F(TrayMenusTest, ThirtyAppletsMakeColumnsOfTwentyFiveAndFive) {
    for (int i = 1; i <= 30; ++i) {
        char id[32];
        std::snprintf(id, sizeof id, "applet%02d.desktop", i);
        writeEntry("data/applications", id, "true", "", "Categories=Settings;\n");
    }
    TrayIcons icons(&owner);
    std::unique_ptr<QMenu> menu(icons.BuildSettingsMenu());
    const QList<QAction*> top = menu->actions();
    ASSERT_EQ(top.size(), 2);
    ASSERT_TRUE(top[0]->menu() && top[1]->menu());
    EXPECT_EQ(top[0]->menu()->actions().size(), 25);
    EXPECT_EQ(top[1]->menu()->actions().size(), 5);
    EXPECT_EQ(top[0]->text(), QStringLiteral("applet01.desktop \u2013 applet25.desktop"));
    EXPECT_EQ(top[1]->menu()->actions().last()->text(), "applet30.desktop");
}

TEST_F(TrayMenusTest, ADesktopLauncherStartsItsProgramOnceTrusted) {
    const std::string desk = dir.file("home/Desktop"), out = dir.file("out");
    MakeDirs(desk + "/folder");
    WriteAll(desk + "/tool.desktop",
             "[Desktop Entry]\nType=Application\nName=Tool\nTerminal=false\nExec=" +
                 recorderExec(out) + "\n");
    TrayIcons icons(&owner);
    std::unique_ptr<QMenu> menu(icons.BuildDesktopMenu());
    QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), 3); // Tool, a separator, the folder
    EXPECT_TRUE(actions[1]->isSeparator());
    ASSERT_EQ(actions[0]->text(), "Tool");

    // Not executable: asked first, and No starts nothing.
    int asked = 0;
    AnswerModal("MESSAGEBOX", "No", &asked);
    actions[0]->trigger();
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(appearsWithin(out, 300));

    chmod((desk + "/tool.desktop").c_str(), 0755);
    actions[0]->trigger();
    EXPECT_EQ(asked, 1) << "a trusted launcher starts without a question";
    EXPECT_TRUE(waitForRecord(out).args.empty());
}

TEST_F(TrayMenusTest, IconCallbacksReachTheMainWindowAndOnlyALeftReleaseOnTheirOwnIconActs) {
    store->PutInt("Algemeen", "BevestigingStopIcon", 1);
    MainFrame frame;
    int asked = 0;
    const auto post = [&](int message, int icon, int mouse) {
        PostPanelMessage(&frame, message, icon, mouse);
        QCoreApplication::processEvents();
    };
    // Never answered Yes: a fault here must not shut the machine down.
    AnswerModal("MESSAGEBOX", "No", &asked);
    post(PmStopIcon, 1, 0x205); // right button
    post(PmStopIcon, 2, TrayIcons::kLeftButtonUp);
    post(PmDesktopMenuIcon, 1, TrayIcons::kLeftButtonUp);
    EXPECT_EQ(asked, 0);
    post(PmStopIcon, 1, TrayIcons::kLeftButtonUp);
    EXPECT_EQ(asked, 1) << "\"Shutdown?\" first";

    QString shown;
    QTimer::singleShot(50, [&] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            shown = popup->objectName();
            popup->close();
        }
    });
    post(PmControlPanelIcon, 3, TrayIcons::kLeftButtonUp);
    EXPECT_EQ(shown, "settingsMenu");
}

} // namespace
