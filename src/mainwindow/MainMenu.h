#pragma once
// Menu resource 100 and accelerator table 100 as data, and the builders
// that turn them into a menu bar and window shortcuts.
#include <QKeySequence>

#include <functional>
#include <span>
#include <vector>

class QMenuBar;
class QWidget;
class QAction;

namespace km {

struct MenuSpec {
    const char* title;
    std::vector<int> items; // command numbers, 0 = separator
};

struct Accelerator {
    QKeySequence keys;
    int command;
};

const std::vector<MenuSpec>& MainMenuSpec();
const std::vector<Accelerator>& AcceleratorTable();

// Fills `bar`; every item's objectName is "cmd<number>" and triggering it
// calls `onCommand`. Returns the actions by command number.
std::vector<QAction*> BuildMainMenu(QMenuBar* bar, const std::function<void(int)>& onCommand);

// Window shortcuts for the accelerator table, calling `onCommand`.
void InstallAccelerators(QWidget* window, const std::function<void(int)>& onCommand);

} // namespace km
