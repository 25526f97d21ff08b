#pragma once
// The FTP connection as the panels' remote source: LIST for the rows,
// CWD/CDUP/PWD for moving, every failure shown as the server answered it.
#include "panels/RemotePanelSource.h"

#include <string_view>

namespace km {

class FtpPanelSource : public RemotePanelSource {
public:
    std::string SiteName() override;
    std::string CurrentPath() override;
    void Activate(PanelListing& listing) override;
    void Read(PanelListing& listing) override;
    void ChangeDirectory(PanelListing& listing, Move how, const std::string& name) override;
    void Rename(PanelListing& listing, const std::string& from, const std::string& to) override;
};

// The server's last reply, else the engine's text for `result`, with the
// stop icon.
void ShowFtpFailure(int result);

} // namespace km
