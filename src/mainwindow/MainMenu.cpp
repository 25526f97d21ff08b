#include "mainwindow/MainMenu.h"

#include "resources/CommandIds.h"
#include "ui_services/DialogMnemonics.h"

#include <QAction>
#include <QMenuBar>
#include <QApplication>
#include <QKeyEvent>
#include <QShortcut>

namespace km {

const std::vector<MenuSpec>& MainMenuSpec() {
    static const std::vector<MenuSpec> menus = {
        {"&File",
         {CmdFileAttributes, CmdSearch, CmdAssociate, CmdFileCompare, 0, CmdView, CmdEdit, CmdEditNew,
          0, CmdCopy, CmdRenameMove, CmdDeleteToBin, CmdDelete, 0, CmdFilter, CmdSelectFiles,
          CmdDeselectFiles, CmdSelectAll, CmdDeselectAll, CmdInvertSelection, 0, CmdOpenArchive,
          CmdZip, CmdZipSelfExtracting, 0, CmdPrint, CmdPrinterSetup, 0, CmdSwapPanels, 0, CmdExit}},
        {"&Directory",
         {CmdChangeDir, CmdDirAttributes, CmdMakeDir, 0, CmdPrintDirectory, CmdPrintTree, 0,
          CmdDirCompare, CmdCalcSpace, 0, CmdRefresh}},
        {"Dis&k",
         {CmdDiskProperties, CmdFormatDisk, CmdDiskCopy, 0, CmdConnectNetwork, CmdDisconnectNetwork, 0,
          CmdFtpSites}},
        {"&Options",
         {CmdSaveCurrentPaths, CmdSaveSortOrder, 0, CmdGeneralSettings, CmdFunctionKeyDefinition, 0,
          CmdChooseFont, CmdChooseColors, CmdFileWindowSettings, 0, CmdPrintSettings, CmdConfirmations,
          CmdFileCompareSettings, CmdFtpSettings}},
        {"&Help",
         {CmdHelpIndex, CmdHelpSearch, CmdHelpScreenElements, CmdHelpUsingHelp, 0, CmdAboutWindows,
          CmdAboutComputer, CmdAboutKestrum}},
    };
    return menus;
}

const std::vector<Accelerator>& AcceleratorTable() {
    using K = QKeySequence;
    const auto num = [](Qt::KeyboardModifiers mods, Qt::Key key) {
        return QKeySequence(QKeyCombination(mods | Qt::KeypadModifier, key));
    };
    const auto shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier;
    static const std::vector<Accelerator> table = {
        {K(Qt::Key_F1), CmdHelpIndex},
        {K(Qt::Key_F2), CmdFunctionKey2},
        {K(Qt::Key_F3), CmdFunctionKey3},
        {K(Qt::Key_F4), CmdFunctionKey4},
        {K(Qt::Key_F5), CmdFunctionKey5},
        {K(Qt::Key_F6), CmdFunctionKey6},
        {K(Qt::Key_F7), CmdFunctionKey7},
        {K(Qt::Key_F8), CmdFunctionKey8},
        {K(Qt::Key_F9), CmdFunctionKey9},
        {K(Qt::Key_F10), CmdExit},
        {K(Qt::Key_Tab), CmdSwitchPanel},
        {K(Qt::Key_Escape), CmdScreenSaver},
        {K(Qt::Key_Delete), CmdDeleteToBin},
        {K(Qt::SHIFT | Qt::Key_Delete), CmdDelete},
        {K(Qt::ALT | Qt::Key_F1), CmdLeftDriveList},
        {K(Qt::ALT | Qt::Key_F2), CmdRightDriveList},
        {K(Qt::ALT | Qt::Key_F7), CmdSearch},
        {K(Qt::CTRL | Qt::Key_F3), CmdSortByName},
        {K(Qt::CTRL | Qt::Key_F4), CmdSortByExtension},
        {K(Qt::CTRL | Qt::Key_F5), CmdSortBySize},
        {K(Qt::CTRL | Qt::Key_F6), CmdSortByDate},
        {num({}, Qt::Key_Plus), CmdSelectFiles},
        {num({}, Qt::Key_Minus), CmdDeselectFiles},
        {num(ctrl, Qt::Key_Plus), CmdSelectAll},
        {num(ctrl, Qt::Key_Minus), CmdDeselectAll},
        {num(shift, Qt::Key_Plus), CmdSwallowKey},
        {num(shift, Qt::Key_Minus), CmdSwallowKey},
        {num(ctrl | shift, Qt::Key_Plus), CmdSwallowKey},
        {num(ctrl | shift, Qt::Key_Minus), CmdSwallowKey},
        {K(Qt::CTRL | Qt::Key_PageUp), CmdParentDir},
        {K(Qt::CTRL | Qt::Key_D), CmdChangeDir},
        {K(Qt::CTRL | Qt::Key_F), CmdSearch},
        {K(Qt::CTRL | Qt::Key_R), CmdRefresh},
        {K(Qt::CTRL | Qt::Key_P), CmdFocusPrompt},
        {K(Qt::CTRL | Qt::Key_U), CmdSwapPanels},
        {K(Qt::CTRL | Qt::Key_Z), CmdZip},
        {K(Qt::SHIFT | Qt::Key_Down), CmdExtendSelectionDown},
        {K(Qt::SHIFT | Qt::Key_Up), CmdExtendSelectionUp},
        {K(Qt::SHIFT | Qt::Key_PageDown), CmdExtendSelectionPageDown},
        {K(Qt::SHIFT | Qt::Key_PageUp), CmdExtendSelectionPageUp},
        {K(Qt::SHIFT | Qt::Key_Home), CmdExtendSelectionHome},
        {K(Qt::SHIFT | Qt::Key_End), CmdExtendSelectionEnd},
    };
    return table;
}

std::vector<QAction*> BuildMainMenu(QMenuBar* bar, const std::function<void(int)>& onCommand) {
    std::vector<QAction*> actions;
    for (const MenuSpec& menuDef : MainMenuSpec()) {
        QMenu* menu = bar->addMenu(QString::fromUtf8(menuDef.title));
        for (int id : menuDef.items) {
            if (id == 0) {
                menu->addSeparator();
                continue;
            }
            const CommandInfo* info = FindCommand(id);
            QAction* a = menu->addAction(QString::fromUtf8(info ? info->menuText : "?"));
            a->setObjectName(QStringLiteral("cmd%1").arg(id));
            // The accelerator table owns the keys; the text only shows them.
            a->setShortcutContext(Qt::WidgetShortcut);
            QObject::connect(a, &QAction::triggered, bar, [onCommand, id] { onCommand(id); });
            actions.push_back(a);
        }
    }
    return actions;
}

namespace {

// Keys of the numeric keypad (num +, Ctrl+num -) as the key presses they
// are: the X11 platform never matches a shortcut that holds the keypad
// modifier, so these are taken before the focus widget sees them.
class KeypadAccelerators : public QObject {
public:
    KeypadAccelerators(QWidget* window, std::function<void(int)> onCommand)
        : QObject(window), window_(window), onCommand_(std::move(onCommand)) {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() != QEvent::KeyPress || !watched->isWidgetType() ||
            static_cast<QWidget*>(watched)->window() != window_)
            return false;
        const auto* key = static_cast<QKeyEvent*>(e);
        if (!(key->modifiers() & Qt::KeypadModifier) || IsTextEntry(static_cast<QWidget*>(watched)))
            return false;
        const QKeySequence pressed(key->keyCombination());
        for (const Accelerator& acc : AcceleratorTable()) {
            if (acc.keys == pressed) {
                onCommand_(acc.command);
                return true;
            }
        }
        return false;
    }

private:
    QWidget* window_;
    std::function<void(int)> onCommand_;
};

} // namespace

void InstallAccelerators(QWidget* window, const std::function<void(int)>& onCommand) {
    new KeypadAccelerators(window, onCommand);
    for (const Accelerator& acc : AcceleratorTable()) {
        auto* s = new QShortcut(acc.keys, window);
        s->setContext(Qt::WindowShortcut);
        s->setObjectName(QStringLiteral("acc%1").arg(acc.command));
        const int id = acc.command;
        QObject::connect(s, &QShortcut::activated, window, [onCommand, id] { onCommand(id); });
    }
}

} // namespace km
