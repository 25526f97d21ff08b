#pragma once
// Which icon stands for a program: the icon of its desktop entry, else the
// icon theme's name for the program itself.
#include <string>

namespace km {

// An icon theme name, or an icon file path as desktop entries may give;
// empty when the program cannot be found.
std::string ProgramIconName(const std::string& program);

} // namespace km
