#pragma once
// "Make directory": the typed text may hold a path of several directories.
#include <string>
#include <string_view>

namespace km {

class OpenExecuteUi;

// Creates panelPath/typed and every missing directory on the way. Returns 0
// when the directory exists afterwards, 1 for empty text (nothing to do), -1
// after the message "Error creating directory <path>".
int MakeNewDirectory(const std::string& panelPath, const std::string& typed, OpenExecuteUi& ui);

// The directory the cursor goes to afterwards: the typed text up to its
// first '/' ("a" for "a/b/c").
std::string FirstPathComponent(std::string_view typed);

} // namespace km
