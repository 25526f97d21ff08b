#pragma once
// The freedesktop.org trash: files/ and info/<name>.trashinfo, in the home
// trash for the home volume and in $topdir/.Trash-$uid on other volumes, so the
// desktop's trash can list and restore what was deleted.
#include <string>

namespace km {

// Moves `path` (a file, a symbolic link or a directory, never followed) into
// the trash, whole. Returns 0 or an errno value; `noTrash` tells when the
// failure is the volume's: no trash can be found or made for `path`, or the
// one found is on another mount.
int MoveToTrash(const std::string& path, bool* noTrash = nullptr);

// Where the trash for `path` lives (without creating it); for tests.
std::string TrashDirectoryFor(const std::string& path);

// RFC 2396 escaping of a path for the trashinfo "Path=" line ('/' kept).
std::string EscapeTrashPath(const std::string& path);

} // namespace km
