#include "mainwindow/MainFrame.h"

#include "archive/zip/ui/ZipCommand.h"
#include "fileops/attributes/ui/AttributeCommands.h"
#include "fileops/printing/ui/PrintCommands.h"
#include "fileops/ui/FileOperations.h"
#include "ftp/FtpConnection.h"
#include "ftp/ui/FtpFileCommands.h"
#include "ftp/ui/FtpPanelSource.h"
#include "ftp/ui/TcpUiHooks.h"
#include "panels/RemotePanelSource.h"
#include "mainwindow/AppButtonBar.h"
#include "mainwindow/CommandPrompt.h"
#include "mainwindow/TrayIcons.h"
#include "mainwindow/FunctionKeyBar.h"
#include "fileops/open_execute/ui/OpenExecuteCommands.h"
#include "mainwindow/OpenCommands.h"
#include "viewers/TextEditorWindow.h"
#include "mainwindow/MainMenu.h"
#include "panels/PanelFontChooser.h"
#include "panels/DriveBar.h"
#include "panels/FilePanel.h"
#include "panels/PanelDelegate.h"
#include "panels/PanelModel.h"
#include "platform/DirectoryReader.h"
#include "panels/CellText.h"
#include "platform/PathUtil.h"
#include "platform/Volumes.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "settings/SettingsStore.h"
#include "ui_services/AppState.h"
#include "ui_services/MessageBoxes.h"
#include "ui_services/StatusLine.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QGuiApplication>
#include <QScreen>
#include <QSessionManager>
#include <QTimer>
#include <QWindow>

#include <ctime>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <sys/stat.h>

namespace km {
namespace {

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// Each volume keeps the directory last shown on it.
std::map<std::string, std::string>& driveDirectories() {
    static std::map<std::string, std::string> dirs;
    return dirs;
}

} // namespace

const PanelMessageTable<MainFrame> MainFrame::messageTable_ = {
    {PmRefreshBoth, &MainFrame::onRefreshBoth},
    {PmDirectoryChanged, &MainFrame::onDirectoryChanged},
    {PmDriveChanged, &MainFrame::onDriveChanged},
    {PmRefreshOne, &MainFrame::onRefreshOne},
    {PmPanelFocused, &MainFrame::onPanelFocused},
    {PmActiveSelectedFile, &MainFrame::onSelectedFileQuery},
    {PmOtherSelectedFile, &MainFrame::onSelectedFileQuery},
    {PmActivePath, &MainFrame::onPathQuery},
    {PmOtherPath, &MainFrame::onPathQuery},
    {PmLeftChangedOnDisk, &MainFrame::onChangedOnDisk},
    {PmRightChangedOnDisk, &MainFrame::onChangedOnDisk},
    {PmEnterFocused, &MainFrame::onEnterFocused},
    {PmDeleteToBin, &MainFrame::onDeleteToBin},
    {PmStopIcon, &MainFrame::onTrayIcon},
    {PmDesktopMenuIcon, &MainFrame::onTrayIcon},
    {PmControlPanelIcon, &MainFrame::onTrayIcon},
};

MainFrame::MainFrame(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("KMClass"));
    SettingsStore& s = Settings();
    App().nameCase = s.GetInt("Algemeen", "Bestandsnamen", kDefaultNameCase);
    App().colors.load(s);

    showCmd_ = s.GetInt("WinPositie", "wp.showCmd", 5);
    const int l = s.GetInt("WinPositie", "wp.left", 0), t = s.GetInt("WinPositie", "wp.top", 0);
    const int r = s.GetInt("WinPositie", "wp.right", 640), b = s.GetInt("WinPositie", "wp.bottom", 466);
    normalRect_ = QRect(QPoint(l, t), QPoint(r - 1, b - 1));
    if (normalRect_.width() < 1 || normalRect_.height() < 1)
        normalRect_ = QRect(0, 0, 640, 466);
    normalRect_ = KeepTitleBarOnScreen(normalRect_);

