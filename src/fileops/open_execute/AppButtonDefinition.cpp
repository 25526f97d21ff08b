#include "fileops/open_execute/AppButtonDefinition.h"

#include "settings/SettingsStore.h"

#include <string>

namespace km {
namespace {

std::string sectionOf(int number) { return "Knop" + std::to_string(number); }

} // namespace

AppButtonDefinition ReadAppButton(SettingsStore& store, int number) {
    const std::string section = sectionOf(number);
    AppButtonDefinition d;
    d.name = store.GetString(section, "Naam", "");
    d.program = store.GetString(section, "Programma", "");
    d.parameters = store.GetString(section, "Parms", "");
    d.workingDir = store.GetString(section, "WerkDir", "");
    d.window = store.GetInt(section, "Window", 0);
    return d;
}

void WriteAppButton(SettingsStore& store, int number, const AppButtonDefinition& d) {
    const std::string section = sectionOf(number);
    SettingsStore::Batch batch(store);
    store.PutString(section, "Naam", d.name);
    store.PutString(section, "Programma", d.program);
    store.PutString(section, "Parms", d.parameters);
    store.PutString(section, "WerkDir", d.workingDir);
    store.PutInt(section, "Window", d.window);
}

bool WriteFirstRunButtons(SettingsStore& store) {
    // The first example of earlier versions ran xdg-open, which without a
    // selected file failed unseen; the text editor's type opens an empty
    // document instead.
    const AppButtonDefinition old{"Notepad", "xdg-open", "&as", "", 0};
    const AppButtonDefinition first = ReadAppButton(store, 1);
    if (first.name == old.name && first.program == old.program && first.parameters == old.parameters &&
        first.workingDir.empty())
        store.PutString("Knop1", "Programma", kTextEditorProgram);
    for (int n = 1; n <= kAppButtonCount; ++n) {
        if (!store.GetString(sectionOf(n), "Naam", "").empty())
            return false;
    }
    SettingsStore::Batch batch(store);
    store.PutString("Knop1", "Naam", "Notepad");
    store.PutString("Knop1", "Programma", kTextEditorProgram);
    store.PutString("Knop1", "Parms", "&as");
    store.PutString("Knop2", "Naam", "Solitaire");
    store.PutString("Knop2", "Programma", "sol");
    store.PutString("Knop3", "Naam", "Prompt");
    store.PutString("Knop3", "Programma", "x-terminal-emulator");
    store.PutString("Knop3", "WerkDir", "&ap");
    return true;
}

} // namespace km
