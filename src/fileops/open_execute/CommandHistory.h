#pragma once
// The command prompt's history: ten entries, newest first, stored as
// "Commando1" … "Commando10" in "Algemeen"; empty entries stay in place.
#include <array>
#include <string>

namespace km {

class SettingsStore;

constexpr int kHistorySize = 10;
using CommandHistory = std::array<std::string, kHistorySize>;

CommandHistory ReadCommandHistory(SettingsStore& store);

// Puts `text` first: an equal entry (exact, case-sensitive) among the first
// nine leaves its place, the tenth entry drops out. Writes all ten back and
// returns them.
CommandHistory AddToHistory(SettingsStore& store, const std::string& text);

} // namespace km
