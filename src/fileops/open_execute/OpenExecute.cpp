#include "fileops/open_execute/OpenExecute.h"

#include "fileops/open_execute/AssociationWriter.h"
#include "fileops/open_execute/MimeApps.h"
#include "fileops/open_execute/MimeLookup.h"
#include "fileops/open_execute/ProcessLauncher.h"
#include "fileops/open_execute/TerminalLauncher.h"
#include "platform/PathUtil.h"
#include "settings/SettingsStore.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <optional>
#include <fcntl.h>
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

// A program the system runs: an ELF binary or a script with "#!". A text
// file that merely has the execute bit (as everything on a FAT volume) is a
// document; a shell would otherwise run its lines as commands.
bool isProgramFile(const std::string& path) {
    if (!isExecutable(path))
        return false;
    char magic[4] = {};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return true; // let the start itself say why not
    const ssize_t n = ::read(fd, magic, sizeof magic);
    ::close(fd);
    return (n >= 2 && magic[0] == '#' && magic[1] == '!') ||
           (n == 4 && std::memcmp(magic, "\x7f" "ELF", 4) == 0);
}

// A console program needs a terminal emulator, and there is none.
constexpr int kNoTerminal = -2;

std::string reasonText(int err) {
    if (err == kNoTerminal)
        return "it needs a terminal, and no terminal emulator is installed (install xterm, or set $TERMINAL)";
    return std::strerror(err);
}

// Starts argv: in a terminal when the entry or the program has no window of
// its own. 0 or an errno (kNoTerminal).
int launch(std::vector<std::string> argv, bool inTerminal, const std::string& workingDir) {
    if (inTerminal) {
        argv = TerminalCommand(argv);
        if (argv.empty())
            return kNoTerminal;
    }
    return LaunchDetached(argv, workingDir);
}

// Starts an application's entry for one file (none when `file` is empty);
// 0 or an errno.
int startEntry(const DesktopEntry& e, const std::string& file, const std::string& workingDir) {
    std::vector<std::string> argv;
    if (!ExpandExec(e, file, argv))
        return ENOEXEC;
    // No file to open: drop the argument that stood for one.
    if (file.empty() && argv.size() > 1 && argv.back().empty())
        argv.pop_back();
    return launch(std::move(argv), e.terminal, e.path.empty() ? workingDir : e.path);
}

int fail(OpenExecuteUi& ui, int stringId, const std::string& detail = {}) {
    ui.Warning(stringId, detail);
    return stringId;
}

struct Outcome {
    int warning = 0;    // 0 when a program started
    std::string reason; // why not, for the message's second line
};

Outcome failed(int err) {
    return {IsResourceError(err) ? kNotEnoughMemory : kCannotExecute, reasonText(err)};
}

// Runs a program file; ENOEXEC when it turned out not to be one.
int runProgramFile(const std::vector<std::string>& argv, const std::string& workingDir, const MimeApps& apps) {
    return launch(argv, IsConsoleProgram(argv[0], apps), workingDir);
}

Outcome openOrExecuteQuietly(const std::string& path, const std::string& workingDir) {
    const XdgDirs dirs = XdgDirs::FromEnvironment();
    const MimeApps apps(dirs);
    if (isProgramFile(path)) {
        const int err = runProgramFile({path}, workingDir, apps);
        if (err == 0)
            return {};
        if (err != ENOEXEC && err != EACCES)
            return failed(err);
        // Not a program after all (a document with the execute bit, as on
        // FAT volumes, or a binary of another machine): open it as a document.
    }
    const MimeDatabase db(dirs);
    const std::string type = db.TypeForFile(path);
    const std::vector<std::string> types = db.BroaderTypes(type);
    std::vector<std::string> tried;
    int lastError = 0;
    auto attempt = [&](const DesktopEntry& e) -> int {
        if (std::find(tried.begin(), tried.end(), e.id) != tried.end())
            return -1;
        tried.push_back(e.id);
        return lastError = startEntry(e, path, workingDir);
    };
    // The default application first, as the desktop would open the file.
    for (const std::string& t : types) {
        if (auto e = apps.DefaultFor(t)) {
            const int err = attempt(*e);
            if (err == 0)
                return {};
            if (IsResourceError(err))
                return failed(err);
            break;
        }
    }
    // Then any other application associated with the type.
    for (const std::string& t : types) {
        for (const DesktopEntry& e : apps.AssociatedWith(t)) {
            const int err = attempt(e);
            if (err == 0)
                return {};
            if (IsResourceError(err))
                return failed(err);
        }
    }
    if (tried.empty())
        return {kNoProgramForExtension, "no application is installed for " + type};
    return failed(lastError);
}

