#include "ui_services/AppState.h"

#include "settings/SettingsStore.h"

namespace km {
namespace {

constexpr const char* kColorKeys[ColCount] = {
    "cFileFg", "cFileBg", "cFileSelFg", "cFileSelBg", "cDirFg",    "cDirBg",    "cDirSelFg",
    "cDirSelBg", "cSysFileFg", "cSysFileBg", "cSysDirFg", "cSysDirBg", "cFRect"};
constexpr int32_t kColorDefaults[ColCount] = {
    0xFFFFFF, 0x000000, 0xFFFFFF, 0x0000FF, 0x40FF00, 0x000000, 0xFFFFFF,
    0x0000FF, 0x40FF00, 0x004080, 0x40FF00, 0x004080, -1};

} // namespace

const char* PanelColors::key(int index) { return kColorKeys[index]; }
int32_t PanelColors::defaultValue(int index) { return kColorDefaults[index]; }

void PanelColors::load(SettingsStore& store) {
    for (int i = 0; i < ColCount; ++i)
        ref[static_cast<size_t>(i)] = store.GetInt("Kleuren", kColorKeys[i], kColorDefaults[i]);
}

void PanelColors::save(SettingsStore& store) const {
    SettingsStore::Batch batch(store);
    for (int i = 0; i < ColCount; ++i)
        store.PutInt("Kleuren", kColorKeys[i], ref[static_cast<size_t>(i)]);
}

AppState& App() {
    static AppState state;
    return state;
}

HelpContextScope::HelpContextScope(int context) : previous_(App().helpContext) {
    App().helpContext = context;
}
HelpContextScope::~HelpContextScope() { App().helpContext = previous_; }

SettingsStore& Settings() { return *App().store; }

} // namespace km
