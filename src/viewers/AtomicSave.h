#pragma once
#include <string>
#include <string_view>

namespace km {

// Replaces the file at `path` (a symbolic link is followed) with `data`: the
// bytes go to a temporary file in the same directory, which takes the old
// file's permission bits, owner and extended attributes (a new file gets
// 0666 less the umask) and is renamed over the target once complete.
// Returns 0, or the errno of the step that failed; then the target is
// untouched and the temporary file is gone. A target that exists but cannot
// be written is refused with EACCES rather than replaced behind its back.
int SaveFileAtomically(const std::string& path, std::string_view data);

} // namespace km
