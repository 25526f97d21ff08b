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
// Absolute names, drive prefixes ("C:") and "." / ".." components are reduced away; in each
// component the characters " * < > ? | and control characters become '_', and so does a ':'
// that does not end a directory component. Invalid when nothing of a file's name is left.
OutputName MapOutputName(std::string_view storedName, bool restoreStructure);

} // namespace km::zip
