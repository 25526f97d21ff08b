#include "fileops/open_execute/CommandHistory.h"

#include "settings/SettingsStore.h"

#include <algorithm>

namespace km {
namespace {

std::string keyOf(size_t index) { return "Commando" + std::to_string(index + 1); }

} // namespace

CommandHistory ReadCommandHistory(SettingsStore& store) {
    CommandHistory h;
    for (size_t i = 0; i < h.size(); ++i)
        h[i] = store.GetString("Algemeen", keyOf(i), "");
    return h;
}

CommandHistory AddToHistory(SettingsStore& store, const std::string& text) {
    CommandHistory h = ReadCommandHistory(store);
    for (size_t i = 0; i + 1 < h.size();) {
        if (h[i] == text && !text.empty()) {
            std::move(h.begin() + static_cast<long>(i) + 1, h.end(), h.begin() + static_cast<long>(i));
            h.back().clear();
            continue; // the entry that moved up is looked at too
        }
        ++i;
    }
    std::move_backward(h.begin(), h.end() - 1, h.end());
    h[0] = text;
    SettingsStore::Batch batch(store);
    for (size_t i = 0; i < h.size(); ++i)
        store.PutString("Algemeen", keyOf(i), h[i]);
    return h;
}

} // namespace km
