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

std::string absoluteTarget(const PanelListing& source, const std::string& typed) {
    std::string t = ResolvePath(source.path, typed);
    // Keep a trailing name pattern intact; ResolvePath only normalises.
    return t;
}

} // namespace

std::vector<int> OperationRows(const PanelListing& panel) {
    std::vector<int> rows;
    for (int i = 0; i < panel.rowCount(); ++i) {
        const FileEntry& e = panel.entries[static_cast<size_t>(i)];
        if (e.selected && e.kind != KindParent)
            rows.push_back(i);
    }
    if (rows.empty() && panel.cursor() >= 0 && panel.cursor() < panel.rowCount() &&
        panel.entries[static_cast<size_t>(panel.cursor())].kind != KindParent)
        rows.push_back(panel.cursor());
    return rows;
}

std::string CopyLabel(const PanelListing& panel, bool move) {
    const std::vector<int> rows = OperationRows(panel);
    const std::string verb = move ? "Move/Rename " : "Copy ";
    if (rows.size() == 1)
        return verb + panel.FullPath(panel.entries[static_cast<size_t>(rows[0])]) + " to:";
    int files = 0, dirs = 0;
    for (int r : rows)
        (panel.entries[static_cast<size_t>(r)].kind == KindDirectory ? dirs : files)++;
    return verb + std::to_string(files) + " files, " + std::to_string(dirs) + " directories to:";
}

std::string DefaultCopyTarget(const PanelListing& panel, const std::string& otherPath) {
    const std::vector<int> rows = OperationRows(panel);
    if (rows.size() == 1 && panel.entries[static_cast<size_t>(rows[0])].kind == KindFile)
        return JoinPath(otherPath, panel.entries[static_cast<size_t>(rows[0])].name);
    return otherPath;
}

std::string DeleteQuestion(const PanelListing& panel) {
    const std::vector<int> rows = OperationRows(panel);
    const std::string what = rows.size() == 1
                                 ? panel.FullPath(panel.entries[static_cast<size_t>(rows[0])])
                                 : std::to_string(rows.size()) + " items";
    return "You are about to delete " + what + ". Are you sure?";
}

bool IsMoveTarget(const std::string& typed) {
    return typed.find('/') != std::string::npos;
}

int RunCopyCommand(const PanelListing& source, const CopyCommand& cmd, FileOpUi& ui) {
    const std::vector<int> rows = OperationRows(source);
    if (rows.empty()) {
        ui.Warning(4187);
        return CopyNotDone;
    }
    const std::string target = absoluteTarget(source, cmd.target);
    const bool intoDirectory = IsExistingDirectory(target);
    if (!intoDirectory) {
        if (rows.size() > 1 && !hasWildcard(lastComponent(target))) {
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
    for (int row : rows) {
        engine.entryCount = static_cast<int>(rows.size());
        if (ui.Pump())
            engine.cancel();
        if (engine.cancelled())
            break;
        const FileEntry& e = source.entries[static_cast<size_t>(row)];
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

bool RunRenameInPlace(const PanelListing& source, const std::string& newName, FileOpUi& ui) {
    const std::vector<int> rows = OperationRows(source);
    if (rows.empty()) {
        ui.Warning(4187);
        return false;
    }
    if (rows.size() > 1 && !hasWildcard(newName)) {
        ui.Warning(4940);
        return false;
    }
    // '*' and '?' are legal in names here: a wildcard is a pattern applied to
    // each entry, as Copy and Move apply it.
    const bool pattern = hasWildcard(newName);
    for (int row : rows) {
        const std::string& name = source.entries[static_cast<size_t>(row)].name;
        const std::string to = pattern ? ApplyRenamePattern(name, newName) : newName;
        if (const int err = RenameInDirectory(source.path, name, to))
            ui.Message(ErrorText(err) + ": " +
                           source.FullPath(source.entries[static_cast<size_t>(row)]),
                       true);
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

bool RunDeleteCommand(const PanelListing& panel, const DeleteCommand& cmd, FileOpUi& ui) {
    const std::vector<int> rows = OperationRows(panel);
    if (rows.empty()) {
        ui.Warning(4187);
        return false;
    }
    if (cmd.confirmFiles && !ui.AskYesNo(DeleteQuestion(panel)))
        return false;
    DeleteEngine engine(ui, cmd.recycle, cmd.confirmDirs);
    for (int row : rows) {
        if (ui.Pump() || engine.cancelled())
            break;
        const FileEntry& e = panel.entries[static_cast<size_t>(row)];
        const std::string path = panel.FullPath(e);
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
