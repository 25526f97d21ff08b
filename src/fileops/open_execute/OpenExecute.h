#pragma once
// Opening, running and editing a file. An executable file is started
// directly; anything else opens with the default application of its MIME
// type, and when that cannot be started, with another application associated
// with the type. Programs start detached, in the given working directory (the
// active panel's), with the file as one argument.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace km {

class SettingsStore;

// What these commands tell the user; the Qt side shows message boxes.
class OpenExecuteUi {
public:
    virtual ~OpenExecuteUi() = default;
    // A numbered warning ("Kestrum", warning icon); a non-empty `detail`
    // (what could not start, and why) follows on a second line.
    virtual void Warning(int stringId, std::string_view detail) = 0;
    // A text in an exclamation box, or with the stop icon for system errors.
    virtual void Message(std::string_view text, bool stopIcon) = 0;
};

// Enter or double click on a local file. Returns 0 when a program started,
// else the number of the warning shown: 4171 "Cannot execute program",
// 4177 "Not enough memory", 4178 "Cannot execute program for this extension".
int OpenFile(const std::string& path, const std::string& workingDir, OpenExecuteUi& ui);

// Starts the program associated with the file (the file itself when it is a
// program); the same results as OpenFile.
int ExecuteByAssociation(const std::string& path, const std::string& workingDir, OpenExecuteUi& ui);

// Starts `program` with `args`: a command found in $PATH, an executable
// file (relative to `workingDir`), a document, which opens in its
// application without the arguments, or a MIME type such as "text/plain",
// which names the desktop's application for that type (started with `args`,
// or without any for a new document). A console program runs in a terminal
// emulator. Returns 0, else the warning shown: 4171 "Cannot execute program"
// or 4177 "Not enough memory", with the program and the reason.
int StartProgram(const std::string& program, const std::vector<std::string>& args,
                 const std::string& workingDir, OpenExecuteUi& ui);

// Starts what a desktop launcher (a .desktop file) stands for: its program,
// or for a link its URL in the desktop's application. The same results as
// StartProgram.
int StartLauncher(const std::string& desktopFile, const std::string& workingDir, OpenExecuteUi& ui);

struct EditorChoice {
    bool internal = true;
    std::string program; // the "Editor" setting when external
};

// "InternalEditor" (section "Paden", default 2): 0 is the internal editor;
// any other value the external "Editor", unless that is empty.
EditorChoice ChooseEditor(SettingsStore& store);

// The argument vector for the external editor: the setting names a program
// (taken whole when such a file exists, else split into words like a
// command) followed by the path as its only further argument.
std::vector<std::string> EditorCommand(const std::string& editor, const std::string& path);

using InternalEditorFn = std::function<void(const std::string& path, bool isNew)>;

// Opens `path` in the chosen editor; `isNew` tells the internal editor that
// the file does not exist yet. Returns 0, or 4179 "Cannot start editor"
// after that warning.
int EditFile(const std::string& path, bool isNew, const std::string& workingDir,
             SettingsStore& store, const InternalEditorFn& internalEditor, OpenExecuteUi& ui);

} // namespace km