int openOrExecute(const std::string& path, const std::string& workingDir, OpenExecuteUi& ui) {
    const Outcome o = openOrExecuteQuietly(path, workingDir);
    return o.warning == 0 ? 0 : fail(ui, o.warning, path + ": " + o.reason);
}

// "text/plain" and the like: a name of the MIME database's form.
bool isMimeTypeName(const std::string& s) {
    const size_t slash = s.find('/');
    return slash != std::string::npos && slash > 0 && slash + 1 < s.size() &&
           s.find('/', slash + 1) == std::string::npos &&
           std::all_of(s.begin(), s.end(), [](char c) {
               return std::isalnum(static_cast<unsigned char>(c)) || std::strchr("/+-._", c);
           });
}

// The desktop's application for `type` with `args` (their first, as most
// entries open one file), or with none.
int startForType(const std::string& type, const std::vector<std::string>& args, const std::string& workingDir,
                 OpenExecuteUi& ui) {
    const XdgDirs dirs = XdgDirs::FromEnvironment();
    const MimeApps apps(dirs);
    std::optional<DesktopEntry> entry;
    for (const std::string& t : MimeDatabase(dirs).BroaderTypes(type)) {
        if ((entry = apps.DefaultFor(t)))
            break;
    }
    if (!entry)
        return fail(ui, kCannotExecute, type + ": no application is installed for it");
    const int err = startEntry(*entry, args.empty() ? std::string() : ResolvePath(workingDir, args[0]), workingDir);
    if (err == 0)
        return 0;
    const Outcome o = failed(err);
    return fail(ui, o.warning, entry->name + ": " + o.reason);
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
        return fail(ui, kCannotExecute, "no program is named");
    // A name without '/' is a command from $PATH, or else a file of the
    // working directory; a path is taken relative to the working directory.
    std::string path;
    if (program.find('/') == std::string::npos)
        path = FindProgram(program);
    if (path.empty())
        path = ResolvePath(workingDir, program);
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        const int err = errno;
        if (isMimeTypeName(program))
            return startForType(program, args, workingDir, ui);
        return fail(ui, kCannotExecute, program + ": " + reasonText(err));
    }
    if (isProgramFile(path)) {
        std::vector<std::string> argv = {path};
        argv.insert(argv.end(), args.begin(), args.end());
        const int err = runProgramFile(argv, workingDir, MimeApps(XdgDirs::FromEnvironment()));
        if (err == 0)
            return 0;
        if (err != ENOEXEC && err != EACCES) {
            const Outcome o = failed(err);
            return fail(ui, o.warning, program + ": " + o.reason);
        }
    }
    // A document: its application gets the document, as the desktop opens it.
    const Outcome o = openOrExecuteQuietly(path, workingDir);
    if (o.warning == 0)
        return 0;
    return fail(ui, o.warning == kNotEnoughMemory ? kNotEnoughMemory : kCannotExecute, program + ": " + o.reason);
}

int StartLauncher(const std::string& desktopFile, const std::string& workingDir, OpenExecuteUi& ui) {
    DesktopEntry e;
    if (!LoadDesktopEntry(desktopFile, e))
        return fail(ui, kCannotExecute, desktopFile + ": not a desktop entry");
    int err = ENOEXEC;
    if (e.type == "Application")
        err = startEntry(e, {}, workingDir);
    else if (e.type == "Link" && !e.url.empty())
        err = LaunchDetached({"xdg-open", e.url}, workingDir);
    if (err == 0)
        return 0;
    const Outcome o = failed(err);
    return fail(ui, o.warning, (e.name.empty() ? desktopFile : e.name) + ": " + o.reason);
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
            return fail(ui, kCannotStartEditor, "the internal editor is not available");
        internalEditor(path, isNew);
        return 0;
    }
    const std::vector<std::string> argv = EditorCommand(choice.program, path);
    if (argv.size() < 2)
        return fail(ui, kCannotStartEditor, "no editor program is set");
    if (const int err = LaunchDetached(argv, workingDir); err != 0)
        return fail(ui, kCannotStartEditor, argv[0] + ": " + reasonText(err));
    return 0;
}

} // namespace km
