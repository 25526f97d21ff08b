// The main window's command table: every command number a menu item,
// accelerator, function key or small button produces, and its handler.
#include "mainwindow/FunctionKeyActions.h"
#include "mainwindow/AppButtonBar.h"
#include "mainwindow/CommandPrompt.h"
#include "mainwindow/FunctionKeyBar.h"
#include "mainwindow/FunctionKeyDialog.h"
#include "mainwindow/ConfirmationsDialog.h"
#include "mainwindow/DiskStationDialog.h"
#include "mainwindow/NetworkDriveCommands.h"
#include "mainwindow/ExitWindowsDialog.h"
#include "mainwindow/ThisComputerDialog.h"
#include "mainwindow/TrayIcons.h"
#include "mainwindow/FilterDialog.h"
#include "mainwindow/GeneralSettingsDialog.h"
#include "mainwindow/HelpWindow.h"
#include "mainwindow/MainFrame.h"
#include "fileops/DirectoryCompare.h"
#include "fileops/printing/ui/PrintCommands.h"
#include "fileops/compare/ui/FileCompareCommand.h"
#include "fileops/compare/ui/FileCompareSettingsDialog.h"
#include "fileops/attributes/ui/AttributeCommands.h"
#include "ftp/ui/CertificateQuestion.h"
#include "ftp/ui/FtpSettingsDialog.h"
#include "ftp/ui/FtpSitesDialog.h"
#include "panels/ColorsDialog.h"
#include "panels/RemotePanelSource.h"
#include "panels/DriveBar.h"
#include "panels/FilePanel.h"
#include "panels/MaskDialog.h"
#include "panels/PanelFontChooser.h"
#include "panels/PanelModel.h"
#include "panels/PanelSettingsDialog.h"
#include "platform/PathUtil.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "settings/SettingsStore.h"
#include "ui_services/AppState.h"
#include "ui_services/MessageBoxes.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QSysInfo>

#include <cstdlib>
#include <utility>

