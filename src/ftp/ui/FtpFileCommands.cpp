#include "ftp/ui/FtpFileCommands.h"

#include "fileops/FileCommands.h"
#include "fileops/open_execute/NewDirectory.h"
#include "fileops/open_execute/ui/NewDirDialog.h"
#include "fileops/open_execute/ui/OpenExecuteCommands.h"
#include "fileops/printing/ui/PrintCommands.h"
#include "fileops/ui/CopyDialog.h"
#include "fileops/ui/FileOperations.h"
#include "ftp/FtpResult.h"
#include "ftp/FtpConnection.h"
#include "ftp/RemoteDirectory.h"
#include "ftp/ui/FtpPanelSource.h"
#include "panels/FilePanel.h"
#include "panels/RemotePanelSource.h"
#include "platform/Collation.h"
#include "platform/PathUtil.h"
#include "platform/PrivateTemp.h"
#include "platform/ReplacementFile.h"
#include "resources/StringTable.h"
#include "settings/SettingsStore.h"
#include "ui_services/AppState.h"
#include "ui_services/BusyGuard.h"
#include "ui_services/EventPump.h"
#include "ui_services/MessageBoxes.h"
#include "ui_services/ProgressGauge.h"
#include "ui_services/ProgressWindow.h"
#include "viewers/ImageViewWindow.h"
#include "viewers/TextEditorWindow.h"
#include "viewers/imagelib/ImageLib.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

