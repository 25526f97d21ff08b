#pragma once
// The list of full paths a drag carries: selected files themselves, selected
// directories expanded into every file below them, the cursor entry when
// nothing is selected.
#include "panels/PanelListing.h"

#include <string>
#include <vector>

namespace km {

struct DropListResult {
    std::vector<std::string> paths;
    bool skippedFtpDirectory = false; // a remote directory cannot be dragged
};

DropListResult BuildDropList(const PanelListing& listing);

// Appends every regular file below `dir` (symbolic links to directories are
// not followed, so a loop cannot run away).
void AppendFilesBelow(const std::string& dir, std::vector<std::string>& out);

} // namespace km
