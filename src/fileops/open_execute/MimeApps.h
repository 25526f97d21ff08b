#pragma once
// Which applications open a MIME type, by the freedesktop.org MIME
// applications rules: mimeapps.list files (user first, desktop-specific before
// generic), their Default, Added and Removed groups, then the applications
// that claim the type in their desktop entries.
#include "fileops/open_execute/DesktopEntry.h"
#include "fileops/open_execute/XdgDirs.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace km {

class MimeApps {
public:
    explicit MimeApps(XdgDirs dirs);

    // The mimeapps.list files (and legacy defaults.list) that exist, most
    // important first.
    const std::vector<std::string>& ListFiles() const { return lists_; }

    // The entry for a desktop file ID when it is installed: found in an
    // applications directory, an application, not hidden, its TryExec
    // program present and its Exec non-empty.
    std::optional<DesktopEntry> FindEntry(std::string_view id) const;

    // The default application for exactly `type`: the first installed one of
    // the Default Applications lists, else the most preferred association.
    std::optional<DesktopEntry> DefaultFor(std::string_view type) const;
    // Every installed application associated with `type`, in preference order.
    std::vector<DesktopEntry> AssociatedWith(std::string_view type) const;

    // The installed application whose Exec runs `program` (compared by the
    // file name), preferring the entry named after it.
    std::optional<DesktopEntry> ForProgram(std::string_view program) const;

private:
    // IDs of the entries that list `type` in applications directory `dir`.
    std::vector<std::string> claimedIn(const std::string& dir, std::string_view type) const;

    XdgDirs dirs_;
    std::vector<std::string> appDirs_; // applications directories, most important first
    std::vector<std::string> lists_;
};

} // namespace km
