#include "fileops/CopyEngine.h"

#include "fileops/DeleteEngine.h"
#include "fileops/RenamePattern.h"
#include "platform/DirectoryReader.h"
#include "platform/PathUtil.h"
#include "platform/ReplacementFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace km {
namespace {

constexpr size_t kBufferSize = 0x10000;
constexpr size_t kReadSize = 0xFFFF;
constexpr size_t kKernelChunk = 8u << 20; // per copy_file_range call, between pumps
// copyTree's result when entries were skipped but the walk went on.
constexpr int Incomplete = 2;

std::string dirPart(const std::string& p) {
    const size_t slash = p.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? "/" : p.substr(0, slash);
}

std::string lastPart(const std::string& p) {
    const size_t slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

// Is `inner` the same as or below `outer`, compared by real paths?
bool isWithin(const std::string& inner, const std::string& outer) {
    char a[PATH_MAX], b[PATH_MAX];
    if (!realpath(outer.c_str(), b))
        return false;
    // `inner` may not exist yet: resolve its nearest existing ancestor.
    std::string probe = inner, rest;
    while (!realpath(probe.c_str(), a)) {
        if (probe == "/" || probe.empty())
            return false;
        rest = "/" + lastPart(probe) + rest;
        probe = dirPart(probe);
    }
    const std::string full = std::string(a) + rest, top = b;
    return full == top || full.rfind(top + "/", 0) == 0;
}

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0)
            close(fd);
    }
};

} // namespace

CopyEngine::CopyEngine(FileOpUi& ui) : ui_(ui) {}

bool CopyEngine::pump() {
    if (ui_.Pump())
        cancelled_ = true;
    return cancelled_;
}

std::string CopyEngine::TargetName(const std::string& source, const std::string& target,
                                   bool intoDirectory) {
    const std::string name = lastPart(source);
    if (intoDirectory)
        return target.empty() ? name : JoinPath(target, name);
    const std::string dir = dirPart(target);
    const std::string renamed = ApplyRenamePattern(name, lastPart(target));
    return dir.empty() ? renamed : JoinPath(dir, renamed);
}

void CopyEngine::skipSpecial(const std::string& path) {
    // Reading a FIFO or a device would block or never end.
    ui_.Message("Skipped special file " + path, false);
}

int CopyEngine::checkExisting(const struct stat& s, const std::string& dest, bool& targetExisted) {
    struct stat t;
    targetExisted = lstat(dest.c_str(), &t) == 0;
    if (!targetExisted)
        return GoOn;
    struct stat tf;
    const bool resolves = stat(dest.c_str(), &tf) == 0;
    const bool same = (t.st_dev == s.st_dev && t.st_ino == s.st_ino) ||
                      (resolves && tf.st_dev == s.st_dev && tf.st_ino == s.st_ino);
    // The source itself; a directory (or a link to one); a pipe, socket or
    // device that something else may be using: none is replaced by a file.
    if (same || S_ISDIR(t.st_mode) || (resolves && S_ISDIR(tf.st_mode)) ||
        !(S_ISREG(t.st_mode) || S_ISLNK(t.st_mode))) {
        ui_.Warning(4198); // "Cannot open output file"
        return CopyNotDone;
    }
    // Only a real file at least as new makes the copy needless: a dangling
    // link's own time says nothing about the data.
    if (onlyNewer && resolves && S_ISREG(tf.st_mode) && !(s.st_mtim.tv_sec > tf.st_mtim.tv_sec)) {
        return Skip;
    }
    if (!yesToAll && confirmOverwrite) {
        const struct stat& shown = resolves ? tf : t;
        OverwriteQuestion q;
        q.targetPath = dest;
        q.targetSize = static_cast<uint64_t>(shown.st_size);
        q.targetTime = shown.st_mtim.tv_sec;
        q.sourceSize = static_cast<uint64_t>(s.st_size);
        q.sourceTime = s.st_mtim.tv_sec;
        q.allowYesToAll = entryCount > 1;
        switch (ui_.AskOverwrite(q)) {
        case OverwriteYes:
            break;
        case OverwriteYesToAll:
            yesToAll = true;
            break;
        case OverwriteNo:
            yesToAll = false;
            return CopyNotDone;
        default:
            cancelled_ = true;
            yesToAll = false;
            return CopyCancelled;
        }
    }
    // Yes does not reach a file its owner protected or we may not write.
    if (!MayReplace(dest)) {
        ui_.Warning(4198);
        return CopyNotDone;
    }
    return GoOn;
}

