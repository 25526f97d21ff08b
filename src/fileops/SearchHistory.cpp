#include "fileops/SearchHistory.h"

#include "settings/SettingsStore.h"

#include <algorithm>

namespace km {
namespace {

constexpr int kHistory = 10;
constexpr const char* kHistorySection = "ZoekReeksen";
constexpr const char* kResultsSection = "GevondenBestanden";

} // namespace

std::vector<std::string> ReadSearchHistory(SettingsStore& store) {
    std::vector<std::string> h;
    for (int i = 1; i <= kHistory; ++i) {
        std::string v = store.GetString(kHistorySection, "Reeks" + std::to_string(i), "");
        if (!v.empty())
            h.push_back(std::move(v));
    }
    return h;
}

void AddSearchText(SettingsStore& store, const std::string& text) {
    std::vector<std::string> h = ReadSearchHistory(store);
    std::erase(h, text);
    h.insert(h.begin(), text);
    SettingsStore::Batch batch(store);
    for (int i = 1; i <= kHistory; ++i) {
        const size_t at = static_cast<size_t>(i - 1);
        store.PutString(kHistorySection, "Reeks" + std::to_string(i), at < h.size() ? h[at] : std::string());
    }
}

SavedSearch ReadSavedSearch(SettingsStore& store) {
    SavedSearch s;
    const int count = store.GetInt(kResultsSection, "Aantal", 0);
    if (count <= 0)
        return s;
    for (int i = 1; i <= count; ++i) {
        std::string v = store.GetString(kResultsSection, "Bestand" + std::to_string(i), "");
        if (!v.empty())
            s.results.push_back(std::move(v));
    }
    s.pathPattern = store.GetString(kResultsSection, "ZoekPad", "");
    s.text = store.GetString(kResultsSection, "ZoekTekst", "");
    return s;
}

void SaveSearch(SettingsStore& store, const SavedSearch& s) {
    SettingsStore::Batch batch(store);
    for (size_t i = 0; i < s.results.size(); ++i)
        store.PutString(kResultsSection, "Bestand" + std::to_string(i + 1), s.results[i]);
    store.PutInt(kResultsSection, "Aantal", static_cast<int>(s.results.size()));
    store.PutString(kResultsSection, "ZoekPad", s.pathPattern);
    store.PutString(kResultsSection, "ZoekTekst", s.text);
}

} // namespace km
