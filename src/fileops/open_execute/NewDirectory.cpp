#include "fileops/open_execute/NewDirectory.h"

#include "fileops/CopyEngine.h"
#include "fileops/open_execute/OpenExecute.h"
#include "platform/PathUtil.h"

namespace km {

int MakeNewDirectory(const std::string& panelPath, const std::string& typed, OpenExecuteUi& ui) {
    if (typed.find_first_not_of(' ') == std::string::npos)
        return 1;
    const std::string path = JoinPath(panelPath, typed);
    if (MakePath(path) == 0)
        return 0;
    ui.Message("Error creating directory " + path, false);
    return -1;
}

std::string FirstPathComponent(std::string_view typed) {
    // A leading '/' only repeats the separator JoinPath puts there.
    while (!typed.empty() && typed.front() == '/')
        typed.remove_prefix(1);
    return std::string(typed.substr(0, typed.find('/')));
}

} // namespace km