    const std::string title = s.GetString("Algemeen", "Titel", "");
    baseTitle_ = title.empty() ? QStringLiteral("Kestrum") : qs(title);
    setWindowTitle(baseTitle_);
    resize(normalRect_.size());
    move(normalRect_.topLeft());

    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("client"));
    client_->installEventFilter(this);
    setCentralWidget(client_);
    SetMessageOwner(this);

    createSide(0);
    createSide(1);

    const auto onCommand = [this](int id) { OnCommand(id); };
    for (QAction* a : BuildMainMenu(menuBar(), onCommand)) {
        const int id = a->objectName().mid(3).toInt();
        a->setEnabled(IsCommandEnabled(id));
        menuActions_[id] = a;
    }
    InstallAccelerators(this, onCommand);
    appButtons_ = new AppButtonBar(client_, [this] { return placeholderSources(); },
                                   [this](const std::string& path) { changeActiveDirectory(path); });
    functionKeys_ = new FunctionKeyBar(client_, onCommand, [this] { OnCommand(CmdFunctionKeyDefinition); });

    prompt_ = new CommandPrompt(client_, [this] { return activePanel()->listing().path; },
                                [this] { return localWorkingDirectory(); });
    applyPanelFont();
    for (int side = 0; side < 2; ++side) {
        FilePanel* p = panel(side);
        const char* keys[2][3] = {{"ColL", "ColL1", "ColL2"}, {"ColR", "ColR1", "ColR2"}};
        p->SetColumnWidths(s.GetInt("WinPositie", keys[side][0], 90), s.GetInt("WinPositie", keys[side][1], 64),
                           s.GetInt("WinPositie", keys[side][2], 118));
        PanelListing& li = p->listing();
        // An empty directory stands for the one the program was started in.
        const std::string stored = s.GetString("Paden", side == 0 ? "Links" : "Rechts", "/");
        li.path = NearestExistingDirectory(stored.empty() ? StartDirectory() : stored);
        li.sortFlags = s.GetInt("Paden", side == 0 ? "LSort" : "RSort", 128);
        if ((li.sortFlags & SortKeyMask) == 0)
            li.sortFlags = SortByName;
        syncDrive(side);
        driveBar(side)->RefreshDrive();
        // Reads and sorts once, and puts the header arrow where the flags say.
        SendPanelMessage(p, PmSortColumn, SortColumnOfFlags(li.sortFlags), 1);
        p->Refresh();
        rewritePathLine(side);
        rewriteSummary(side);
    }
    applyVisibility();
    restartClock();
    trayIcons_ = new TrayIcons(this);
    qApp->installEventFilter(this);
    static FtpPanelSource ftpSource;
    SetRemotePanelSource(&ftpSource);
    InstallTcpUiHooks();
    SetInternalEditor([](const std::string& path, QWidget*, bool isNew) {
        TextEditorWindow::Open(path, false, isNew);
    });
    FilePanel::SetExternalHandler([this](FilePanel& p, const PanelMessageEvent& m) {
        FilePanel& other = &p == panel(0) ? *panel(1) : *panel(0);
        return HandleFtpOperation(p, other, m, this) || HandleFileOperation(p, other, m, this) ||
               HandleZipCommand(p, other, m, this) ||
               HandleOpenCommand(p, m, this) || HandleAttributeCommand(p, m, this) ||
               HandlePrintCommand(p, m, this);
    });
    setActive(s.GetInt("WinPositie", "LeftActive", 1) != 0);
}

MainFrame::~MainFrame() {
    // The watcher threads post to this window: end them first.
    watchers_[0].Stop();
    watchers_[1].Stop();
    FilePanel::SetExternalHandler(nullptr);
    SetMessageOwner(nullptr);
}

