#pragma once
// The freedesktop.org trash: files/ and info/<name>.trashinfo, in the home
// trash for the home volume and in $topdir/.Trash-$uid on other volumes, so the
// desktop's trash can list and restore what was deleted.
#include <string>

namespace km {

// Moves `path` (a file, a symbolic link or a directory, never followed) into
// the trash. Returns 0 or an errno value.
int MoveToTrash(const std::string& path);

// Where the trash for `path` lives (without creating it); for tests.
std::string TrashDirectoryFor(const std::string& path);

// RFC 2396 escaping of a path for the trashinfo "Path=" line ('/' kept).
std::string EscapeTrashPath(const std::string& path);

} // namespace km
