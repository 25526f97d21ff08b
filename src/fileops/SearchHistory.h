#pragma once
// What the search dialog keeps in the settings: the last ten search texts
// ("ZoekReeksen", shared with the editor's find dialog) and the results of
// the last search the user went to ("GevondenBestanden").
#include <string>
#include <vector>

namespace km {

class SettingsStore;

// The non-empty "Reeks1" … "Reeks10", most recent first.
std::vector<std::string> ReadSearchHistory(SettingsStore& store);
// Puts `text` first, drops an equal entry, keeps ten.
void AddSearchText(SettingsStore& store, const std::string& text);

struct SavedSearch {
    std::vector<std::string> results;
    std::string pathPattern;
    std::string text;
};

// The saved results; none when "Aantal" is 0 (as every start leaves it).
SavedSearch ReadSavedSearch(SettingsStore& store);
void SaveSearch(SettingsStore& store, const SavedSearch& s);

} // namespace km