int CopyEngine::copyData(const std::string& source, const std::string& dest, bool durable) {
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kBufferSize]());
    if (!buffer) {
        ui_.Warning(4177); // "Not enough memory"
        return CopyNotDone;
    }
    // O_NONBLOCK: a pipe put in the file's place meanwhile must not hang us.
    Fd in;
    in.fd = open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    struct stat s;
    if (in.fd < 0 || fstat(in.fd, &s) != 0) {
        ui_.Warning(4197); // "Cannot open input file"
        return CopyNotDone;
    }
    if (!S_ISREG(s.st_mode)) {
        skipSpecial(source);
        return CopyNotDone;
    }
    // The read-only attribute is not carried over: the owner may always write.
    // Set-user and set-group bits are not either: the copy is the copier's.
    ReplacementFile out;
    if (out.Create(dest, ((s.st_mode & 0777) & ~ProcessUmask()) | S_IWUSR) != 0) {
        ui_.Warning(4198);
        return CopyNotDone;
    }
    const int outFd = out.Descriptor();
    auto fail = [&](int stringId) {
        out.Discard();
        if (stringId)
            ui_.Warning(stringId);
        return CopyNotDone;
    };

    uint64_t copied = 0;
    bool kernelCopy = true;
    for (;;) {
        if (pump()) {
            fail(0);
            return CopyCancelled;
        }
        if (kernelCopy) {
            const ssize_t n = copy_file_range(in.fd, nullptr, outFd, nullptr, kKernelChunk, 0);
            if (n > 0) {
                copied += static_cast<uint64_t>(n);
                continue;
            }
            if (n == 0)
                break;
            if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
                errno == EBADF) {
                kernelCopy = false; // fall back to plain reads and writes from here
                continue;
            }
            return fail(errno == ENOSPC || errno == EDQUOT || errno == EFBIG ? 4200 : 4199);
        }
        const ssize_t got = read(in.fd, buffer.get(), kReadSize);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return fail(4199); // "Error reading input file"
        }
        if (got == 0)
            break;
        ssize_t done = 0;
        while (done < got) {
            const ssize_t w = write(outFd, buffer.get() + done, static_cast<size_t>(got - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                return fail(4200); // "Error writing output file"
            done += w;
        }
        copied += static_cast<uint64_t>(got);
    }
    // A source that shrank or grew while we read it gave no faithful copy.
    struct stat after;
    if (fstat(in.fd, &after) != 0 || static_cast<uint64_t>(after.st_size) != copied)
        return fail(4199);
    const struct timespec times[2] = {s.st_atim, s.st_mtim};
    futimens(outFd, times);
    const int err = out.Commit(durable);
    if (err != 0) {
        const bool full = err == ENOSPC || err == EDQUOT || err == EFBIG || err == EIO;
        ui_.Warning(full ? 4200 : 4198);
        return CopyNotDone;
    }
    return CopyDone;
}

int CopyEngine::writeLink(const std::string& source, const std::string& dest, bool targetExisted) {
    std::vector<char> buf(PATH_MAX + 1);
    const ssize_t n = readlink(source.c_str(), buf.data(), buf.size() - 1);
    if (n < 0) {
        ui_.Warning(4197);
        return CopyNotDone;
    }
    if (ReplaceWithSymlink(dest, std::string(buf.data(), static_cast<size_t>(n)), targetExisted) !=
        0) {
        ui_.Warning(4198);
        return CopyNotDone;
    }
    return CopyDone;
}

int CopyEngine::copyLink(const std::string& source, const std::string& dest) {
    struct stat s;
    if (lstat(source.c_str(), &s) != 0) {
        ui_.Warning(4197);
        return CopyNotDone;
    }
    bool existed = false;
    const int verdict = checkExisting(s, dest, existed);
    if (verdict == Skip)
        return CopyDone;
    if (verdict != GoOn)
        return verdict;
    ui_.ShowPaths(source, dest);
    return writeLink(source, dest, existed);
}

int CopyEngine::CopyOneFile(const std::string& source, const std::string& target,
                            bool intoDirectory) {
    const std::string dest = TargetName(source, target, intoDirectory);
    struct stat s; // a link named at the top is followed: the user pointed at its file
    if (stat(source.c_str(), &s) != 0) {
        ui_.Warning(4197);
        return CopyNotDone;
    }
    if (!S_ISREG(s.st_mode)) {
        skipSpecial(source);
        return CopyNotDone;
    }
    bool existed = false;
    const int verdict = checkExisting(s, dest, existed);
    if (verdict == Skip)
        return CopyDone;
    if (verdict != GoOn)
        return verdict;
    ui_.ShowPaths(source, dest);
    // Replacing a file destroys its old contents: make the new ones durable first.
    return copyData(source, dest, existed);
}

