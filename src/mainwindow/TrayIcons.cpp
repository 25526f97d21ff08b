#include "mainwindow/TrayIcons.h"

#include "fileops/open_execute/ProcessLauncher.h"
#include "fileops/open_execute/SessionMenus.h"
#include "fileops/open_execute/ui/OpenExecuteCommands.h"
#include "mainwindow/ExitWindowsDialog.h"
#include "settings/SettingsStore.h"
#include "ui_services/AppState.h"
#include "ui_services/MessageBoxes.h"
#include "ui_services/PanelMessage.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QWidget>

#include <algorithm>
#include <functional>
#include <unistd.h>
#include <vector>

namespace km {
namespace {

QString qs(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

struct IconSpec {
    const char* key;
    const char* tip;
    const char* theme;
    QStyle::StandardPixmap fallback;
    int callback; // the message posted to the owner, identifier = index + 1
};

constexpr IconSpec kIcons[3] = {
    {"StopIcon", "Windows Shutdown", "system-shutdown", QStyle::SP_BrowserStop, PmStopIcon},
    {"MenuIcon", "Desktop Menu", "user-desktop", QStyle::SP_DesktopIcon, PmDesktopMenuIcon},
    {"CPLIcon", "Control Panel Menu", "preferences-system", QStyle::SP_ComputerIcon,
     PmControlPanelIcon},
};

// The mouse message a callback carries for each way of activating an icon.
int mouseMessage(QSystemTrayIcon::ActivationReason r) {
    switch (r) {
    case QSystemTrayIcon::Trigger:
        return TrayIcons::kLeftButtonUp;
    case QSystemTrayIcon::DoubleClick:
        return 0x203;
    case QSystemTrayIcon::Context:
        return 0x205;
    case QSystemTrayIcon::MiddleClick:
        return 0x208;
    default:
        return 0;
    }
}

struct MenuEntry {
    QString text;
    std::function<void()> act;
    bool separatorBefore = false;
};

constexpr size_t kMenuColumn = 25;

// Qt menus have no column breaks: up to 25 entries stand in the menu itself,
// more are split into one submenu per 25, named by their first and last
// entries.
void fillInColumns(QMenu* menu, const std::vector<MenuEntry>& entries, QObject* context) {
    const auto add = [context](QMenu* m, const MenuEntry& e, bool first) {
        if (e.separatorBefore && !first)
            m->addSeparator();
        m->addAction(e.text, context, e.act);
    };
    if (entries.size() <= kMenuColumn) {
        for (size_t i = 0; i < entries.size(); ++i)
            add(menu, entries[i], i == 0);
        return;
    }
    for (size_t start = 0; start < entries.size(); start += kMenuColumn) {
        const size_t end = std::min(start + kMenuColumn, entries.size());
        QMenu* column = menu->addMenu(entries[start].text + QStringLiteral(" \u2013 ") + entries[end - 1].text);
        column->setObjectName(QStringLiteral("column%1").arg(start / kMenuColumn + 1));
        for (size_t i = start; i < end; ++i)
            add(column, entries[i], i == start);
    }
}

// An applet that cannot start says nothing further.
class SilentUi : public OpenExecuteUi {
public:
    void Warning(int, std::string_view) override {}
    void Message(std::string_view, bool) override {}
};

// A launcher someone merely dropped on the desktop is not trusted until it is
// made executable, as the desktops themselves require; ask before starting one.
bool mayStartLauncher(const DesktopItem& item) {
    if (access(item.path.c_str(), X_OK) == 0)
        return true;
    return ShowMessage("\"" + item.name + "\" is a launcher that is not marked as trusted (executable).\n"
                       "Start its program anyway?",
                       MbYesNo | MbIconQuestion) == IdYes;
}

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
        // Every activation goes to the owner as the icon's callback message;
        // OnCallback there decides what acts.
        connect(t, &QSystemTrayIcon::activated, this, [this, i](QSystemTrayIcon::ActivationReason r) {
            PostPanelMessage(owner_, kIcons[i].callback, static_cast<qintptr>(i + 1), mouseMessage(r));
        });
        t->show();
        icons_[i] = t;
    }
}

void TrayIcons::OnCallback(int message, qintptr icon, qintptr mouse) {
    // Only the left button's release on the message's own icon acts.
    const qintptr index = icon - 1;
    if (mouse != kLeftButtonUp || index < 0 || index >= static_cast<qintptr>(std::size(kIcons)) ||
        kIcons[index].callback != message)
        return;
    if (index == 0) {
        StopIconClicked();
        return;
    }
    QMenu* menu = index == 1 ? BuildDesktopMenu() : BuildSettingsMenu();
    owner_->activateWindow();
    menu->exec(QCursor::pos());
    menu->deleteLater();
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
    std::vector<MenuEntry> entries;
    bool folders = false;
    for (const DesktopItem& item : ReadDesktopItems(DesktopDirectory())) {
        MenuEntry e;
        e.text = qs(item.name);
        e.separatorBefore = item.isFolder && !folders;
        folders = folders || item.isFolder;
        e.act = [item] {
            QtOpenExecuteUi ui;
            const std::string dir = item.path.substr(0, item.path.rfind('/'));
            if (!item.isLauncher)
                OpenFile(item.path, dir, ui);
            else if (mayStartLauncher(item))
                StartLauncher(item.path, dir, ui);
        };
        entries.push_back(std::move(e));
    }
    fillInColumns(menu, entries, this);
    return menu;
}

QMenu* TrayIcons::BuildSettingsMenu() {
    auto* menu = new QMenu(owner_);
    menu->setObjectName(QStringLiteral("settingsMenu"));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::vector<SettingsApplet> applets = ReadSettingsApplets();
    QApplication::restoreOverrideCursor();
    std::vector<MenuEntry> entries;
    for (const SettingsApplet& a : applets) {
        const std::string file = a.entry.file;
        entries.push_back({qs(a.name), [file] {
                               SilentUi ui;
                               StartLauncher(file, {}, ui);
                           }});
    }
    fillInColumns(menu, entries, this);
    return menu;
}

} // namespace km
