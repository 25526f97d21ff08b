#pragma once
// What a panel showing a remote site asks of the connection: its rows, moves
// between remote directories and the site for the drive bar. The FTP side
// implements it; panels without a source show no remote item.
#include "panels/PanelListing.h"

#include <string>

namespace km {

class RemotePanelSource {
public:
    enum class Move { Enter, Parent, Root, Typed };

    virtual ~RemotePanelSource() = default;
    // The connected site's name, empty while there is no connection.
    virtual std::string SiteName() = 0;
    // The server's current directory in the panel's form.
    virtual std::string CurrentPath() = 0;
    // Makes the server's directory the panel's path again (before listing it).
    virtual void Activate(PanelListing& listing) = 0;
    // Re-reads the rows of `listing.path`; failures are shown.
    virtual void Read(PanelListing& listing) = 0;
    // Changes the server's directory (to the entry `name`, up, to the root or
    // to a typed path) and takes the new path into `listing`.
    virtual void ChangeDirectory(PanelListing& listing, Move how, const std::string& name) = 0;
    // Renames the entry `from` of `listing.path` to `to` there; failures are shown.
    virtual void Rename(PanelListing& listing, const std::string& from, const std::string& to) = 0;
};

void SetRemotePanelSource(RemotePanelSource* source);
RemotePanelSource* RemoteSource();

} // namespace km
