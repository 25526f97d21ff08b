#include "ftp/ui/FtpPanelSource.h"

#include "ftp/FtpConnection.h"
#include "ftp/RemoteDirectory.h"
#include "platform/PrivateTemp.h"
#include "ui_services/MessageBoxes.h"

namespace km {
namespace {

FtpSession* session() {
    FtpConnectionState& st = FtpState();
    return st.connected && st.session ? st.session.get() : nullptr;
}

// Takes the server's directory into the panel.
void takeCurrentPath(PanelListing& listing) {
    FtpSession* s = session();
    std::string dir;
    if (s && s->CurrentDir(dir) == 0)
        listing.path = RemotePanelPath(dir, FtpState().slashPaths);
}

} // namespace

void ShowFtpFailure(int result) {
    FtpSession* s = FtpState().session.get();
    const std::string_view reply = s ? s->LastReply() : std::string_view();
    ShowMessage(reply.empty() ? std::string_view(FtpSession::ErrorText(result)) : reply, MbOk | MbIconStop);
}

std::string FtpPanelSource::SiteName() { return FtpState().connected ? FtpState().siteName : std::string(); }

std::string FtpPanelSource::CurrentPath() {
    PanelListing probe;
    probe.path = "/";
    takeCurrentPath(probe);
    return probe.path;
}

void FtpPanelSource::Activate(PanelListing& listing) {
    FtpSession* s = session();
    if (!s || listing.path.empty())
        return;
    if (const int r = s->ChangeDir(listing.path))
        ShowFtpFailure(r);
}

void FtpPanelSource::Read(PanelListing& listing) {
    FtpSession* s = session();
    if (!s) {
        listing.entries.clear();
        listing.AcceptRemoteRows({}, 0);
        return;
    }
    Activate(listing);
    s->FlushReplies();
    const int depth = RemoteDepth(listing.path);
    std::vector<RemoteEntry> remote;
    bool readFailed = false;
    const std::string listFile = PrivateTempFile("dir");
    const int r = listFile.empty() ? -1 : ListRemoteDirectory(*s, FtpState().hostType == kVmsHostType,
                                                               listFile, remote, readFailed);
    if (listFile.empty() || readFailed) {
        ShowMessage("Can't read FTP directory", MbOk | MbIconStop);
    } else if (r != 0) {
        ShowFtpFailure(r);
    }
    std::vector<FileEntry> rows;
    rows.reserve(remote.size());
    for (RemoteEntry& e : remote) {
        FileEntry f;
        f.kind = e.isDirectory ? KindDirectory : KindFile;
        f.name = std::move(e.name);
        f.size = e.size;
        f.lastWrite = e.lastWrite;
        rows.push_back(std::move(f));
    }
    listing.AcceptRemoteRows(std::move(rows), depth);
}

void FtpPanelSource::Rename(PanelListing& listing, const std::string& from, const std::string& to) {
    FtpSession* s = session();
    if (!s)
        return;
    const bool slash = FtpState().slashPaths;
    if (const int r = s->Rename(RemoteJoin(listing.path, from, slash), RemoteJoin(listing.path, to, slash)))
        ShowFtpFailure(r);
}

void FtpPanelSource::ChangeDirectory(PanelListing& listing, Move how, const std::string& name) {
    FtpSession* s = session();
    if (!s)
        return;
    FtpConnectionState& st = FtpState();
    int r = 0;
    switch (how) {
    case Move::Enter: r = s->ChangeDir(RemoteDirectoryArgument(name, st.hostType)); break;
    case Move::Parent: r = s->ParentDir(); break;
    case Move::Root: r = s->ChangeDir(RemoteRootPath(st.hostType, st.slashPaths)); break;
    case Move::Typed: r = s->ChangeDir(name); break;
    }
    if (r != 0)
        ShowFtpFailure(r);
    takeCurrentPath(listing);
    if (how == Move::Typed)
        listing.depth = 0;
}

} // namespace km
