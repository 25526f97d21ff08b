#pragma once
// The main window: two panels with their drive bars and text lines, the fixed
// layout, the active-panel frame and the main window side of the private messages.
#include "fileops/open_execute/AppButtonDefinition.h"
#include "fileops/open_execute/Placeholders.h"
#include "mainwindow/MainLayout.h"
#include "platform/DirectoryWatcher.h"
#include "ui_services/PanelMessage.h"
#include "ui_services/StatusLine.h"

#include <QMainWindow>
#include <QMargins>
#include <QRect>

#include <array>
#include <string>
#include <unordered_map>

class QAction;
class QLabel;
class QSessionManager;
class QPushButton;
class QTimer;

namespace km {

// `outer` moved (and shrunk) so that the window's title bar is on a screen.
QRect KeepTitleBarOnScreen(const QRect& outer);

class AppButtonBar;
class CommandPrompt;
class DriveBar;
class FilePanel;
class FunctionKeyBar;
class TrayIcons;

class MainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit MainFrame(QWidget* parent = nullptr);
    ~MainFrame() override;

    FilePanel* panel(int side) const { return sides_[static_cast<size_t>(side)].panel; }
    DriveBar* driveBar(int side) const { return sides_[static_cast<size_t>(side)].driveBar; }
    FilePanel* activePanel() const { return panel(leftActive_ ? 0 : 1); }
    FilePanel* otherPanel() const { return panel(leftActive_ ? 1 : 0); }
    bool leftActive() const { return leftActive_; }
    StatusLine* pathLine(int side) const { return sides_[static_cast<size_t>(side)].pathLine; }
    StatusLine* summaryLine(int side) const { return sides_[static_cast<size_t>(side)].summary; }
    StatusLine* infoLine(int side) const { return sides_[static_cast<size_t>(side)].infoLine; }
    const MainLayout& currentLayout() const { return layout_; }

    // Shows the window in the stored show state.
    void showWithPlacement();
    // Tab: the other panel becomes the active one.
    void SwitchActivePanel();
    // Commands "Save current paths" and "Save current sort order".
    void SaveCurrentPaths();
    void SaveSortOrder();
    // Routes a command number; false when it has no handler (yet) and so is
    // shown disabled.
    bool OnCommand(int command);
    static bool IsCommandEnabled(int command);
    QAction* menuAction(int command) const;
    // The title without the clock.
    const QString& baseTitle() const { return baseTitle_; }
    FunctionKeyBar* functionKeys() const { return functionKeys_; }
    AppButtonBar* appButtons() const { return appButtons_; }
    CommandPrompt* commandPrompt() const { return prompt_; }
    // Restores a minimized window and brings it to the front.
    void bringToFront();
    // The session or the system is ending and nobody can be asked (SIGTERM):
    // changed editor texts go to recovery files and the window closes,
    // saving its state as on a normal close.
    void endWithoutQuestions();
    // The session manager's save request: changed editors ask when the
    // manager allows questions (Cancel cancels the session end), else keep
    // their texts for recovery; the window's state is saved.
    void commitSessionData(QSessionManager& manager);

protected:
    bool event(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    struct Side {
        FilePanel* panel = nullptr;
        DriveBar* driveBar = nullptr;
        StatusLine* infoLine = nullptr;
        StatusLine* pathLine = nullptr;
        StatusLine* summary = nullptr;
        std::array<QPushButton*, 4> buttons{};
    };

    void createSide(int side);
    void doLayout();
    void paintFrames();
    void setActive(bool left);
    int sideOf(qintptr controlId) const;
    // Re-reads the side, or reads `to` there; a directory gone meanwhile gives way to
    // its nearest existing parent, with the reason shown.
    void refreshSide(int side, std::string to = {});
    void rewritePathLine(int side);
    void rewriteSummary(int side);
    void updateDriveInfo();
    void syncDrive(int side);
    void savePlacement();
    void restartWatcher(int side);
    void restartClock();
    void tickClock();

    // commands (MainFrameCommands.cpp)
    using CommandHandler = void (MainFrame::*)(int command);
    static const std::unordered_map<int, CommandHandler>& commandTable();
    void cmdPostToActive(int command);
    void cmdSortOrExtend(int command);
    void cmdSelectAllNone(int command);
    void cmdMark(int command);
    void cmdFilter(int command);
    void cmdRefresh(int command);
    void cmdSwap(int command);
    void cmdDirCompare(int command);
    void cmdAttributes(int command);
    void cmdSystem(int command);
    void cmdZip(int command);
    void cmdFileCompare(int command);
    void cmdFtp(int command);
    void cmdSwitchPanel(int command);
    void cmdScreenSaver(int command);
    void cmdDriveList(int command);
    void cmdRootOrParent(int command);
    void cmdButtonsAllNone(int command);
    void cmdFocusPrompt(int command);
    void cmdRunPrompt(int command);
    void cmdNothing(int command);
    void cmdFunctionKey(int command);
    void cmdHelp(int command);
    void cmdSettingsDialog(int command);
    void cmdSavePaths(int command);
    void cmdExit(int command);
    void goRootOrParent(int side, bool root);
    PlaceholderSources placeholderSources();
    // Placement, column widths and the search results' count, as on closing.
    void saveWindowState();
    // Where programs start: always a local directory.
    std::string localWorkingDirectory();
    void changeActiveDirectory(const std::string& path);
    void applyPanelFont();
    void applyVisibility();
    void applyTitle(const std::string& title);

    // message handlers
    void onRefreshBoth(const PanelMessageEvent& m);
    void onDirectoryChanged(const PanelMessageEvent& m);
    void onDriveChanged(const PanelMessageEvent& m);
    void onRefreshOne(const PanelMessageEvent& m);
    void onPanelFocused(const PanelMessageEvent& m);
    void onSelectedFileQuery(const PanelMessageEvent& m);
    void onPathQuery(const PanelMessageEvent& m);
    void onChangedOnDisk(const PanelMessageEvent& m);
    void onEnterFocused(const PanelMessageEvent& m);
    void onDeleteToBin(const PanelMessageEvent& m);
    void onTrayIcon(const PanelMessageEvent& m);

    std::array<Side, 2> sides_;
    FunctionKeyBar* functionKeys_ = nullptr;
    AppButtonBar* appButtons_ = nullptr;
    CommandPrompt* prompt_ = nullptr;
    TrayIcons* trayIcons_ = nullptr;
    std::unordered_map<int, QAction*> menuActions_;
    std::array<DirectoryWatcher, 2> watchers_;
    std::array<std::string, 2> watchedPaths_;
    bool endingWithoutQuestions_ = false;
    std::array<std::string, 2> localPaths_; // shown before a side went to the FTP site
    QTimer* clock_ = nullptr;
    QString baseTitle_;
    QWidget* client_ = nullptr;
    MainLayout layout_;
    bool leftActive_ = true;
    bool placementApplied_ = false;
    int showCmd_ = 5;
    QRect normalRect_;    // outer rectangle from the store
    QMargins normalFrame_; // the window manager's frame around the normal window
    QMargins frameMarginsNow() const;
    static const PanelMessageTable<MainFrame> messageTable_;
};

} // namespace km