int CopyEngine::copyTree(const std::string& sourceDir, const std::string& newDir) {
    if (!IsExistingDirectory(newDir) && MakePath(newDir) != 0) {
        ui_.Message("Error creating directory " + newDir, false);
        return CopyNotDone;
    }
    yesToAll = false;
    entryCount = 2;
    DIR* d = opendir(sourceDir.c_str());
    if (!d) {
        ui_.Message(ErrorText(errno) + ": " + sourceDir, true);
        return CopyNotDone;
    }
    std::vector<std::pair<std::string, mode_t>> children;
    while (dirent* e = readdir(d)) {
        const std::string n = e->d_name;
        if (n == "." || n == "..")
            continue;
        struct stat st;
        const std::string child = JoinPath(sourceDir, n);
        if (lstat(child.c_str(), &st) == 0)
            children.emplace_back(child, st.st_mode);
    }
    closedir(d);
    bool complete = true;
    for (const auto& [child, mode] : children) {
        const std::string dest = JoinPath(newDir, lastPart(child));
        int r;
        if (S_ISDIR(mode)) {
            r = copyTree(child, dest);
        } else if (S_ISLNK(mode)) {
            r = copyLink(child, dest); // never followed: it may lead out of the tree
        } else if (S_ISREG(mode)) {
            r = CopyOneFile(child, newDir, true);
        } else {
            skipSpecial(child);
            r = Incomplete;
        }
        if (r == Incomplete) {
            complete = false;
            r = CopyDone;
        }
        if (r != CopyDone || cancelled_)
            return CopyNotDone;
    }
    return complete ? CopyDone : Incomplete;
}

int CopyEngine::CopyTree(const std::string& sourceDir, const std::string& target,
                         bool intoDirectory) {
    const std::string newDir = TargetName(sourceDir, target, intoDirectory);
    if (isWithin(newDir, sourceDir)) {
        ui_.Message("Cannot copy the directory " + sourceDir + " into itself", false);
        return CopyNotDone;
    }
    struct stat ls;
    if (lstat(sourceDir.c_str(), &ls) == 0 && S_ISLNK(ls.st_mode))
        return copyLink(sourceDir, newDir); // never follow a link to a directory
    return copyTree(sourceDir, newDir) == CopyDone ? CopyDone : CopyNotDone;
}

int CopyEngine::MoveOneFile(const std::string& source, const std::string& target,
                            bool intoDirectory) {
    const std::string dest = TargetName(source, target, intoDirectory);
    struct stat s; // the entry itself: a link moves as a link
    if (lstat(source.c_str(), &s) != 0) {
        ui_.Warning(4197);
        return CopyNotDone;
    }
    bool existed = false;
    const int verdict = checkExisting(s, dest, existed);
    if (verdict == Skip) { // the existing target is a file at least as new
        if (unlink(source.c_str()) != 0)
            ui_.Message("Error deleting " + source, false);
        return CopyDone;
    }
    if (verdict != GoOn)
        return verdict;
    ui_.ShowPaths(source, dest);
    // Within one file system a rename is atomic and instant.
    const int err = RenameInto(source, dest, existed);
    if (err == 0)
        return CopyDone;
    if (err != EXDEV) {
        ui_.Warning(4198);
        return CopyNotDone;
    }
    int r;
    if (S_ISLNK(s.st_mode)) {
        r = writeLink(source, dest, existed);
        if (r == CopyDone)
            SyncParentDirectory(dest);
    } else if (S_ISREG(s.st_mode)) {
        r = copyData(source, dest, true); // the source goes next: the copy must be on disk
    } else {
        skipSpecial(source); // kept where it is
        return CopyNotDone;
    }
    if (r == CopyDone && unlink(source.c_str()) != 0)
        ui_.Message("Error deleting " + source, false);
    return r;
}

int CopyEngine::MoveTree(const std::string& sourceDir, const std::string& target,
                         bool intoDirectory) {
    const std::string newDir = TargetName(sourceDir, target, intoDirectory);
    if (isWithin(newDir, sourceDir)) {
        ui_.Message("Cannot move the directory " + sourceDir + " into itself", false);
        return CopyDone;
    }
    struct stat st;
    if (lstat(sourceDir.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        MoveOneFile(sourceDir, target, intoDirectory); // the link moves, not what it names
        return CopyDone;
    }
    if (lstat(newDir.c_str(), &st) != 0) {
        const std::string parent = dirPart(newDir);
        if (!parent.empty() && !IsExistingDirectory(parent))
            MakePath(parent);
        ui_.ShowPaths(sourceDir, newDir);
        if (RenameInto(sourceDir, newDir, false) == 0)
            return CopyDone;
    }
    // Anything not copied (an error, a No, a skipped pipe) keeps the whole
    // source; otherwise the copy is flushed to disk before the source goes.
    if (CopyTree(sourceDir, target, intoDirectory) == CopyDone) {
        // The kernel reports a failed write-back here; then the copy may be
        // incomplete on disk and the source is the only sure copy.
        if (SyncFileSystemOf(newDir) != 0) {
            ui_.Warning(4200); // "Error writing output file"
            return CopyNotDone;
        }
        DeleteEngine del(ui_, recycle, false);
        if (del.DeleteTree(sourceDir) != 0)
            ui_.Message("Error deleting " + sourceDir, false);
    }
    return CopyDone;
}

int MakePath(const std::string& path) {
    for (size_t i = 1; i < path.size(); ++i) {
        if (path[i] == '/')
            mkdir(path.substr(0, i).c_str(), 0777);
    }
    if (mkdir(path.c_str(), 0777) == 0)
        return 0;
    return IsExistingDirectory(path) ? 0 : -1;
}

bool IsExistingDirectory(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace km
