#pragma once
// The three task-bar icons: shut down, the desktop's items, the settings
// applications. Shown where the desktop has a tray, as "StopIcon",
// "MenuIcon" and "CPLIcon" ask.
#include <QObject>

#include <array>

class QMenu;
class QSystemTrayIcon;

namespace km {

class TrayIcons : public QObject {
    Q_OBJECT
public:
    explicit TrayIcons(QWidget* owner);
    ~TrayIcons() override;
    // Creates or removes each icon by its setting.
    void Apply();

    // The mouse message of a left button's release, the one that acts.
    static constexpr int kLeftButtonUp = 0x202;
    // A callback message (0x416, 0x417, 0x437) with the icon's identifier
    // (1 to 3) and the mouse message, as the owner receives it.
    void OnCallback(int message, qintptr icon, qintptr mouse);

    // The menus as a left click shows them (built anew each time).
    QMenu* BuildDesktopMenu();
    QMenu* BuildSettingsMenu();
    void StopIconClicked();

private:
    QWidget* owner_;
    std::array<QSystemTrayIcon*, 3> icons_{};
};

} // namespace km
