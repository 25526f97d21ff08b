#include "fileops/DeleteEngine.h"

#include "platform/DirectoryReader.h"
#include "platform/PathUtil.h"
#include "platform/Trash.h"
#include "platform/TreeWalk.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace km {

DeleteEngine::DeleteEngine(FileOpUi& ui, bool recycle, bool confirmNonEmptyDirs)
    : ui_(ui), recycle_(recycle), confirmDirs_(confirmNonEmptyDirs) {}

void DeleteEngine::report(const std::string& path, int err) {
    ui_.Message("Error deleting " + path + "\n" + ErrorText(err), false);
}

bool DeleteEngine::DeleteFile(const std::string& path) {
    if (recycle_) {
        if (const int err = MoveToTrash(path)) {
            ui_.Message("Error deleting " + path +
                            "\nCannot move it to the trash: " + ErrorText(err),
                        false);
            return false;
        }
        return true;
    }
    if (unlink(path.c_str()) != 0) {
        report(path, errno);
        return false;
    }
    return true;
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
    if (lstat(dir.c_str(), &st) != 0) {
        report(dir, errno);
        return 1;
    }
    if (S_ISLNK(st.st_mode)) // a link to a directory goes, its target stays
        return DeleteFile(dir) ? 0 : 1;
    if (!recycle_)
        return deletePermanently(dir);
    // Whole, so the desktop's trash restores it as the folder it was: spread
    // over the trash file by file it could not be put together again.
    bool noTrash = false;
    const int err = MoveToTrash(dir, &noTrash);
    if (err == 0)
        return 0;
    if (!noTrash) {
        ui_.Message("Error deleting " + dir + "\nCannot move it to the trash: " + ErrorText(err),
                    false);
        return 1;
    }
    if (!ui_.AskYesNo("There is no usable trash for " + dir + " (" + ErrorText(err) +
                      "). Delete it permanently?"))
        return 1;
    return deletePermanently(dir);
}

int DeleteEngine::deletePermanently(const std::string& dir) {
    // The folder the user chose is reached by its path; everything below it
    // by descriptors from there.
    const int parent = open(ParentPath(dir).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const std::string name(BaseName(dir));
    const int fd = parent >= 0 ? OpenChildDirectory(parent, name.c_str()) : -1;
    if (fd < 0) {
        report(dir, errno);
        if (parent >= 0)
            close(parent);
        return 1;
    }
    keepOpen_ = WalkLevelsKeptOpen();
    Outcome outcome;
    {
        WalkLevel top(fd);
        outcome = emptyDirectory(top, dir, 1);
    }
    int result = 0;
    if (unlinkat(parent, name.c_str(), AT_REMOVEDIR) != 0) {
        // Left non-empty by failures already reported: no second word on it.
        if (!((errno == ENOTEMPTY || errno == EEXIST) && outcome.reported))
            report(dir, errno);
        result = 1;
    }
    close(parent);
    return result;
}

DeleteEngine::Outcome DeleteEngine::emptyDirectory(WalkLevel& level, const std::string& path,
                                                   int depth) {
    Outcome outcome;
    std::vector<DirectoryChild> children;
    if (const int err = ReadDirectoryChildren(level.fd(), children)) {
        report(path, err);
        outcome.reported = true;
        return outcome;
    }
    for (auto& c : children) {
        if (c.type == DT_UNKNOWN) { // some file systems do not say
            struct stat cs;
            c.type = fstatat(level.fd(), c.name.c_str(), &cs, AT_SYMLINK_NOFOLLOW) == 0 &&
                             S_ISDIR(cs.st_mode)
                         ? DT_DIR
                         : DT_REG;
        }
    }
    // Files first, by name relative to this directory: no path walk per file.
    for (const auto& c : children) {
        if (c.type == DT_DIR || cancelled_)
            continue;
        const std::string child = JoinPath(path, c.name);
        ui_.ShowPaths(child, {});
        if (unlinkat(level.fd(), c.name.c_str(), 0) != 0) {
            report(child, errno);
            outcome.reported = true;
        }
    }
    const bool park = depth >= keepOpen_;
    for (const auto& c : children) {
        if (c.type != DT_DIR)
            continue;
        const std::string child = JoinPath(path, c.name);
        ui_.ShowPaths(child, {});
        if (ui_.Pump())
            cancelled_ = true;
        if (cancelled_)
            break;
        const int fd = OpenChildDirectory(level.fd(), c.name.c_str());
        if (fd < 0) {
            // Swapped for a link or a file meanwhile: that goes as it is now.
            const bool swapped = errno == ELOOP || errno == ENOTDIR;
            if (!swapped || unlinkat(level.fd(), c.name.c_str(), 0) != 0) {
                report(child, errno);
                outcome.reported = true;
            }
            continue;
        }
        Outcome below;
        {
            WalkLevel sub(fd);
            if (park)
                level.Park();
            below = emptyDirectory(sub, child, depth + 1);
            // A parked level comes back through the child's "..", which must
            // still be this directory; a lost child cannot lead back at all.
            if (park && (below.lost || level.Restore(sub.fd()) != 0)) {
                if (!below.lost)
                    ui_.Message("Error deleting " + path +
                                    "\nThe folder was moved while it was being deleted",
                                false);
                outcome.reported = outcome.lost = true;
                return outcome;
            }
        }
        outcome.reported |= below.reported || below.lost;
        if (unlinkat(level.fd(), c.name.c_str(), AT_REMOVEDIR) != 0) {
            if (!((errno == ENOTEMPTY || errno == EEXIST) && below.reported)) {
                report(child, errno);
                outcome.reported = true;
            }
        }
    }
    return outcome;
}

} // namespace km
