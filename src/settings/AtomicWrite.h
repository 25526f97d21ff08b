#pragma once
#include <string>
#include <string_view>

namespace km {

// Replaces the file at `path` with `data` so that a reader, or the disk after a
// crash, sees either the old file or the complete new one: a temporary file in
// the same directory (mode 0600), fsync, rename over the target, fsync of the
// directory. Missing directories are created with mode 0700. A symbolic link is
// followed, so a linked settings file stays linked. On failure the target is
// untouched, the temporary file removed, and `error` says why.
bool AtomicWrite(const std::string& path, std::string_view data, std::string& error);

} // namespace km
