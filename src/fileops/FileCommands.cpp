#include "fileops/FileCommands.h"

#include "fileops/CopyEngine.h"
#include "fileops/DeleteEngine.h"
#include "fileops/RenameInDirectory.h"
#include "fileops/RenamePattern.h"
#include "platform/DirectoryReader.h"
#include "platform/PathUtil.h"

namespace km {
namespace {

bool hasWildcard(const std::string& s) {
    return s.find_first_of("*?") != std::string::npos;
}

std::string lastComponent(const std::string& s) {
    const size_t slash = s.rfind('/');
    return slash == std::string::npos ? s : s.substr(slash + 1);
}

} // namespace

std::string CopyLabel(const PanelSelection& chosen, bool move) {
    const std::string verb = move ? "Move/Rename " : "Copy ";
    if (chosen.entries.size() == 1)
        return verb + chosen.FullPath(chosen.entries[0]) + " to:";
    int files = 0, dirs = 0;
    for (const FileEntry& e : chosen.entries)
        (e.kind == KindDirectory ? dirs : files)++;
    return verb + std::to_string(files) + " files, " + std::to_string(dirs) + " directories to:";
}

std::string DefaultCopyTarget(const PanelSelection& chosen, const std::string& otherPath) {
    if (chosen.entries.size() == 1 && chosen.entries[0].kind == KindFile)
        return JoinPath(otherPath, chosen.entries[0].name);
    return otherPath;
}

std::string DeleteQuestion(const PanelSelection& chosen) {
    const std::string what = chosen.entries.size() == 1 ? chosen.FullPath(chosen.entries[0])
                                                        : std::to_string(chosen.entries.size()) + " items";
    return "You are about to delete " + what + ". Are you sure?";
}

bool IsMoveTarget(const std::string& typed) {
    return typed.find('/') != std::string::npos;
}

int RunCopyCommand(const PanelSelection& source, const CopyCommand& cmd, FileOpUi& ui) {
    if (source.empty()) {
        ui.Warning(4187);
        return CopyNotDone;
    }
    const std::string target = ResolvePath(source.dir, cmd.target);
    const bool intoDirectory = IsExistingDirectory(target);
    if (!intoDirectory) {
        if (source.entries.size() > 1 && !hasWildcard(lastComponent(target))) {
            ui.Warning(4940); // several entries to one name
            return CopyNotDone;
        }
        const std::string dir = ParentPath(target);
        if (!IsExistingDirectory(dir) && MakePath(dir) != 0)
            ui.Message("Error creating directory " + dir, false);
    }
    CopyEngine engine(ui);
    engine.onlyNewer = cmd.onlyNewer;
    engine.confirmOverwrite = cmd.confirmOverwrite;
    engine.recycle = cmd.recycle;
    int result = CopyDone;
    for (const FileEntry& e : source.entries) {
        engine.entryCount = static_cast<int>(source.entries.size());
        if (ui.Pump())
            engine.cancel();
        if (engine.cancelled())
            break;
        const std::string path = source.FullPath(e);
        if (e.kind == KindDirectory)
            result = cmd.move ? engine.MoveTree(path, target, intoDirectory)
                              : engine.CopyTree(path, target, intoDirectory);
        else
            result = cmd.move ? engine.MoveOneFile(path, target, intoDirectory)
                              : engine.CopyOneFile(path, target, intoDirectory);
        if (result < 0)
            break;
    }
    return result;
}

bool RunRenameInPlace(const PanelSelection& source, const std::string& newName, FileOpUi& ui) {
    if (source.empty()) {
        ui.Warning(4187);
        return false;
    }
    if (source.entries.size() > 1 && !hasWildcard(newName)) {
        ui.Warning(4940);
        return false;
    }
    // '*' and '?' are legal in names here: a wildcard is a pattern applied to
    // each entry, as Copy and Move apply it.
    const bool pattern = hasWildcard(newName);
    for (const FileEntry& e : source.entries) {
        const std::string to = pattern ? ApplyRenamePattern(e.name, newName) : newName;
        if (const int err = RenameInDirectory(source.dir, e.name, to))
            ui.Message(ErrorText(err) + ": " + source.FullPath(e), true);
    }
    return true;
}

void RunDropCopy(const std::vector<std::string>& paths, const std::string& sourceDir,
                 const std::string& targetBase, bool confirmOverwrite, FileOpUi& ui) {
    CopyEngine engine(ui);
    engine.confirmOverwrite = confirmOverwrite;
    engine.entryCount = static_cast<int>(paths.size());
    const std::string prefix = sourceDir == "/" ? "/" : sourceDir + "/";
    for (const std::string& p : paths) {
        if (ui.Pump())
            engine.cancel();
        if (engine.cancelled())
            break;
        // Keep the path below the source directory; anything else lands at the base.
        std::string rel =
            p.rfind(prefix, 0) == 0 ? p.substr(prefix.size()) : std::string(BaseName(p));
        const size_t slash = rel.rfind('/');
        const std::string dir =
            slash == std::string::npos ? targetBase : JoinPath(targetBase, rel.substr(0, slash));
        if (!IsExistingDirectory(dir) && MakePath(dir) != 0) {
            ui.Message("Error creating directory " + dir, false);
            continue;
        }
        if (engine.CopyOneFile(p, dir, true) < 0)
            break;
    }
}

bool RunDeleteCommand(const PanelSelection& chosen, const DeleteCommand& cmd, FileOpUi& ui) {
    if (chosen.empty()) {
        ui.Warning(4187);
        return false;
    }
    if (cmd.confirmFiles && !ui.AskYesNo(DeleteQuestion(chosen)))
        return false;
    DeleteEngine engine(ui, cmd.recycle, cmd.confirmDirs);
    for (const FileEntry& e : chosen.entries) {
        if (ui.Pump() || engine.cancelled())
            break;
        const std::string path = chosen.FullPath(e);
        ui.ShowPaths(path, {});
        if (e.kind == KindDirectory) {
            if (engine.ConfirmNonEmptyDirectory(path))
                engine.DeleteTree(path); // reports what stayed, each path once
        } else {
            engine.DeleteFile(path);
        }
    }
    return true;
}

} // namespace km
