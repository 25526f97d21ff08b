#include "fileops/DeleteEngine.h"

#include "platform/DirectoryReader.h"
#include "platform/PathUtil.h"
#include "platform/Trash.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace km {

DeleteEngine::DeleteEngine(FileOpUi& ui, bool recycle, bool confirmNonEmptyDirs)
    : ui_(ui), recycle_(recycle), confirmDirs_(confirmNonEmptyDirs) {}

bool DeleteEngine::DeleteFile(const std::string& path) {
    const bool ok = recycle_ ? MoveToTrash(path) == 0 : unlink(path.c_str()) == 0;
    if (!ok)
        ui_.Message("Error deleting " + path, false);
    return ok;
}

bool DeleteEngine::ConfirmNonEmptyDirectory(const std::string& dir) {
    DIR* d = opendir(dir.c_str());
    if (!d)
        return false; // cannot be entered: skipped without a word
    bool empty = true;
    while (dirent* e = readdir(d)) {
        const std::string n = e->d_name;
        if (n != "." && n != "..") {
            empty = false;
            break;
        }
    }
    closedir(d);
    if (empty || !confirmDirs_)
        return true;
    return ui_.AskYesNo("You are about to delete non empty directory " + dir + ". Are you sure?");
}

int DeleteEngine::DeleteTree(const std::string& dir) {
    struct stat st;
    if (lstat(dir.c_str(), &st) != 0)
        return 1;
    if (S_ISLNK(st.st_mode)) // a link to a directory goes, its target stays
        return DeleteFile(dir) ? 0 : 1;
    // Whole, so the desktop's trash restores it as the folder it was; file
    // by file only where no trash on its own file system takes it.
    if (recycle_ && MoveToTrash(dir) == 0)
        return 0;
    return deleteWalk(dir);
}

int DeleteEngine::deleteWalk(const std::string& dir) {
    // O_NOFOLLOW: a directory swapped for a link meanwhile is not entered.
    const int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    DIR* d = dfd >= 0 ? fdopendir(dfd) : nullptr;
    if (!d) {
        if (dfd >= 0)
            close(dfd);
        return 1;
    }
    std::vector<std::pair<std::string, bool>> children;
    while (dirent* e = readdir(d)) {
        const char* n = e->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
            continue;
        bool isDir = e->d_type == DT_DIR;
        struct stat cs;
        if (e->d_type == DT_UNKNOWN) { // some file systems do not say
            if (fstatat(dfd, n, &cs, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            isDir = S_ISDIR(cs.st_mode);
        }
        children.emplace_back(n, isDir);
    }
    // Files first, by name in this directory; then this directory is closed before
    // going down, so a deep tree holds one descriptor at a time, not one per level.
    for (const auto& [name, isDir] : children) {
        if (isDir || cancelled_)
            continue;
        const std::string child = JoinPath(dir, name);
        ui_.ShowPaths(child, {});
        if (recycle_)
            DeleteFile(child);
        else if (unlinkat(dfd, name.c_str(), 0) != 0) // by name: no path walk per file
            ui_.Message("Error deleting " + child, false);
    }
    closedir(d);
    for (const auto& [name, isDir] : children) {
        if (!isDir)
            continue;
        const std::string child = JoinPath(dir, name);
        ui_.ShowPaths(child, {});
        if (ui_.Pump())
            cancelled_ = true;
        if (cancelled_)
            break;
        deleteWalk(child);
    }
    // Directories are removed for good; their files went one by one.
    if (rmdir(dir.c_str()) != 0) {
        ui_.Message(ErrorText(errno), true);
        return 1;
    }
    return 0;
}

} // namespace km
