#pragma once
// From a stored name to the relative path an entry is written to, such that no entry can
// leave the target directory.
#include <string>
#include <string_view>
#include <vector>

namespace km::zip {

struct OutputName {
    enum Kind { File, Directory, Invalid };
    Kind kind = Invalid;
    // Non-empty components, none of them "." or "..".
    std::vector<std::string> components;

    std::string joined() const;
};

// storedName uses '/' separators. With restoreStructure the whole name is used, otherwise
// only the part after its last '/'. A name ending in '/' (or an empty part) is a directory.
// Absolute names, "." / ".." components and, in names from DOS-named hosts, a leading drive
// ("C:") are reduced away; every other byte is kept, since on Linux only '/' and NUL cannot be
// in a name. Invalid when nothing of a file's name is left, or a component holds a NUL.
OutputName MapOutputName(std::string_view storedName, bool restoreStructure,
                         bool dosHost = false);

} // namespace km::zip
