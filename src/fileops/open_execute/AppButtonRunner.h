#pragma once
// Running an application button: the program with its expanded parameters
// in its working directory, or, for a button with only a caption and a
// working directory, a change of the active panel's directory.
#include "fileops/open_execute/AppButtonDefinition.h"
#include "fileops/open_execute/OpenExecute.h"
#include "fileops/open_execute/Placeholders.h"

#include <string>

namespace km {

struct AppButtonOutcome {
    int warning = 0;             // the warning shown, 0 when none
    std::string changeDirectory; // where the active panel goes; empty when a program ran
};

AppButtonOutcome RunAppButton(const AppButtonDefinition& d, const PlaceholderSources& s, OpenExecuteUi& ui);

} // namespace km
