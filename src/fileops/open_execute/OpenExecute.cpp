#include "fileops/open_execute/OpenExecute.h"

#include "fileops/open_execute/AssociationWriter.h"
#include "fileops/open_execute/MimeApps.h"
#include "fileops/open_execute/MimeLookup.h"
#include "fileops/open_execute/ProcessLauncher.h"
#include "platform/PathUtil.h"
#include "settings/SettingsStore.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace km {
namespace {

constexpr int kCannotExecute = 4171;
constexpr int kNotEnoughMemory = 4177;
constexpr int kNoProgramForExtension = 4178;
constexpr int kCannotStartEditor = 4179;

bool isExecutable(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// Starts an application's entry for one file; 0 or an errno.
int startEntry(const DesktopEntry& e, const std::string& file, const std::string& workingDir) {
    std::vector<std::string> argv;
    if (!ExpandExec(e, file, argv))
        return ENOEXEC;
    if (e.terminal) {
        // Debian's terminal alternative accepts "-e program args...".
        const std::string terminal = FindProgram("x-terminal-emulator");
        if (!terminal.empty()) {
            argv.insert(argv.begin(), "-e");
            argv.insert(argv.begin(), terminal);
        }
    }
    return LaunchDetached(argv, e.path.empty() ? workingDir : e.path);
}

int fail(OpenExecuteUi& ui, int stringId) {
    ui.Warning(stringId);
    return stringId;
}

// 0 when a program started, else the number of the warning to show.
int openOrExecuteQuietly(const std::string& path, const std::string& workingDir) {
    if (isExecutable(path)) {
        const int err = LaunchDetached({path}, workingDir);
        if (err == 0)
            return 0;
        if (IsResourceError(err))
            return kNotEnoughMemory;
        // Not a program after all (a document with the execute bit, as on
        // FAT volumes, or a binary of another machine): open it as a document.
    }
    const XdgDirs dirs = XdgDirs::FromEnvironment();
    const MimeDatabase db(dirs);
    const MimeApps apps(dirs);
    const std::vector<std::string> types = db.BroaderTypes(db.TypeForFile(path));
    std::vector<std::string> tried;
    auto attempt = [&](const DesktopEntry& e) -> int {
        if (std::find(tried.begin(), tried.end(), e.id) != tried.end())
            return -1;
        tried.push_back(e.id);
        return startEntry(e, path, workingDir);
    };
    // The default application first, as the desktop would open the file.
    for (const std::string& t : types) {
        if (auto e = apps.DefaultFor(t)) {
            const int err = attempt(*e);
            if (err == 0)
                return 0;
            if (IsResourceError(err))
                return kNotEnoughMemory;
            break;
        }
    }
    // Then any other application associated with the type.
    for (const std::string& t : types) {
        for (const DesktopEntry& e : apps.AssociatedWith(t)) {
            const int err = attempt(e);
            if (err == 0)
                return 0;
            if (IsResourceError(err))
                return kNotEnoughMemory;
        }
    }
    return tried.empty() ? kNoProgramForExtension : kCannotExecute;
}

int openOrExecute(const std::string& path, const std::string& workingDir, OpenExecuteUi& ui) {
    const int result = openOrExecuteQuietly(path, workingDir);
    return result == 0 ? 0 : fail(ui, result);
}

} // namespace

int OpenFile(const std::string& path, const std::string& workingDir, OpenExecuteUi& ui) {
    return openOrExecute(path, workingDir, ui);
}

int ExecuteByAssociation(const std::string& path, const std::string& workingDir,
                         OpenExecuteUi& ui) {
    // Without a shell verb of its own, finding "the program for the file" is
    // the same lookup: the file itself when it runs, else its type's programs.
    return openOrExecute(path, workingDir, ui);
}

int StartProgram(const std::string& program, const std::vector<std::string>& args,
                 const std::string& workingDir, OpenExecuteUi& ui) {
    if (program.empty())
        return fail(ui, kCannotExecute);
    // A name without '/' is a command from $PATH, or else a file of the
    // working directory; a path is taken relative to the working directory.
    std::string path;
    if (program.find('/') == std::string::npos)
        path = FindProgram(program);
    if (path.empty())
        path = ResolvePath(workingDir, program);
    if (isExecutable(path)) {
        std::vector<std::string> argv = {path};
        argv.insert(argv.end(), args.begin(), args.end());
        const int err = LaunchDetached(argv, workingDir);
        if (err == 0)
            return 0;
        if (IsResourceError(err))
            return fail(ui, kNotEnoughMemory);
    }
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return fail(ui, kCannotExecute);
    // A document: its application gets the document, as the desktop opens it.
    const int result = openOrExecuteQuietly(path, workingDir);
    if (result == 0)
        return 0;
    return fail(ui, result == kNotEnoughMemory ? kNotEnoughMemory : kCannotExecute);
}

EditorChoice ChooseEditor(SettingsStore& store) {
    EditorChoice c;
    if (store.GetInt("Paden", "InternalEditor", 2) == 0)
        return c;
    c.program = store.GetString("Paden", "Editor", "");
    const bool blank = std::all_of(c.program.begin(), c.program.end(),
                                   [](char ch) { return ch == ' ' || ch == '\t'; });
    c.internal = blank;
    if (blank)
        c.program.clear();
    return c;
}

std::vector<std::string> EditorCommand(const std::string& editor, const std::string& path) {
    std::vector<std::string> argv;
    struct stat st;
    if (editor.find('/') != std::string::npos && stat(editor.c_str(), &st) == 0)
        argv.push_back(editor); // "/opt/My Editor/edit" is one program, not three words
    else
        argv = SplitCommandText(editor);
    argv.push_back(path);
    return argv;
}

int EditFile(const std::string& path, bool isNew, const std::string& workingDir,
             SettingsStore& store, const InternalEditorFn& internalEditor, OpenExecuteUi& ui) {
    const EditorChoice choice = ChooseEditor(store);
    if (choice.internal) {
        if (!internalEditor)
            return fail(ui, kCannotStartEditor);
        internalEditor(path, isNew);
        return 0;
    }
    const std::vector<std::string> argv = EditorCommand(choice.program, path);
    if (argv.size() < 2 || LaunchDetached(argv, workingDir) != 0)
        return fail(ui, kCannotStartEditor);
    return 0;
}

} // namespace km
