#pragma once
// The actions F2–F9 can be given, and their assignment in the profile. The
// assignment is stored as indexes into this list, so its order never changes.
#include <array>
#include <string_view>

namespace km {

class SettingsStore;

struct FunctionKeyAction {
    int index;
    std::string_view name; // button label and list text
    int command;           // posted to the main window like the menu item
};

int FunctionKeyCount();
// Requires: 0 <= index < FunctionKeyCount().
const FunctionKeyAction& FunctionKeyActionAt(int index);

// Element k is the action index of function key F(k + 2). A missing or
// out-of-range stored value gives that key its default action, index k.
std::array<int, 8> ReadFunctionKeyAssignment(SettingsStore& store);
void WriteFunctionKeyAssignment(SettingsStore& store, const std::array<int, 8>& assignment);

} // namespace km
