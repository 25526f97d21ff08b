#pragma once
#include "settings/RegDocument.h"

#include <string>

namespace km {

// The REGEDIT4 text of `doc`, which ParseRegFile reads back unchanged.
std::string WriteRegFile(const RegDocument& doc);

} // namespace km
