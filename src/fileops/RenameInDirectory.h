#pragma once
#include <string>

namespace km {

// Renames `dir/oldName` to `dir/newName` without replacing an existing entry.
// Returns 0 or an errno value; a name with '/' or an empty one is EINVAL.
int RenameInDirectory(const std::string& dir, const std::string& oldName, const std::string& newName);

} // namespace km
