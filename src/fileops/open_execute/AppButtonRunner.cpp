#include "fileops/open_execute/AppButtonRunner.h"

#include "platform/PathUtil.h"

namespace km {

AppButtonOutcome RunAppButton(const AppButtonDefinition& d, const PlaceholderSources& s, OpenExecuteUi& ui) {
    AppButtonOutcome out;
    const std::vector<std::string> args = ExpandParameters(d.parameters, s);
    const std::string dir = ExpandPlaceholders(d.workingDir, s);
    if (d.program.empty() && !dir.empty()) {
        out.changeDirectory = ResolvePath(s.active.dir, dir);
        return out;
    }
    // The window state has no say over another program's windows here; the
    // program opens as it likes.
    const std::string base = s.workingDir.empty() ? s.active.dir : s.workingDir;
    const std::string workingDir = dir.empty() ? base : ResolvePath(base, dir);
    out.warning = StartProgram(d.program, args, workingDir, ui);
    return out;
}

} // namespace km