void MainFrame::createSide(int side) {
    Side& sd = sides_[static_cast<size_t>(side)];
    const int id = side == 0 ? FilePanel::kLeftId : FilePanel::kRightId;
    const QString prefix = side == 0 ? QStringLiteral("left") : QStringLiteral("right");
    sd.driveBar = new DriveBar(id, client_);
    sd.driveBar->setMessageTarget(this);
    auto makeLine = [&](const char* name, StatusLine::Shorten how) {
        auto* l = new StatusLine(how, client_);
        l->setObjectName(prefix + QLatin1String(name));
        return l;
    };
    sd.infoLine = makeLine("InfoLine", StatusLine::Shorten::AtEnd);
    sd.pathLine = makeLine("PathLine", StatusLine::Shorten::Path);
    sd.summary = makeLine("SummaryLine", StatusLine::Shorten::AtEnd);
    sd.panel = new FilePanel(id, client_);
    sd.panel->setMessageTarget(this);
    connect(sd.panel, &FilePanel::summaryChanged, this, [this, side] { rewriteSummary(side); });
    connect(sd.panel, &FilePanel::directoryShown, this, [this, side] {
        syncDrive(side);
        rewritePathLine(side);
        driveBar(side)->RefreshDrive();
    });
    connect(sd.panel, &FilePanel::fileActivated, this,
            [this, side](const QByteArray& path) { OpenPanelFile(*panel(side), path.toStdString(), this); });
    connect(sd.driveBar, &DriveBar::infoChanged, this,
            [this, side] {
                infoLine(side)->setTexts(qs(driveBar(side)->infoText()), qs(driveBar(side)->shortInfoText()));
            });

    const QString texts[4] = {qs(LoadString(4240)), qs(LoadString(4245)), QStringLiteral("CD \\"),
                              QStringLiteral("CD ..")};
    const QString tips[4] = {qs(LoadString(4020)), qs(LoadString(4025)), qs(LoadString(4030)),
                             qs(LoadString(4040))};
    static const char* names[4] = {"All", "None", "Root", "Up"};
    for (int k = 0; k < 4; ++k) {
        auto* b = new QPushButton(texts[k], client_);
        b->setObjectName(prefix + QLatin1String(names[k]));
        b->setToolTip(tips[k]);
        b->setFocusPolicy(Qt::NoFocus);
        sd.buttons[static_cast<size_t>(k)] = b;
        static const int commands[2][4] = {{CmdLeftSelectAll, CmdLeftSelectNone, CmdLeftRoot, CmdLeftParent},
                                           {CmdRightSelectAll, CmdRightSelectNone, CmdRightRoot, CmdRightParent}};
        const int id = commands[side][k];
        connect(b, &QPushButton::clicked, this, [this, id] {
            OnCommand(id);
            activePanel()->setFocus(); // the keys go on acting on the list
        });
    }
}

int MainFrame::sideOf(qintptr controlId) const {
    if (controlId == FilePanel::kLeftId)
        return 0;
    if (controlId == FilePanel::kRightId)
        return 1;
    return leftActive_ ? 0 : 1;
}

void MainFrame::syncDrive(int side) {
    PanelListing& li = panel(side)->listing();
    if (li.isFtp())
        return;
    li.drive = MountPointForPath(ReadVolumes(), li.path);
    driveBar(side)->setDrive(li.drive);
    driveDirectories()[li.drive] = li.path;
    restartWatcher(side);
}

void MainFrame::restartWatcher(int side) {
    const PanelListing& li = panel(side)->listing();
    const size_t i = static_cast<size_t>(side);
    if (li.isFtp()) {
        watchers_[i].Stop();
        watchedPaths_[i].clear();
        return;
    }
    if (watchers_[i].running() && watchedPaths_[i] == li.path) {
        // Every re-read gives a watch lost with its directory another try.
        watchers_[i].Rearm();
        return;
    }
    watchedPaths_[i] = li.path;
    const int msg = side == 0 ? PmLeftChangedOnDisk : PmRightChangedOnDisk;
    watchers_[i].Start(li.path, [this, msg] { PostPanelMessage(this, msg); }, &App().busyFlag);
}

void MainFrame::restartClock() {
    if (!clock_) {
        clock_ = new QTimer(this);
        clock_->setInterval(1000);
        connect(clock_, &QTimer::timeout, this, &MainFrame::tickClock);
    }
    clock_->stop();
    setWindowTitle(baseTitle_);
    if (Settings().GetInt("Algemeen", "DatumInTitel", 1) != 0)
        clock_->start();
}

void MainFrame::tickClock() {
    // The date and time go into our own title only; other programs' captions are theirs.
    char buf[128];
    const time_t now = time(nullptr);
    struct tm lt;
    localtime_r(&now, &lt);
    if (strftime(buf, sizeof buf, "%c", &lt) == 0)
        return;
    setWindowTitle(baseTitle_ + QStringLiteral("    ") + QString::fromLocal8Bit(buf));
}

void MainFrame::rewritePathLine(int side) {
    const PanelListing& li = panel(side)->listing();
    // Names here are case-sensitive, so the path is shown as it is.
    std::string text = li.path;
    if (text.empty() || text.back() != '/')
        text += '/';
    text += App().filterMask;
    pathLine(side)->setText(qs(PadLine(std::move(text))));
}

