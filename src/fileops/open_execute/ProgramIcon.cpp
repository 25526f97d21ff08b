#include "fileops/open_execute/ProgramIcon.h"

#include "fileops/open_execute/MimeApps.h"
#include "fileops/open_execute/ProcessLauncher.h"

namespace km {

std::string ProgramIconName(const std::string& program) {
    const MimeApps apps(XdgDirs::FromEnvironment());
    if (auto e = apps.ForProgram(program); e && !e->icon.empty())
        return e->icon;
    if (FindProgram(program).empty())
        return {};
    return program.substr(program.rfind('/') + 1);
}

} // namespace km
