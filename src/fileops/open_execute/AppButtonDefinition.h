#pragma once
// What an application button does, as section "Knop%d" stores it.
#include <string>

namespace km {

class SettingsStore;

constexpr int kAppButtonCount = 20; // 1–10 the first row, 11–20 the second

struct AppButtonDefinition {
    std::string name;       // "Naam", the caption
    std::string program;    // "Programma"
    std::string parameters; // "Parms", with placeholders
    std::string workingDir; // "WerkDir", with placeholders
    int window = 0;         // "Window": 0 normal, 1 maximized, 2 minimized
};

AppButtonDefinition ReadAppButton(SettingsStore& store, int number);
void WriteAppButton(SettingsStore& store, int number, const AppButtonDefinition& d);

// The program of the first example: the desktop's application for plain
// text, its text editor.
constexpr const char* kTextEditorProgram = "text/plain";

// When no button has a caption, writes the three example buttons and returns
// true. The programs are this desktop's counterparts of the classic ones: the
// text editor on the current file, the card game, a terminal in the active
// directory.
bool WriteFirstRunButtons(SettingsStore& store);

} // namespace km
