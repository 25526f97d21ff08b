#pragma once
// Names written on a system that ignores letter case (a cabinet set's next
// part, "Split-2.CAB", copied to disk as "split-2.cab") found on one that
// does not.
#include <string>

namespace km {

// `path` when it exists; otherwise the path whose last component matches
// path's ignoring ASCII case (the first in name order when several do);
// otherwise `path` unchanged.
std::string MatchPathIgnoringCase(const std::string& path);

} // namespace km
