#pragma once
#include <string>
#include <string_view>

namespace km {

// Panel paths: absolute, '/'-separated, no trailing '/' except the root "/".
bool IsRootPath(std::string_view path);
// Number of '/' in a non-root path; 0 for the root.
int PathDepth(std::string_view path);
std::string JoinPath(std::string_view dir, std::string_view name);
std::string ParentPath(std::string_view path);
std::string_view BaseName(std::string_view path);
// Makes `typed` absolute against `base` and removes ".", ".." and repeated '/'.
std::string ResolvePath(std::string_view base, std::string_view typed);
// The path itself if it is a readable directory, else its nearest existing parent, else "/".
std::string NearestExistingDirectory(std::string_view path);
// The directory the program was started in (it never changes its own), else "/".
std::string StartDirectory();

} // namespace km
