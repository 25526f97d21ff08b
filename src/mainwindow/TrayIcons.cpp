#include "mainwindow/TrayIcons.h"

#include "fileops/open_execute/ProcessLauncher.h"
#include "fileops/open_execute/SessionMenus.h"
#include "fileops/open_execute/ui/OpenExecuteCommands.h"
#include "mainwindow/ExitWindowsDialog.h"
#include "settings/SettingsStore.h"
#include "ui_services/AppState.h"
#include "ui_services/MessageBoxes.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QWidget>

namespace km {
namespace {

QString qs(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

struct IconSpec {
    const char* key;
    const char* tip;
    const char* theme;
    QStyle::StandardPixmap fallback;
};

constexpr IconSpec kIcons[3] = {
    {"StopIcon", "Windows Shutdown", "system-shutdown", QStyle::SP_BrowserStop},
    {"MenuIcon", "Desktop Menu", "user-desktop", QStyle::SP_DesktopIcon},
    {"CPLIcon", "Control Panel Menu", "preferences-system", QStyle::SP_ComputerIcon},
};

} // namespace

TrayIcons::TrayIcons(QWidget* owner) : QObject(owner), owner_(owner) { Apply(); }

TrayIcons::~TrayIcons() = default;

void TrayIcons::Apply() {
    const bool tray = QSystemTrayIcon::isSystemTrayAvailable();
    for (size_t i = 0; i < icons_.size(); ++i) {
        const bool wanted = tray && Settings().GetInt("Algemeen", kIcons[i].key, 1) != 0;
        if (!wanted) {
            delete icons_[i];
            icons_[i] = nullptr;
            continue;
        }
        if (icons_[i])
            continue;
        QIcon icon = QIcon::fromTheme(QString::fromLatin1(kIcons[i].theme));
        if (icon.isNull())
            icon = QApplication::style()->standardIcon(kIcons[i].fallback);
        auto* t = new QSystemTrayIcon(icon, this);
        t->setToolTip(QString::fromLatin1(kIcons[i].tip));
        // Only a left click acts; the right button does nothing.
        connect(t, &QSystemTrayIcon::activated, this, [this, i](QSystemTrayIcon::ActivationReason r) {
            if (r != QSystemTrayIcon::Trigger)
                return;
            if (i == 0) {
                StopIconClicked();
                return;
            }
            QMenu* menu = i == 1 ? BuildDesktopMenu() : BuildSettingsMenu();
            owner_->activateWindow();
            menu->exec(QCursor::pos());
            menu->deleteLater();
        });
        t->show();
        icons_[i] = t;
    }
}

void TrayIcons::StopIconClicked() {
    if (Settings().GetInt("Algemeen", "BevestigingStopIcon", 0) == 1 &&
        ShowMessage("Shutdown?", MbYesNo | MbIconQuestion) != IdYes)
        return;
    EndSession(SessionEnd::PowerOff);
}

QMenu* TrayIcons::BuildDesktopMenu() {
    auto* menu = new QMenu(owner_);
    menu->setObjectName(QStringLiteral("desktopMenu"));
    bool folders = false;
    for (const DesktopItem& item : ReadDesktopItems(DesktopDirectory())) {
        if (item.isFolder && !folders) {
            folders = true;
            if (!menu->isEmpty())
                menu->addSeparator();
        }
        const std::string path = item.path;
        menu->addAction(qs(item.name), this, [path] {
            std::string dir = path.substr(0, path.rfind('/'));
            OpenFile(path, dir);
        });
    }
    return menu;
}

QMenu* TrayIcons::BuildSettingsMenu() {
    auto* menu = new QMenu(owner_);
    menu->setObjectName(QStringLiteral("settingsMenu"));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::vector<SettingsApplet> applets = ReadSettingsApplets();
    QApplication::restoreOverrideCursor();
    for (const SettingsApplet& a : applets) {
        const DesktopEntry entry = a.entry;
        menu->addAction(qs(a.name), this, [entry] {
            std::vector<std::string> argv;
            if (ExpandExec(entry, {}, argv) && !argv.empty()) {
                // No file to open: drop the argument that stood for one.
                if (!argv.empty() && argv.back().empty())
                    argv.pop_back();
                LaunchDetached(argv, {});
            }
        });
    }
    return menu;
}

} // namespace km