void MainFrame::rewriteSummary(int side) { summaryLine(side)->setText(qs(panel(side)->listing().summaryText)); }

void MainFrame::updateDriveInfo() {
    driveBar(0)->UpdateInfo();
    driveBar(1)->UpdateInfo();
}

void MainFrame::refreshSide(int side, std::string to) {
    FilePanel* p = panel(side);
    PanelListing& li = p->listing();
    if (li.isFtp() && (!RemoteSource() || RemoteSource()->SiteName().empty())) {
        // The connection is gone: back to the directory shown before it, with
        // no rows until its own come, since the remote ones mean nothing here.
        li.drive.clear();
        li.ShowFirstRows({}, localPaths_[static_cast<size_t>(side)].empty() ? "/" : localPaths_[static_cast<size_t>(side)]);
        li.ClearCursorMemory();
        li.keepSelection = false;
        driveBar(side)->setDrive({});
    }
    if (to.empty())
        to = li.path;
    const std::string nearest = li.isFtp() ? to : NearestExistingDirectory(to);
    if (nearest != to) {
        // Removed or unmounted meanwhile: say why, then show what still exists.
        struct stat st;
        const int err = stat(to.c_str(), &st) != 0 ? errno : ENOTDIR;
        li.keepSelection = false;
        ShowMessage(ErrorText(err), MbOk | MbIconStop);
    }
    syncDrive(side);
    driveBar(side)->RefreshDrive();
    if (li.isFtp() || nearest == li.path)
        p->Refresh();
    else
        p->ChangeDirectory(nearest);
    rewritePathLine(side);
    rewriteSummary(side);
}

void MainFrame::setActive(bool left) {
    leftActive_ = left;
    activePanel()->setFocus(Qt::OtherFocusReason);
    paintFrames();
}

void MainFrame::SwitchActivePanel() {
    setActive(!leftActive_);
    // An FTP panel shows what the server has now, not what it had.
    if (activePanel()->listing().isFtp())
        refreshSide(leftActive_ ? 0 : 1);
}

void MainFrame::paintFrames() {
    client_->update();
    panel(0)->setActivePanel(leftActive_);
    panel(1)->setActivePanel(!leftActive_);
    if (prompt_)
        prompt_->UpdatePrompt();
}

PlaceholderSources MainFrame::placeholderSources() {
    PlaceholderSources s;
    SendPanelMessage(this, PmActiveSelectedFile, 0, reinterpret_cast<qintptr>(&s.active.file));
    SendPanelMessage(this, PmOtherSelectedFile, 0, reinterpret_cast<qintptr>(&s.other.file));
    SendPanelMessage(this, PmActivePath, 0, reinterpret_cast<qintptr>(&s.active.dir));
    SendPanelMessage(this, PmOtherPath, 0, reinterpret_cast<qintptr>(&s.other.dir));
    const std::vector<Volume> volumes = ReadVolumes();
    s.active.drive = MountPointForPath(volumes, s.active.dir);
    s.other.drive = MountPointForPath(volumes, s.other.dir);
    s.workingDir = localWorkingDirectory();
    return s;
}

std::string MainFrame::localWorkingDirectory() {
    // A remote path is no place to start a program in: an FTP panel's last
    // local directory, else the other panel's.
    for (const int side : {leftActive_ ? 0 : 1, leftActive_ ? 1 : 0}) {
        const PanelListing& li = panel(side)->listing();
        if (!li.isFtp())
            return li.path;
        if (!localPaths_[static_cast<size_t>(side)].empty())
            return localPaths_[static_cast<size_t>(side)];
    }
    const char* home = std::getenv("HOME");
    return home && *home == '/' ? home : "/";
}

void MainFrame::changeActiveDirectory(const std::string& path) {
    FilePanel* p = activePanel();
    p->listing().ClearCursorMemory();
    if (p->ChangeDirectory(path))
        PostPanelMessage(this, PmDirectoryChanged, p->controlId());
}

