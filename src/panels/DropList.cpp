#include "panels/DropList.h"

#include <filesystem>

namespace km {

void AppendFilesBelow(const std::string& dir, std::vector<std::string>& out) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::recursive_directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code typeEc;
        if (it->is_regular_file(typeEc))
            out.push_back(it->path().native());
    }
}

DropListResult BuildDropList(const PanelListing& listing) {
    DropListResult r;
    bool any = false;
    for (const FileEntry& e : listing.entries)
        any = any || (e.selected && e.kind != KindParent);
    for (int i = 0; i < listing.rowCount(); ++i) {
        const FileEntry& e = listing.entries[static_cast<size_t>(i)];
        if (e.kind == KindParent || (any ? !e.selected : i != listing.cursor()))
            continue;
        if (e.kind == KindFile) {
            r.paths.push_back(listing.FullPath(e));
        } else if (listing.isFtp()) {
            r.skippedFtpDirectory = true;
        } else {
            AppendFilesBelow(listing.FullPath(e), r.paths);
        }
    }
    return r;
}

} // namespace km