namespace km {

const std::unordered_map<int, MainFrame::CommandHandler>& MainFrame::commandTable() {
    static const std::unordered_map<int, CommandHandler> table = {
        {CmdInvertSelection, &MainFrame::cmdPostToActive},
        {CmdCopy, &MainFrame::cmdPostToActive},
        {CmdSearch, &MainFrame::cmdPostToActive},
        {CmdOpenArchive, &MainFrame::cmdPostToActive},
        {CmdPrint, &MainFrame::cmdPostToActive},
        {CmdPrintDirectory, &MainFrame::cmdPostToActive},
        {CmdPrintTree, &MainFrame::cmdPostToActive},
        {CmdPrintSettings, &MainFrame::cmdSettingsDialog},
        {CmdPrinterSetup, &MainFrame::cmdSettingsDialog},
        {CmdEdit, &MainFrame::cmdPostToActive},
        {CmdView, &MainFrame::cmdPostToActive},
        {CmdEditNew, &MainFrame::cmdPostToActive},
        {CmdAssociate, &MainFrame::cmdPostToActive},
        {CmdMakeDir, &MainFrame::cmdPostToActive},
        {CmdCalcSpace, &MainFrame::cmdPostToActive},
        {CmdRenameMove, &MainFrame::cmdPostToActive},
        {CmdDeleteToBin, &MainFrame::cmdPostToActive},
        {CmdDelete, &MainFrame::cmdPostToActive},
        {CmdChangeDir, &MainFrame::cmdPostToActive},
        {CmdSortByName, &MainFrame::cmdSortOrExtend},
        {CmdSortByExtension, &MainFrame::cmdSortOrExtend},
        {CmdSortBySize, &MainFrame::cmdSortOrExtend},
        {CmdSortByDate, &MainFrame::cmdSortOrExtend},
        {CmdExtendSelectionDown, &MainFrame::cmdSortOrExtend},
        {CmdExtendSelectionUp, &MainFrame::cmdSortOrExtend},
        {CmdExtendSelectionPageDown, &MainFrame::cmdSortOrExtend},
        {CmdExtendSelectionPageUp, &MainFrame::cmdSortOrExtend},
        {CmdExtendSelectionHome, &MainFrame::cmdSortOrExtend},
        {CmdExtendSelectionEnd, &MainFrame::cmdSortOrExtend},
        {CmdSelectAll, &MainFrame::cmdSelectAllNone},
        {CmdDeselectAll, &MainFrame::cmdSelectAllNone},
        {CmdSelectFiles, &MainFrame::cmdMark},
        {CmdDeselectFiles, &MainFrame::cmdMark},
        {CmdFilter, &MainFrame::cmdFilter},
        {CmdRefresh, &MainFrame::cmdRefresh},
        {CmdSwapPanels, &MainFrame::cmdSwap},
        {CmdDirCompare, &MainFrame::cmdDirCompare},
        {CmdFileAttributes, &MainFrame::cmdAttributes},
        {CmdZip, &MainFrame::cmdZip},
        {CmdZipSelfExtracting, &MainFrame::cmdZip},
        {CmdAboutComputer, &MainFrame::cmdSystem},
        {CmdAboutKestrum, &MainFrame::cmdSystem},
        {CmdExitWindows, &MainFrame::cmdSystem},
        {CmdDiskProperties, &MainFrame::cmdSystem},
        {CmdFormatDisk, &MainFrame::cmdSystem},
        {CmdDiskCopy, &MainFrame::cmdSystem},
        {CmdConnectNetwork, &MainFrame::cmdSystem},
        {CmdDisconnectNetwork, &MainFrame::cmdSystem},
        {CmdFileCompare, &MainFrame::cmdFileCompare},
        {CmdFileCompareSettings, &MainFrame::cmdSettingsDialog},
        {CmdDirAttributes, &MainFrame::cmdAttributes},
        {CmdFtpSites, &MainFrame::cmdFtp},
        {CmdFtpSettings, &MainFrame::cmdFtp},
        {CmdSwitchPanel, &MainFrame::cmdSwitchPanel},
        {CmdScreenSaver, &MainFrame::cmdScreenSaver},
        {CmdLeftDriveList, &MainFrame::cmdDriveList},
        {CmdRightDriveList, &MainFrame::cmdDriveList},
        {CmdParentDir, &MainFrame::cmdRootOrParent},
        {CmdLeftRoot, &MainFrame::cmdRootOrParent},
        {CmdRightRoot, &MainFrame::cmdRootOrParent},
        {CmdLeftParent, &MainFrame::cmdRootOrParent},
        {CmdRightParent, &MainFrame::cmdRootOrParent},
        {CmdLeftSelectAll, &MainFrame::cmdButtonsAllNone},
        {CmdLeftSelectNone, &MainFrame::cmdButtonsAllNone},
        {CmdRightSelectAll, &MainFrame::cmdButtonsAllNone},
        {CmdRightSelectNone, &MainFrame::cmdButtonsAllNone},
        {CmdFocusPrompt, &MainFrame::cmdFocusPrompt},
        {CmdRunPrompt, &MainFrame::cmdRunPrompt},
        {CmdSwallowKey, &MainFrame::cmdNothing},
        {CmdFunctionKey2, &MainFrame::cmdFunctionKey},
        {CmdFunctionKey3, &MainFrame::cmdFunctionKey},
        {CmdFunctionKey4, &MainFrame::cmdFunctionKey},
        {CmdFunctionKey5, &MainFrame::cmdFunctionKey},
        {CmdFunctionKey6, &MainFrame::cmdFunctionKey},
        {CmdFunctionKey7, &MainFrame::cmdFunctionKey},
        {CmdFunctionKey8, &MainFrame::cmdFunctionKey},
        {CmdFunctionKey9, &MainFrame::cmdFunctionKey},
        {CmdHelpIndex, &MainFrame::cmdHelp},
        {CmdHelpSearch, &MainFrame::cmdHelp},
        {CmdHelpScreenElements, &MainFrame::cmdHelp},
        {CmdHelpUsingHelp, &MainFrame::cmdHelp},
        {CmdAboutWindows, &MainFrame::cmdHelp},
        {CmdGeneralSettings, &MainFrame::cmdSettingsDialog},
        {CmdFunctionKeyDefinition, &MainFrame::cmdSettingsDialog},
        {CmdChooseFont, &MainFrame::cmdSettingsDialog},
        {CmdChooseColors, &MainFrame::cmdSettingsDialog},
        {CmdFileWindowSettings, &MainFrame::cmdSettingsDialog},
        {CmdConfirmations, &MainFrame::cmdSettingsDialog},
        {CmdSaveCurrentPaths, &MainFrame::cmdSavePaths},
        {CmdSaveSortOrder, &MainFrame::cmdSavePaths},
        {CmdExit, &MainFrame::cmdExit},
    };
    return table;
}

bool MainFrame::IsCommandEnabled(int command) { return commandTable().count(command) != 0; }

QAction* MainFrame::menuAction(int command) const {
    const auto it = menuActions_.find(command);
    return it == menuActions_.end() ? nullptr : it->second;
}

bool MainFrame::OnCommand(int command) {
    const auto it = commandTable().find(command);
    if (it == commandTable().end())
        return false;
    (this->*(it->second))(command);
    return true;
}

void MainFrame::cmdPostToActive(int command) {
    static const std::unordered_map<int, int> messages = {
        {CmdInvertSelection, PmInvertSelection}, {CmdChangeDir, PmChangeDirectory},
        {CmdCopy, PmCopy},         {CmdRenameMove, PmRenameMove},
        {CmdDeleteToBin, PmDelete}, {CmdDelete, PmDelete},
        {CmdEdit, PmEditFile},      {CmdEditNew, PmEditNewFile},
        {CmdAssociate, PmAssociate}, {CmdMakeDir, PmMakeDirectory},
        {CmdCalcSpace, PmDiskSpace}, {CmdView, PmViewFile},
        {CmdSearch, PmFileSearch}, {CmdOpenArchive, PmOpenArchive},
        {CmdPrint, PmPrintFiles}, {CmdPrintDirectory, PmPrintListing}, {CmdPrintTree, PmPrintTree},
    };
    if (command == CmdDeleteToBin || command == CmdDelete)
        App().recycleSwitch = command == CmdDeleteToBin;
    // Sent, not posted, so the help context covers a dialog the panel opens.
    HelpContextScope help(command);
    SendPanelMessage(activePanel(), messages.at(command));
    activePanel()->setFocus();
}

void MainFrame::cmdSortOrExtend(int command) {
    const int msg = command <= CmdSortByDate ? PmSortName + (command - CmdSortByName) / 10
                                             : PmExtendDown + (command - CmdExtendSelectionDown) / 10;
    PostPanelMessage(activePanel(), msg);
}

void MainFrame::cmdSelectAllNone(int command) {
    FilePanel* p = activePanel();
    p->listing().SelectAll(command == CmdSelectAll);
    p->panelModel()->allRowsChanged();
    rewriteSummary(leftActive_ ? 0 : 1);
}

void MainFrame::cmdMark(int command) {
    const bool select = command == CmdSelectFiles;
    std::optional<std::string> mask;
    {
        HelpContextScope help(command);
        mask = MaskDialog::Ask(select, this);
    }
    if (!mask)
        return;
    FilePanel* p = activePanel();
    PanelListing& li = p->listing();
    if (li.isFtp()) {
        if (*mask != "*.*") {
            ShowWarning(4480);
            return;
        }
        li.SelectAll(false);
        if (select) {
            for (FileEntry& e : li.entries)
                e.selected = e.kind == KindFile;
        }
        li.UpdateSummary();
    } else {
        li.SelectByMask(*mask, select);
    }
    p->panelModel()->allRowsChanged();
    rewriteSummary(leftActive_ ? 0 : 1);
}

void MainFrame::cmdFilter(int command) {
    if (activePanel()->listing().isFtp()) {
        ShowWarning(4480);
        return;
    }
    HelpContextScope help(command);
    FilterDialog dlg(this);
    if (dlg.exec() == QDialog::Accepted)
        PostPanelMessage(this, PmRefreshBoth, activePanel()->controlId());
}

void MainFrame::cmdRefresh(int) {
    activePanel()->listing().keepSelection = false;
    PostPanelMessage(this, PmRefreshBoth, activePanel()->controlId());
}

namespace {

// What connecting to a site tells the user and asks of the two panels.
class MainFrameFtpUi : public FtpConnectUi {
public:
    explicit MainFrameFtpUi(MainFrame& f) : f_(f) {}
    void Warning(int stringId) override { ShowWarning(stringId); }
    void Error(std::string_view text) override { ShowMessage(text, MbOk | MbIconStop); }
    bool PanelShowsFtp() override { return f_.panel(0)->listing().isFtp() || f_.panel(1)->listing().isFtp(); }
    bool AcceptCertificate(const FtpCertificate& cert, const std::string& previous) override {
        return AskAcceptCertificate(cert, previous, &f_);
    }
    void RereadPanels(bool both) override {
        for (int side = 0; side < 2; ++side) {
            if (both || f_.panel(side) == f_.activePanel())
                PostPanelMessage(&f_, PmRefreshOne, f_.panel(side)->controlId());
        }
    }

private:
    MainFrame& f_;
};

} // namespace

void MainFrame::cmdFtp(int command) {
    // Where a relative log file name goes: a local directory, the active
    // panel's or else the other one's; a remote path is no place for it.
    const auto currentDir = [this] {
        for (const FilePanel* p : {activePanel(), otherPanel()}) {
            if (!p->listing().isFtp())
                return p->listing().path;
        }
        const char* home = std::getenv("HOME");
        return std::string(home && *home ? home : "/tmp");
    };
    if (command == CmdFtpSettings) {
        FtpSettingsDialog::Ask(this, currentDir);
        return;
    }
    MainFrameFtpUi ui(*this);
    FtpSitesDialog::Ask(this, ui, currentDir);
}

void MainFrame::cmdFileCompare(int) { FileCompareCommand(panel(0)->listing(), panel(1)->listing(), this); }

void MainFrame::cmdSystem(int command) {
    switch (command) {
    case CmdAboutComputer: ThisComputerDialog(this).exec(); break;
    case CmdAboutKestrum: AboutDialog(this).exec(); break;
    case CmdExitWindows: {
        HelpContextScope help(5110);
        ExitWindowsDialog(this).exec();
        break;
    }
    case CmdConnectNetwork: {
        std::string directory;
        if (!ConnectNetworkDrive(this, directory))
            break;
        driveBar(0)->RefreshDrive();
        driveBar(1)->RefreshDrive();
        if (!directory.empty()) {
            // An FTP panel leaves its site for the local directory.
            if (activePanel()->listing().isFtp())
                activePanel()->listing().drive.clear();
            changeActiveDirectory(directory);
        }
        break;
    }
    case CmdDisconnectNetwork: {
        std::string directory;
        if (!DisconnectNetworkDrive(this, directory))
            break;
        // A panel on the drive goes home, not to the empty place the drive left.
        const char* home = std::getenv("HOME");
        for (int side = 0; side < 2; ++side) {
            PanelListing& li = panel(side)->listing();
            if (li.isFtp() || !(li.path == directory || li.path.starts_with(directory + "/")))
                continue;
            li.ClearCursorMemory();
            li.keepSelection = false;
            refreshSide(side, home && *home ? home : "/");
        }
        driveBar(0)->RefreshDrive();
        driveBar(1)->RefreshDrive();
        break;
    }
    default: DiskCommand(command, this); break;
    }
}

void MainFrame::cmdZip(int command) {
    SendPanelMessage(activePanel(), PmZip, command == CmdZipSelfExtracting ? 1 : 0);
}

void MainFrame::cmdAttributes(int command) { AttributesCommand(*activePanel(), command == CmdDirAttributes); }

void MainFrame::cmdDirCompare(int) {
    HelpContextScope help(CmdDirCompare);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    SettingsStore& s = Settings();
    const bool hidden = s.GetInt("Algemeen", "Hidden", 0) == 1, system = s.GetInt("Algemeen", "System", 0) == 1;
    auto filesOf = [&](const PanelListing& li) {
        if (!li.isFtp())
            return ReadCompareFiles(li.path, hidden, system);
        std::vector<CompareFile> files;
        for (const FileEntry& e : li.entries) {
            if (e.kind == KindFile)
                files.push_back({e.name, e.lastWrite});
        }
        return files;
    };
    const DirectoryDifference diff = CompareDirectoryFiles(filesOf(panel(0)->listing()), filesOf(panel(1)->listing()));
    for (int side = 0; side < 2; ++side) {
        PanelListing& li = panel(side)->listing();
        li.SelectAll(false);
        li.SelectFilesByName(side == 0 ? diff.left : diff.right);
        panel(side)->panelModel()->allRowsChanged();
        rewriteSummary(side);
    }
    QApplication::restoreOverrideCursor();
}

void MainFrame::cmdSwap(int) {
    PanelListing& a = panel(0)->listing();
    PanelListing& b = panel(1)->listing();
    std::swap(a.drive, b.drive);
    std::swap(a.path, b.path);
    std::swap(a.sortFlags, b.sortFlags);
    std::swap(a.sortColumn, b.sortColumn);
    std::swap(a.sortDescending, b.sortDescending);
    std::swap(a.cursorMemory, b.cursorMemory);
    std::swap(a.depth, b.depth);
    a.keepSelection = b.keepSelection = false;
    const std::string leftDrive = driveBar(0)->drive();
    driveBar(0)->setDrive(driveBar(1)->drive());
    driveBar(1)->setDrive(leftDrive);
    leftActive_ = !leftActive_;
    onRefreshBoth(PanelMessageEvent(PmRefreshBoth, 0, 0));
    panel(0)->updateSortIndicator();
    panel(1)->updateSortIndicator();
}

void MainFrame::cmdSwitchPanel(int) { SwitchActivePanel(); }

void MainFrame::cmdScreenSaver(int) {
    // Esc first stops a directory read that takes too long: the active
    // panel's, else the other one's.
    for (FilePanel* p : {activePanel(), otherPanel()}) {
        if (p->reading()) {
            p->AbandonRead();
            return;
        }
    }
    if (Settings().GetInt("Algemeen", "EscActiveert", 0) == 1)
        QProcess::startDetached(QStringLiteral("xdg-screensaver"), {QStringLiteral("activate")});
}

void MainFrame::cmdDriveList(int command) {
    DriveBar* bar = driveBar(command == CmdLeftDriveList ? 0 : 1);
    bar->setFocus();
    bar->showPopup();
}

void MainFrame::goRootOrParent(int side, bool root) {
    FilePanel* p = panel(side);
    PanelListing& li = p->listing();
    if (li.isFtp()) {
        p->ChangeRemoteDirectory(static_cast<int>(root ? RemotePanelSource::Move::Root : RemotePanelSource::Move::Parent), {});
        return;
    }
    const std::string target = root ? (li.drive.empty() ? "/" : li.drive) : ParentPath(li.path);
    li.keepSelection = false;
    if (p->ChangeDirectory(target))
        PostPanelMessage(this, PmDirectoryChanged, p->controlId());
}

void MainFrame::cmdRootOrParent(int command) {
    switch (command) {
    case CmdLeftRoot: goRootOrParent(0, true); break;
    case CmdRightRoot: goRootOrParent(1, true); break;
    case CmdLeftParent: goRootOrParent(0, false); break;
    case CmdRightParent: goRootOrParent(1, false); break;
    default: goRootOrParent(leftActive_ ? 0 : 1, false); break;
    }
}

void MainFrame::cmdButtonsAllNone(int command) {
    const int side = command == CmdLeftSelectAll || command == CmdLeftSelectNone ? 0 : 1;
    FilePanel* p = panel(side);
    p->listing().SelectAll(command == CmdLeftSelectAll || command == CmdRightSelectAll);
    p->panelModel()->allRowsChanged();
    PostPanelMessage(this, PmPanelFocused, p->controlId());
}

void MainFrame::cmdFocusPrompt(int) {
    QWidget* edit = prompt_->edit();
    if (edit->isVisible() && !edit->hasFocus() && !edit->isAncestorOf(QApplication::focusWidget()))
        edit->setFocus(Qt::ShortcutFocusReason);
    else
        activePanel()->setFocus(Qt::ShortcutFocusReason);
}

void MainFrame::cmdRunPrompt(int) { prompt_->Run(); }

void MainFrame::cmdNothing(int) {}

void MainFrame::cmdFunctionKey(int command) {
    const auto assignment = ReadFunctionKeyAssignment(Settings());
    const int key = command - CmdFunctionKey2;
    const int target = FunctionKeyActionAt(assignment[static_cast<size_t>(key)]).command;
    if (!OnCommand(target))
        QApplication::beep(); // the assigned command is not available
}

void MainFrame::cmdHelp(int command) {
    HelpWindow* help = HelpWindow::Instance();
    switch (command) {
    case CmdHelpIndex:
        if (App().helpContext == 0 || !help->ShowContext(App().helpContext))
            help->ShowContents();
        break;
    case CmdHelpSearch: help->ShowSearch(QString()); break;
    case CmdHelpScreenElements: help->ShowContext(CmdHelpScreenElements); break;
    case CmdHelpUsingHelp: help->ShowContext(CmdHelpUsingHelp); break;
    default: {
        QString os = QSysInfo::prettyProductName();
        QMessageBox::about(this, QStringLiteral("About ") + os,
                           os + QStringLiteral("\nKernel ") + QSysInfo::kernelVersion());
        break;
    }
    }
}

void MainFrame::cmdSettingsDialog(int command) {
    HelpContextScope help(command);
    SettingsStore& s = Settings();
    switch (command) {
    case CmdGeneralSettings: {
        GeneralSettingsDialog dlg(this);
        if (dlg.exec() == QDialog::Accepted) {
            const std::string t = dlg.title(); // as entered, even when empty
            baseTitle_ = QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
            restartClock();
            applyVisibility();
            trayIcons_->Apply();
            doLayout();
        }
        break;
    }
    case CmdFunctionKeyDefinition: {
        FunctionKeyDialog dlg(this);
        if (dlg.exec() == QDialog::Accepted)
            functionKeys_->Relabel();
        break;
    }
    case CmdChooseFont:
        if (ChoosePanelFont(this, s))
            applyPanelFont();
        break;
    case CmdChooseColors:
        if (ColorsDialog::Ask(this, panel(0)->font())) {
            panel(0)->ApplyColors();
            panel(1)->ApplyColors();
            PostPanelMessage(this, PmRefreshBoth, activePanel()->controlId());
        }
        break;
    case CmdFileCompareSettings: FileCompareSettingsDialog::Ask(this); break;
    case CmdPrintSettings: PrintSettingsDialog::Ask(this); break;
    case CmdPrinterSetup: PrinterSetupDialog::Ask(this); break;
    case CmdFileWindowSettings:
        if (PanelSettingsDialog::Ask(this)) {
            PostPanelMessage(this, PmRefreshBoth, activePanel()->controlId());
            applyTitle(s.GetString("Algemeen", "Titel", ""));
            restartClock();
        }
        break;
    case CmdConfirmations: {
        ConfirmationsDialog dlg(this);
        dlg.exec();
        break;
    }
    default: break;
    }
}

void MainFrame::cmdSavePaths(int command) {
    if (command == CmdSaveCurrentPaths)
        SaveCurrentPaths();
    else
        SaveSortOrder();
}

void MainFrame::cmdExit(int) { close(); }

void MainFrame::applyPanelFont() {
    int rowHeight = 0;
    const QFont font = PanelFontFromSettings(Settings(), logicalDpiY(), &rowHeight);
    panel(0)->ApplyFont(font, rowHeight);
    panel(1)->ApplyFont(font, rowHeight);
}

void MainFrame::applyVisibility() {
    SettingsStore& s = Settings();
    functionKeys_->setVisible(s.GetInt("Algemeen", "FunctionKeys", 1) != 0);
    appButtons_->setVisible(s.GetInt("Algemeen", "ApplButtons", 1) != 0, s.GetInt("Algemeen", "SecondRow", 0) != 0);
    prompt_->setVisible(s.GetInt("Algemeen", "CmdPrompt", 1) != 0);
}

void MainFrame::applyTitle(const std::string& title) {
    baseTitle_ = title.empty() ? QStringLiteral("Kestrum")
                               : QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size()));
    setWindowTitle(baseTitle_);
}

} // namespace km