bool MainFrame::eventFilter(QObject* watched, QEvent* e) {
    // F1 inside a modal dialog opens the help for that dialog.
    if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_F1 &&
        QApplication::activeModalWidget() && watched->isWidgetType()) {
        OnCommand(CmdHelpIndex);
        return true;
    }
    if (watched == client_ && e->type() == QEvent::Paint) {
        QPainter p(client_);
        const QColor face = palette().color(QPalette::Button);
        const QColor active = ColorFromRef(App().colors.ref[ColFRect]);
        for (int side = 0; side < 2; ++side) {
            const QRect r = layout_.panel[side].frame;
            const QColor c = (side == 0) == leftActive_ ? active : face;
            p.fillRect(QRect(r.left(), r.top(), r.width(), 3), c);
            p.fillRect(QRect(r.left(), r.bottom() - 2, r.width(), 3), c);
            p.fillRect(QRect(r.left(), r.top(), 3, r.height()), c);
            p.fillRect(QRect(r.right() - 2, r.top(), 3, r.height()), c);
        }
        return true;
    }
    return QMainWindow::eventFilter(watched, e);
}

bool MainFrame::event(QEvent* e) {
    if (messageTable_.dispatch(this, e))
        return true;
    return QMainWindow::event(e);
}

void MainFrame::doLayout() {
    // The layout's sizes are those of a window whose frame, caption and menu
    // take 8 pixels across and 46 down; the real frame and menu bar vary by
    // desktop (and are none offscreen), so the client area stands for them and
    // every extra pixel goes to the lists.
    const int W = client_->width() + 8, H = client_->height() + 46;
    SettingsStore& s = Settings();
    LayoutOptions o;
    o.appButtons = s.GetInt("Algemeen", "ApplButtons", 1) != 0;
    o.secondRow = s.GetInt("Algemeen", "SecondRow", 0) != 0;
    o.commandPrompt = s.GetInt("Algemeen", "CmdPrompt", 1) != 0;
    o.functionKeys = s.GetInt("Algemeen", "FunctionKeys", 1) != 0;
    layout_ = ComputeMainLayout(W, H, o);
    for (int side = 0; side < 2; ++side) {
        const PanelGeometry& g = layout_.panel[side];
        Side& sd = sides_[static_cast<size_t>(side)];
        sd.driveBar->setGeometry(g.driveBar);
        sd.infoLine->setGeometry(g.infoLine);
        sd.pathLine->setGeometry(g.pathLine);
        sd.panel->setGeometry(g.list);
        sd.summary->setGeometry(g.summary);
        for (int k = 0; k < 4; ++k)
            sd.buttons[static_cast<size_t>(k)]->setGeometry(g.smallButtons[k]);
    }
    for (int k = 0; k < 10; ++k)
        functionKeys_->button(k)->setGeometry(layout_.functionKeys[k]);
    for (int n = 1; n <= kAppButtonCount; ++n)
        appButtons_->button(n)->setGeometry(layout_.appButtons[n - 1]);
    prompt_->promptLabel()->setGeometry(layout_.promptText);
    prompt_->edit()->setGeometry(layout_.promptEdit);
    prompt_->runButton()->setGeometry(layout_.runButton);
    paintFrames();
}

void MainFrame::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    const QRect outer = frameGeometry();
    if (!isMaximized() && !isMinimized() && (outer.width() < 640 || outer.height() < 400)) {
        const int dw = outer.width() - width(), dh = outer.height() - height();
        resize(std::max(640, outer.width()) - dw, std::max(400, outer.height()) - dh);
        return; // the resulting resize lays out
    }
    doLayout();
}

void MainFrame::showWithPlacement() {
    switch (showCmd_) {
    case 3: showMaximized(); break; // SW_SHOWMAXIMIZED
    case 2:
    case 6:
    case 7: showMinimized(); break;
    default: show(); break;
    }
}

void MainFrame::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (placementApplied_)
        return;
    doLayout();
    // The stored rectangle includes the frame, which a window manager adds
    // some time after the window is shown: take it now if it is known, else
    // wait for it (a bare X server has none), then make the outer rectangle
    // the stored one.
    const auto apply = [this](const QMargins& m) {
        placementApplied_ = true;
        if (isMaximized() || isMinimized() || m.isNull())
            return;
        normalFrame_ = m;
        setGeometry(normalRect_.marginsRemoved(m));
    };
    if (!frameMarginsNow().isNull()) {
        apply(frameMarginsNow());
        return;
    }
    auto* wait = new QTimer(this);
    wait->setInterval(20);
    auto tries = std::make_shared<int>(0);
    connect(wait, &QTimer::timeout, this, [this, wait, tries, apply] {
        const QMargins m = frameMarginsNow();
        if (m.isNull() && ++*tries < 50)
            return;
        wait->deleteLater();
        apply(m);
    });
    wait->start();
}