#include <optional>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace km {
namespace {

constexpr int kRefused = 4480;
constexpr int kCopyFirst = 4510;
constexpr int kNoDirectories = 4500;

QString qs(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

char typeOf(int xferType) {
    return xferType == 2 ? 'A' : xferType == 3 ? 'L' : 'I';
}

FtpSession* session() {
    FtpConnectionState& st = FtpState();
    return st.connected && st.session ? st.session.get() : nullptr;
}

// "STATUSFTP" for one operation, fed by the engine after every block.
class TransferProgress {
public:
    TransferProgress(QWidget* owner, uint64_t grandTotal) : grandTotal_(grandTotal) {
        window_ = ProgressWindow::Create(ProgressKind::Ftp, owner);
        window_->setPosition(0);
        window_->show();
        App().cancelFlag = false;
        FtpSession* s = session();
        s->SetSynchronous();
        s->SetProgressFunction([this, s](int, uint64_t count) {
            EventPump::pump();
            if (App().cancelFlag)
                s->Cancel();
            if (count < last_)
                last_ = 0; // a new file began
            running_ += count - last_;
            last_ = count;
            if (grandTotal_ != 0 && window_)
                window_->setPosition(static_cast<int>(running_ * 100 / grandTotal_));
        });
        EventPump::force();
    }
    ~TransferProgress() {
        if (FtpSession* s = session())
            s->SetProgressFunction({});
        if (window_)
            window_->finish();
    }
    void show(std::string_view from, std::string_view to) {
        if (!window_)
            return;
        window_->setFieldText(ProgressWindow::kFieldFrom, from);
        window_->setFieldText(ProgressWindow::kFieldTo, to);
    }

private:
    QPointer<ProgressWindow> window_;
    uint64_t grandTotal_, running_ = 0, last_ = 0;
};

// A question with its own buttons, the last one cancelling: the index of the
// button clicked (closing the box counts as the last).
int askButtons(const char* objectName, const char* title, const QString& text,
               std::initializer_list<const char*> buttons, QWidget* owner) {
    QMessageBox box(QMessageBox::Question, QString::fromLatin1(title), text, QMessageBox::NoButton,
                    owner);
    box.setObjectName(QString::fromLatin1(objectName));
    std::vector<QPushButton*> added;
    for (const char* b : buttons) {
        const bool last = added.size() + 1 == buttons.size();
        added.push_back(box.addButton(QString::fromLatin1(b),
                                      last ? QMessageBox::RejectRole : QMessageBox::AcceptRole));
    }
    box.setDefaultButton(added.front());
    box.exec();
    for (size_t i = 0; i < added.size(); ++i) {
        if (box.clickedButton() == added[i])
            return static_cast<int>(i);
    }
    return static_cast<int>(added.size()) - 1;
}

enum Overwrite { kOverwriteYes, kOverwriteAll, kOverwriteNo, kOverwriteCancel };

Overwrite askOverwrite(const std::string& target, QWidget* owner) {
    return static_cast<Overwrite>(
        askButtons("OVERWRITEZIP", "KM - Overwrite file",
                   QStringLiteral("Directory: %1\nalready contains a file: %2\n\nOverwrite?")
                       .arg(qs(ParentPath(target)), qs(BaseName(target))),
                   {"&Yes", "Yes to &all", "&No", "&Cancel"}, owner));
}

// "FTPRESUME": an earlier transfer of this file stopped after `done` bytes.
// True to resume, false to start over; none after Cancel, which also ends
// the operation.
std::optional<bool> askResume(std::string_view name, uint64_t done, QWidget* owner) {
    const int answer = askButtons(
        "FTPRESUME", "KM - Resume transfer",
        QStringLiteral("%1\n\nAn earlier transfer of this file stopped after %2 bytes.\n\nResume?")
            .arg(qs(name), QString::number(done)),
        {"&Resume", "&Start over", "&Cancel"}, owner);
    if (answer == 2) {
        App().cancelFlag = true;
        return std::nullopt;
    }
    return answer == 0;
}

// Uploads that stopped part way in this run of the program, by site,
// remote directory, name and local file: only those are offered a resume,
// so a different file of the same name is never appended to.
std::set<std::string>& interruptedUploads() {
    static std::set<std::string> keys;
    return keys;
}

std::string uploadKey(const std::string& local, const std::string& remoteDir,
                      const std::string& remoteName) {
    return FtpState().siteName + '\n' + remoteDir + '\n' + remoteName + '\n' + local;
}

// A failed transfer's message; a cancelled one says so and ends the
// operation (-1), any other leaves the next file to go (1).
int transferFailed(int result) {
    ShowMessage(FtpSession::ErrorText(result), MbOk | MbIconStop);
    if (result == kFtpAborted || App().cancelFlag) {
        App().cancelFlag = true;
        return -1;
    }
    return 1;
}

bool exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

bool isLocalDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A remote directory exists when the server can change to it (and back).
bool isRemoteDirectory(FtpSession& s, const std::string& path) {
    std::string here;
    if (s.CurrentDir(here) != 0 || s.ChangeDir(path) != 0)
        return false;
    s.ChangeDir(here);
    return true;
}

struct CopyRun {
    FilePanel& source;
    FilePanel& target;
    bool move;
    char type;
    QWidget* owner;
    bool yesToAll = false;
    bool confirm = true;
};

// 0 transferred, 1 not, -1 cancelled. `remoteSize` is the listing's.
int download(CopyRun& run, TransferProgress& progress, const std::string& remoteName,
             uint64_t remoteSize, const std::string& local) {
    FtpSession* s = session();
    progress.show("[FTP] " + remoteName, local);
    if (exists(local) && !run.yesToAll && run.confirm) {
        switch (askOverwrite(local, run.owner)) {
        case kOverwriteAll:
            run.yesToAll = true;
            break;
        case kOverwriteNo:
            return 1;
        case kOverwriteCancel:
            App().cancelFlag = true;
            return -1;
        case kOverwriteYes:
            break;
        }
    }
    if (!MayReplace(local)) {
        ShowWarning(4198); // "Cannot open output file": a protected file stays
        return 1;
    }
    // What an interrupted download left, unless it cannot be of this file.
    bool resume = false;
    const int64_t partial = FtpSession::PartialDownloadSize(local);
    if (partial > 0 && (remoteSize == 0 || static_cast<uint64_t>(partial) < remoteSize)) {
        const std::optional<bool> answer =
            askResume(remoteName, static_cast<uint64_t>(partial), run.owner);
        if (!answer)
            return -1;
        resume = *answer;
    }
    s->FlushReplies();
    if (const int r = s->Retrieve(remoteName, local, run.type, true, resume))
        return transferFailed(r);
    return 0;
}

int upload(CopyRun& run, TransferProgress& progress, const std::string& local,
           const std::string& remoteName) {
    progress.show(local, "[FTP] " + remoteName);
    FtpSession* s = session();
    const std::string key = uploadKey(local, run.target.listing().path, remoteName);
    bool resume = false;
    if (interruptedUploads().count(key) && s->Features().restStream) {
        uint64_t there = 0;
        struct stat st;
        if (s->Size(remoteName, there) == 0 && stat(local.c_str(), &st) == 0 && there > 0 &&
            there < static_cast<uint64_t>(st.st_size)) {
            const std::optional<bool> answer = askResume(BaseName(local), there, run.owner);
            if (!answer)
                return -1;
            resume = *answer;
        }
    }
    if (const int r = s->Store(local, remoteName, run.type, true, resume)) {
        if (r != kFtpCannotOpenLocal)
            interruptedUploads().insert(key);
        return transferFailed(r);
    }
    interruptedUploads().erase(key);
    return 0;
}

void copyFiles(CopyRun& run, const PanelSelection& chosen, const std::string& typedTarget) {
    PanelListing& dst = run.target.listing();
    FtpSession* s = session();
    if (!s)
        return;
    if (chosen.ftp && dst.isFtp()) {
        ShowWarning(kCopyFirst);
        return;
    }
    std::vector<const FileEntry*> files;
    uint64_t total = 0;
    for (const FileEntry& e : chosen.entries) {
        if (e.kind == KindDirectory) {
            ShowWarning(kNoDirectories);
            continue;
        }
        if (e.kind == KindFile) {
            files.push_back(&e);
            total += e.size;
        }
    }
    if (files.empty())
        return;
    // A target naming a directory takes the files under their own names; any
    // other target is the new name of a single file.
    const bool upload = dst.isFtp();
    const bool intoDirectory = upload
                                   ? typedTarget == dst.path || isRemoteDirectory(*s, typedTarget)
                                   : isLocalDirectory(ResolvePath(dst.path, typedTarget));
    if (!intoDirectory && files.size() > 1) {
        ShowWarning(4940);
        return;
    }
    TransferProgress progress(run.owner, total);
    for (const FileEntry* e : files) {
        if (App().cancelFlag)
            break;
        int r;
        if (upload) {
            const std::string remote =
                intoDirectory ? RemoteJoin(typedTarget == dst.path ? std::string() : typedTarget,
                                           e->name, FtpState().slashPaths)
                              : typedTarget;
            // A name in the server's current directory is sent bare.
            const std::string name = typedTarget == dst.path && intoDirectory ? e->name : remote;
            r = ::km::upload(run, progress, chosen.FullPath(*e), name);
            if (r == 0 && run.move && unlink(chosen.FullPath(*e).c_str()) != 0)
                ShowMessage("Error deleting " + chosen.FullPath(*e), MbOk | MbIconExclamation);
        } else {
            const std::string base = ResolvePath(dst.path, typedTarget);
            const std::string local = intoDirectory ? JoinPath(base, e->name) : base;
            r = download(run, progress, e->name, e->size, local);
            // Moved: the remote file goes only once the local copy is complete.
            if (r == 0 && run.move) {
                if (const int d = s->DeleteFile(e->name))
                    ShowFtpFailure(d);
            }
        }
        if (r < 0)
            break;
    }
}

void copyOrMove(FilePanel& panel, FilePanel& other, bool move, QWidget* mainWindow) {
    PanelListing& source = panel.listing();
    const PanelSelection chosen = source.Chosen();
    if (chosen.empty()) {
        ShowWarning(4187);
        return;
    }
    SettingsStore& settings = Settings();
    const int type = settings.GetInt("FTP", "XferType", 1);
    const auto answer =
        CopyDialog::Ask(move, CopyLabel(chosen, move),
                        DefaultCopyTarget(chosen, other.listing().path), type, true, mainWindow);
    if (!answer)
        return;
    if (move && !chosen.ftp && !IsMoveTarget(answer->target)) {
        // A plain new name renames in place, whatever the other panel shows.
        RenameInPlace(panel, chosen, answer->target, mainWindow);
        return;
    }
    if (move && chosen.ftp && !IsMoveTarget(answer->target)) {
        // A plain new name renames on the server.
        for (const FileEntry& e : chosen.entries) {
            const bool slash = FtpState().slashPaths;
            if (const int r = session()->Rename(RemoteJoin(chosen.dir, e.name, slash),
                                                RemoteJoin(chosen.dir, answer->target, slash)))
                ShowFtpFailure(r);
        }
        source.keepSelection = false;
        PostPanelMessage(mainWindow, PmRefreshOne, panel.controlId());
        return;
    }
    {
        BusyGuard busy(mainWindow);
        CopyRun run{panel, other, move, typeOf(answer->transferType), mainWindow};
        run.confirm = settings.GetInt("Algemeen", "BevestigingOverwrite", 1) == 1;
        // The target on a site is the other panel's directory or a path there.
        const std::string target = answer->target.empty() ? other.listing().path : answer->target;
        copyFiles(run, chosen, target);
    }
    source.keepSelection = false;
    const bool update = settings.GetInt("FTP", "DirUpd", 0) == 1;
    if (!other.listing().isFtp() || update)
        PostPanelMessage(mainWindow, PmRefreshOne, other.controlId());
    if (!source.isFtp() || update || !move)
        PostPanelMessage(mainWindow, PmRefreshOne, panel.controlId());
}

void dropOnto(FilePanel& target, FilePanel& source, QWidget* mainWindow) {
    const PanelSelection chosen = source.listing().Chosen();
    if (chosen.empty())
        return;
    {
        BusyGuard busy(mainWindow);
        CopyRun run{source, target, false, typeOf(Settings().GetInt("FTP", "XferType", 1)),
                    mainWindow};
        copyFiles(run, chosen, target.listing().path);
    }
    PostPanelMessage(mainWindow, PmRefreshOne, target.controlId());
}

void deleteRemote(FilePanel& panel, QWidget* mainWindow) {
    PanelListing& listing = panel.listing();
    const PanelSelection chosen = listing.Chosen();
    if (chosen.empty()) {
        ShowWarning(4187);
        return;
    }
    if (Settings().GetInt("Algemeen", "BevestigingDelFiles", 1) == 1 &&
        ShowMessage(DeleteQuestion(chosen), MbYesNo | MbIconExclamation) != IdYes)
        return;
    FtpSession* s = session();
    if (!s)
        return;
    {
        BusyGuard busy(mainWindow);
        for (const FileEntry& e : chosen.entries) {
            // The server refuses a directory that is not empty and says so.
            const int r = e.kind == KindDirectory ? s->RemoveDir(e.name) : s->DeleteFile(e.name);
            if (r != 0)
                ShowFtpFailure(r);
        }
    }
    listing.keepSelection = false;
    PostPanelMessage(mainWindow, PmRefreshOne, panel.controlId());
}

void makeRemoteDirectory(FilePanel& panel, QWidget* mainWindow) {
    std::optional<std::string> typed;
    {
        HelpContextScope help(1210);
        typed = NewDirDialog::Ask(mainWindow);
    }
    FtpSession* s = session();
    if (!typed || !s)
        return;
    std::string created;
    if (const int r = s->MakeDir(*typed, created))
        ShowFtpFailure(r);
    panel.Refresh();
    PanelListing& li = panel.listing();
    const std::string first = FirstPathComponent(*typed);
    for (int i = 0; i < li.rowCount(); ++i) {
        const FileEntry& e = li.entries[static_cast<size_t>(i)];
        if (e.kind == KindDirectory && EqualsIgnoreCase(e.name, first)) {
            panel.MoveCursor(i);
            return;
        }
    }
}

} // namespace

std::string FetchRemoteCopy(FilePanel& panel, const FileEntry& e, bool forArchive,
                            QWidget* mainWindow) {
    SettingsStore& settings = Settings();
    if (settings.GetInt("FTP", "Confirm", 1) == 1 &&
        ShowMessage(LoadString(4490), MbYesNo | MbIconExclamation) != IdYes)
        return {};
    FtpSession* s = session();
    const std::string dir = PrivateTempDir();
    if (!s || dir.empty())
        return {};
    const std::string local = JoinPath(dir, e.name);
    char type = typeOf(settings.GetInt("FTP", "XferType", 1));
    if (forArchive ? settings.GetInt("FTP", "AlwaysBinary", 0) == 1
                   : settings.GetInt("FTP", "AlwaysAscii", 0) == 1)
        type = forArchive ? 'I' : 'A';
    QApplication::setOverrideCursor(Qt::WaitCursor);
    int r;
    {
        TransferProgress progress(mainWindow, e.size);
        progress.show(RemoteJoin(panel.listing().path, e.name, FtpState().slashPaths), local);
        r = s->Retrieve(e.name, local, type, true);
    }
    QApplication::restoreOverrideCursor();
    if (r == kFtpAborted) {
        ShowMessage(FtpSession::ErrorText(r), MbOk | MbIconStop);
        return {};
    }
    if (r != 0) {
        ShowFtpFailure(r);
        return {};
    }
    return local;
}

namespace {

void viewOrEdit(FilePanel& panel, bool edit, QWidget* mainWindow) {
    const PanelListing& li = panel.listing();
    const int cur = li.cursor();
    if (cur < 0 || cur >= li.rowCount() || li.entries[static_cast<size_t>(cur)].kind != KindFile) {
        ShowWarning(4173);
        return;
    }
    const std::string local =
        FetchRemoteCopy(panel, li.entries[static_cast<size_t>(cur)], false, mainWindow);
    if (local.empty())
        return;
    // The copy is a copy: an edited one is not sent back.
    if (edit)
        EditFile(local, mainWindow, false, ParentPath(local));
    else if (imagelib::IsPictureName(local))
        ImageViewWindow::Show(local, mainWindow);
    else
        TextEditorWindow::Open(local, true, false);
}

// The server's own listing lines, printed as they came.
void printRemoteListing(FilePanel& panel, QWidget* mainWindow) {
    FtpSession* s = session();
    const std::string file = PrivateTempFile("dir");
    if (!s || file.empty())
        return;
    if (RemoteSource())
        RemoteSource()->Activate(panel.listing());
    s->FlushReplies();
    s->SetSynchronous();
    const int r = s->List({}, file);
    s->FlushReplies();
    if (r != 0) {
        unlink(file.c_str());
        ShowFtpFailure(r);
        return;
    }
    PrintFiles(
        {{file, "KM - Print directory [FTP] " + FtpState().siteName + " " + panel.listing().path}},
        mainWindow);
    unlink(file.c_str());
}

} // namespace

bool HandleFtpOperation(FilePanel& panel, FilePanel& other, const PanelMessageEvent& m,
                        QWidget* mainWindow) {
    const bool here = panel.listing().isFtp();
    if (!here && !other.listing().isFtp())
        return false;
    switch (m.message) {
    case PmCopy:
        copyOrMove(panel, other, false, mainWindow);
        return true;
    case PmRenameMove:
        copyOrMove(panel, other, true, mainWindow);
        return true;
    case PmDrop:
        dropOnto(panel, other, mainWindow);
        return true;
    default:
        break;
    }
    if (!here)
        return false;
    switch (m.message) {
    case PmDelete:
        deleteRemote(panel, mainWindow);
        return true;
    case PmMakeDirectory:
        makeRemoteDirectory(panel, mainWindow);
        return true;
    case PmViewFile:
        viewOrEdit(panel, false, mainWindow);
        return true;
    case PmEditFile:
        viewOrEdit(panel, true, mainWindow);
        return true;
    case PmFileSearch:
    case PmZip:
    case PmOpenArchive:
    case PmEditNewFile:
    case PmDiskSpace:
    case PmAssociate:
    case PmFileAttributes:
    case PmFileAttributesMany:
    case PmDirAttributes:
    case PmDirAttributesMany:
    case PmPrintTree:
        ShowWarning(kRefused);
        return true;
    case PmPrintFiles:
        ShowWarning(kCopyFirst);
        return true;
    case PmPrintListing:
        printRemoteListing(panel, mainWindow);
        return true;
    default:
        return false;
    }
}

} // namespace km