QMargins MainFrame::frameMarginsNow() const {
    const QRect outer = frameGeometry(), inner = geometry();
    return QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                    outer.bottom() - inner.bottom());
}

void MainFrame::moveEvent(QMoveEvent* e) {
    QMainWindow::moveEvent(e);
    // The frame of the normal window, for saving while maximized (a maximized
    // window's frame is often thinner).
    if (placementApplied_ && windowState() == Qt::WindowNoState && !frameMarginsNow().isNull())
        normalFrame_ = frameMarginsNow();
}

void MainFrame::bringToFront() {
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

QRect KeepTitleBarOnScreen(const QRect& outer) {
    QScreen* screen = QGuiApplication::screenAt(outer.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return outer;
    const QRect area = screen->availableGeometry();
    // Enough of the top edge stays on the screen to take hold of; the rest
    // may hang over, as the user may have put it.
    constexpr int kGrip = 100;
    QRect r = outer;
    r.moveTop(std::clamp(r.top(), area.top(), std::max(area.top(), area.bottom() - kGrip)));
    r.moveLeft(std::clamp(r.left(), area.left() - r.width() + kGrip, std::max(area.left(), area.right() - kGrip)));
    return r;
}

void MainFrame::savePlacement() {
    SettingsStore& s = Settings();
    SettingsStore::Batch batch(s);
    int cmd = 1; // SW_SHOWNORMAL
    if (isMaximized())
        cmd = 3;
    else if (isMinimized())
        cmd = 2;
    // normalGeometry() is the inner rectangle while maximized or minimized;
    // the frame it gets back is the normal window's.
    QRect outer = frameGeometry();
    if (isMaximized() || isMinimized())
        outer = normalGeometry().marginsAdded(normalFrame_.isNull() ? frameMarginsNow() : normalFrame_);
    else if (!placementApplied_)
        outer = normalRect_; // closed before the frame came: what was stored stays
    s.PutInt("WinPositie", "wp.showCmd", cmd);
    s.PutInt("WinPositie", "wp.ptMinPosition.x", 0);
    s.PutInt("WinPositie", "wp.ptMinPosition.y", 0);
    s.PutInt("WinPositie", "wp.ptMaxPosition.x", 0);
    s.PutInt("WinPositie", "wp.ptMaxPosition.y", 0);
    s.PutInt("WinPositie", "wp.left", outer.left());
    s.PutInt("WinPositie", "wp.right", outer.right() + 1);
    s.PutInt("WinPositie", "wp.top", outer.top());
    s.PutInt("WinPositie", "wp.bottom", outer.bottom() + 1);
}

void MainFrame::saveWindowState() {
    SettingsStore& s = Settings();
    SettingsStore::Batch batch(s);
    savePlacement();
    s.PutInt("GevondenBestanden", "Aantal", 0);
    const char* keys[2][3] = {{"ColL", "ColL1", "ColL2"}, {"ColR", "ColR1", "ColR2"}};
    for (int side = 0; side < 2; ++side) {
        for (int c = 0; c < 3; ++c)
            s.PutInt("WinPositie", keys[side][c], panel(side)->storedColumnWidth(c));
    }
}

void MainFrame::closeEvent(QCloseEvent* e) {
    // Ending without questions, the changed texts are already kept.
    TextEditorWindow::CloseAllForShutdown(!endingWithoutQuestions_);
    clock_->stop();
    setWindowTitle(baseTitle_);
    watchers_[0].Stop();
    watchers_[1].Stop();
    ReleaseFtpAtExit();
    saveWindowState();
    e->accept();
}

void MainFrame::endWithoutQuestions() {
    std::string error;
    TextEditorWindow::KeepChangedForRecovery(error);
    if (!error.empty())
        std::fprintf(stderr, "kestrum: unsaved text could not all be kept: %s\n", error.c_str());
    endingWithoutQuestions_ = true;
    close();
}

void MainFrame::commitSessionData(QSessionManager& manager) {
    if (manager.allowsInteraction()) {
        const bool proceed = TextEditorWindow::AskToSaveChanged();
        manager.release();
        if (!proceed) {
            manager.cancel();
            return;
        }
    } else {
        std::string error;
        TextEditorWindow::KeepChangedForRecovery(error);
    }
    saveWindowState();
}

void MainFrame::SaveCurrentPaths() {
    SettingsStore& s = Settings();
    SettingsStore::Batch batch(s);
    s.PutString("Paden", "Links", panel(0)->listing().path);
    s.PutString("Paden", "Rechts", panel(1)->listing().path);
    s.PutInt("WinPositie", "LeftActive", leftActive_ ? 1 : 0);
}

void MainFrame::SaveSortOrder() {
    SettingsStore& s = Settings();
    SettingsStore::Batch batch(s);
    s.PutInt("Paden", "LSort", panel(0)->listing().sortFlags);
    s.PutInt("Paden", "RSort", panel(1)->listing().sortFlags);
}

// ---- message handlers ----

void MainFrame::onRefreshBoth(const PanelMessageEvent& m) {
    bool left = leftActive_;
    if (m.first == FilePanel::kLeftId)
        left = true;
    else if (m.first == FilePanel::kRightId)
        left = false;
    leftActive_ = left;
    const int active = left ? 0 : 1;
    refreshSide(1 - active);
    refreshSide(active);
    updateDriveInfo();
    setActive(left);
}

void MainFrame::onDirectoryChanged(const PanelMessageEvent& m) {
    const int side = sideOf(m.first);
    syncDrive(side);
    setActive(side == 0);
    rewritePathLine(side);
    rewriteSummary(side);
    driveBar(0)->RefreshDrive();
    driveBar(1)->RefreshDrive();
}

void MainFrame::onDriveChanged(const PanelMessageEvent& m) {
    const int side = sideOf(m.first);
    FilePanel* p = panel(side);
    PanelListing& li = p->listing();
    const std::string drive = driveBar(side)->drive();
    li.ClearCursorMemory();
    li.keepSelection = false;
    if (drive == "FTP") {
        if (!li.isFtp())
            localPaths_[static_cast<size_t>(side)] = li.path;
        li.drive = "FTP";
        li.path = RemoteSource() ? RemoteSource()->CurrentPath() : std::string("/");
        refreshSide(side);
        setActive(side == 0);
        return;
    }
    const auto it = driveDirectories().find(drive);
    const std::string path = it != driveDirectories().end() ? it->second : drive;
    refreshSide(side, NearestExistingDirectory(path));
    setActive(side == 0);
}

void MainFrame::onRefreshOne(const PanelMessageEvent& m) {
    refreshSide(sideOf(m.first));
    updateDriveInfo();
}

void MainFrame::onPanelFocused(const PanelMessageEvent& m) {
    const int side = sideOf(m.first);
    if ((side == 0) != leftActive_) {
        leftActive_ = side == 0;
        paintFrames();
        // The server has one current directory: make it this panel's again.
        if (panel(side)->listing().isFtp() && RemoteSource())
            RemoteSource()->Activate(panel(side)->listing());
    }
    rewriteSummary(side);
    updateDriveInfo();
}

void MainFrame::onSelectedFileQuery(const PanelMessageEvent& m) {
    auto* out = reinterpret_cast<std::string*>(m.second);
    if (!out)
        return;
    const FilePanel* p = m.message == PmActiveSelectedFile ? activePanel() : otherPanel();
    *out = p->listing().SelectedFilePath();
}

void MainFrame::onPathQuery(const PanelMessageEvent& m) {
    auto* out = reinterpret_cast<std::string*>(m.second);
    if (out)
        *out = (m.message == PmActivePath ? activePanel() : otherPanel())->listing().path;
}

void MainFrame::onChangedOnDisk(const PanelMessageEvent& m) {
    const int side = m.message == PmLeftChangedOnDisk ? 0 : 1;
    if (App().busyFlag)
        return;
    refreshSide(side); // keepSelection is still set from the last read
    updateDriveInfo();
}

void MainFrame::onEnterFocused(const PanelMessageEvent&) { activePanel()->EnterFocused(); }

void MainFrame::onDeleteToBin(const PanelMessageEvent&) { OnCommand(CmdDeleteToBin); }

void MainFrame::onTrayIcon(const PanelMessageEvent& m) {
    if (trayIcons_)
        trayIcons_->OnCallback(m.message, m.first, m.second);
}

} // namespace km
