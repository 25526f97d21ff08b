#include "fileops/CopyEngine.h"

#include "fileops/DeleteEngine.h"
#include "fileops/RenamePattern.h"
#include "platform/DirectoryReader.h"
#include "platform/PathUtil.h"
#include "platform/ReplacementFile.h"
#include "platform/TreeWalk.h"

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

} // namespace

CopyEngine::Fd::~Fd() {
    if (fd >= 0)
        close(fd);
}

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

void CopyEngine::warn(int stringId, const std::string& path, int err) {
    ui_.Warning(stringId, err ? path + "\n" + ErrorText(err) : path);
}

int CopyEngine::checkExisting(const struct stat& s, const Place& dest, bool& targetExisted) {
    struct stat t;
    targetExisted = fstatat(dest.dir, dest.name.c_str(), &t, AT_SYMLINK_NOFOLLOW) == 0;
    if (!targetExisted)
        return GoOn;
    struct stat tf;
    const bool resolves = fstatat(dest.dir, dest.name.c_str(), &tf, 0) == 0;
    const bool same = (t.st_dev == s.st_dev && t.st_ino == s.st_ino) ||
                      (resolves && tf.st_dev == s.st_dev && tf.st_ino == s.st_ino);
    // The source itself; a directory (or a link to one); a pipe, socket or
    // device that something else may be using: none is replaced by a file.
    if (same || S_ISDIR(t.st_mode) || (resolves && S_ISDIR(tf.st_mode)) ||
        !(S_ISREG(t.st_mode) || S_ISLNK(t.st_mode))) {
        warn(4198, dest.path); // "Cannot open output file"
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
        q.targetPath = dest.path;
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
    if (!MayReplaceAt(dest.dir, dest.name)) {
        warn(4198, dest.path);
        return CopyNotDone;
    }
    return GoOn;
}

int CopyEngine::copyFile(const Place& source, bool follow, const Place& dest, bool durable,
                         bool checked) {
    ui_.ShowPaths(source.path, dest.path);
    // O_NONBLOCK: a pipe put in the file's place meanwhile must not hang us.
    Fd in;
    in.fd = openat(source.dir, source.name.c_str(),
                   O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (follow ? 0 : O_NOFOLLOW));
    struct stat s;
    if (in.fd < 0 || fstat(in.fd, &s) != 0) {
        warn(4197, source.path, errno); // "Cannot open input file"
        return CopyNotDone;
    }
    if (!S_ISREG(s.st_mode)) {
        skipSpecial(source.path);
        return CopyNotDone;
    }
    // The read-only attribute is not carried over: the owner may always write.
    // Set-user and set-group bits are not either: the copy is the copier's.
    const mode_t mode = ((s.st_mode & 0777) & ~ProcessUmask()) | S_IWUSR;
    ReplacementFile out;
    // Where nothing has the name, the file is made under it at once; a move
    // keeps the temporary name, so that nothing stands at the target before
    // the copy is whole and its source may go.
    int err = durable || checked ? EEXIST : out.CreateNewAt(dest.dir, dest.name, mode);
    if (err == EEXIST) {
        bool existed = false;
        const int verdict = checked ? GoOn : checkExisting(s, dest, existed);
        if (verdict == Skip)
            return CopyDone;
        if (verdict != GoOn)
            return verdict;
        err = out.CreateAt(dest.dir, dest.name, mode);
        durable = durable || existed; // replacing destroys the old contents: make the new ones last
    }
    if (err != 0) {
        warn(4198, dest.path, err);
        return CopyNotDone;
    }
    const int r = copyData(in.fd, s, source, dest, out);
    if (r != CopyDone)
        return r;
    const struct timespec times[2] = {s.st_atim, s.st_mtim};
    futimens(out.Descriptor(), times);
    err = out.Commit(durable);
    if (err != 0) {
        const bool full = err == ENOSPC || err == EDQUOT || err == EFBIG || err == EIO;
        warn(full ? 4200 : 4198, dest.path, err);
        return CopyNotDone;
    }
    return CopyDone;
}

int CopyEngine::copyData(int in, const struct stat& s, const Place& source, const Place& dest,
                         ReplacementFile& out) {
    const int outFd = out.Descriptor();
    auto fail = [&](int stringId, const std::string& path, int err) {
        out.Discard();
        warn(stringId, path, err);
        return CopyNotDone;
    };
    const uint64_t expected = static_cast<uint64_t>(s.st_size);
    uint64_t copied = 0;
    bool kernelCopy = true;
    for (;;) {
        if (pump()) {
            out.Discard();
            return CopyCancelled;
        }
        ssize_t got;
        if (kernelCopy) {
            got = copy_file_range(in, nullptr, outFd, nullptr, kKernelChunk, 0);
            if (got < 0) {
                if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
                    errno == EBADF) {
                    kernelCopy = false; // plain reads and writes from here
                    continue;
                }
                const int err = errno;
                const bool full = err == ENOSPC || err == EDQUOT || err == EFBIG;
                return fail(full ? 4200 : 4199, full ? dest.path : source.path, err);
            }
        } else {
            if (!buffer_) {
                buffer_.reset(new (std::nothrow) char[kBufferSize]());
                if (!buffer_)
                    return fail(4177, source.path, 0); // "Not enough memory"
            }
            got = read(in, buffer_.get(), kReadSize);
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                return fail(4199, source.path, errno); // "Error reading input file"
            }
            for (ssize_t done = 0; done < got;) {
                const ssize_t w =
                    write(outFd, buffer_.get() + done, static_cast<size_t>(got - done));
                if (w < 0 && errno == EINTR)
                    continue;
                if (w <= 0)
                    return fail(4200, dest.path,
                                w < 0 ? errno : ENOSPC); // "Error writing output file"
                done += w;
            }
        }
        copied += static_cast<uint64_t>(got);
        // At the end of the data, or at the size it had: a source that shrank
        // or grew while we read it gives no faithful copy, and one read at
        // the end would only say what this says.
        if (got == 0 || copied >= expected) {
            struct stat now;
            if (fstat(in, &now) != 0)
                return fail(4199, source.path, errno);
            if (static_cast<uint64_t>(now.st_size) == copied)
                return CopyDone;
            if (got == 0 || static_cast<uint64_t>(now.st_size) < copied)
                return fail(4199, source.path, 0);
        }
    }
}

int CopyEngine::writeLink(const Place& source, const Place& dest, bool targetExisted) {
    std::vector<char> buf(PATH_MAX + 1);
    const ssize_t n = readlinkat(source.dir, source.name.c_str(), buf.data(), buf.size() - 1);
    if (n < 0) {
        warn(4197, source.path, errno);
        return CopyNotDone;
    }
    const std::string text(buf.data(), static_cast<size_t>(n));
    if (const int err = ReplaceWithSymlinkAt(dest.dir, dest.name, text, targetExisted)) {
        warn(4198, dest.path, err);
        return CopyNotDone;
    }
    return CopyDone;
}

int CopyEngine::copyLink(const Place& source, const Place& dest) {
    struct stat s;
    if (fstatat(source.dir, source.name.c_str(), &s, AT_SYMLINK_NOFOLLOW) != 0) {
        warn(4197, source.path, errno);
        return CopyNotDone;
    }
    bool existed = false;
    const int verdict = checkExisting(s, dest, existed);
    if (verdict == Skip)
        return CopyDone;
    if (verdict != GoOn)
        return verdict;
    ui_.ShowPaths(source.path, dest.path);
    return writeLink(source, dest, existed);
}

bool CopyEngine::openTargetDirectory(const std::string& dest, Fd& dir) {
    // The directory of a path the user gave, links followed: it is their choice.
    const std::string path = dirPart(dest);
    dir.fd = path.empty() ? AT_FDCWD : open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir.fd == -1)
        warn(4198, dest, errno);
    return dir.fd != -1;
}

int CopyEngine::CopyOneFile(const std::string& source, const std::string& target,
                            bool intoDirectory) {
    const std::string dest = TargetName(source, target, intoDirectory);
    Fd dir;
    if (!openTargetDirectory(dest, dir))
        return CopyNotDone;
    const std::string name = lastPart(dest);
    // A link named at the top is followed: the user pointed at its file.
    return copyFile({AT_FDCWD, source, source}, true, {dir.fd, name, dest}, false, false);
}

int CopyEngine::copySubtree(WalkLevel& source, WalkLevel& target, const std::string& name,
                            const std::string& sourcePath, const std::string& targetPath,
                            int depth) {
    // An existing directory at the target is used, a link to one followed:
    // the target tree is the user's.
    if (mkdirat(target.fd(), name.c_str(), 0777) != 0 && errno != EEXIST) {
        ui_.Message("Error creating directory " + targetPath + "\n" + ErrorText(errno), false);
        return CopyNotDone;
    }
    const int dfd = openat(target.fd(), name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) {
        ui_.Message("Error creating directory " + targetPath + "\n" + ErrorText(errno), false);
        return CopyNotDone;
    }
    WalkLevel subTarget(dfd);
    const int sfd = OpenChildDirectory(source.fd(), name.c_str());
    if (sfd < 0) {
        ui_.Message(ErrorText(errno) + ": " + sourcePath, true);
        return CopyNotDone;
    }
    WalkLevel subSource(sfd);
    const bool park = depth >= keepOpen_;
    if (park) {
        source.Park();
        target.Park();
    }
    const int r = copyTree(subSource, sourcePath, subTarget, targetPath, depth + 1);
    if (park && (source.Restore(subSource.fd()) != 0 || target.Restore(subTarget.fd()) != 0)) {
        if (!lost_)
            ui_.Message("The folder " + sourcePath + " or its copy was moved while it was copied",
                        false);
        lost_ = true;
        return CopyNotDone;
    }
    return r;
}

int CopyEngine::copyTree(WalkLevel& source, const std::string& sourcePath, WalkLevel& target,
                         const std::string& targetPath, int depth) {
    yesToAll = false;
    entryCount = 2;
    std::vector<DirectoryChild> children;
    if (const int err = ReadDirectoryChildren(source.fd(), children)) {
        ui_.Message(ErrorText(err) + ": " + sourcePath, true);
        return CopyNotDone;
    }
    bool complete = true;
    for (const auto& c : children) {
        unsigned char type = c.type;
        if (type == DT_UNKNOWN) { // some file systems do not say
            struct stat st;
            if (fstatat(source.fd(), c.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            type = S_ISDIR(st.st_mode)   ? DT_DIR
                   : S_ISLNK(st.st_mode) ? DT_LNK
                   : S_ISREG(st.st_mode) ? DT_REG
                                         : DT_UNKNOWN;
        }
        const std::string from = JoinPath(sourcePath, c.name), to = JoinPath(targetPath, c.name);
        int r;
        if (type == DT_DIR) {
            r = copySubtree(source, target, c.name, from, to, depth);
        } else if (type == DT_LNK) {
            // never followed: it may lead out of the tree
            r = copyLink({source.fd(), c.name, from}, {target.fd(), c.name, to});
        } else if (type == DT_REG) {
            r = copyFile({source.fd(), c.name, from}, false, {target.fd(), c.name, to}, false,
                         false);
        } else {
            skipSpecial(from);
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
    if (lstat(sourceDir.c_str(), &ls) == 0 && S_ISLNK(ls.st_mode)) {
        Fd dir; // never follow a link to a directory
        if (!openTargetDirectory(newDir, dir))
            return CopyNotDone;
        const std::string name = lastPart(newDir);
        return copyLink({AT_FDCWD, sourceDir, sourceDir}, {dir.fd, name, newDir});
    }
    if (!IsExistingDirectory(newDir) && MakePath(newDir) != 0) {
        ui_.Message("Error creating directory " + newDir, false);
        return CopyNotDone;
    }
    const int dfd = open(newDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) {
        ui_.Message("Error creating directory " + newDir + "\n" + ErrorText(errno), false);
        return CopyNotDone;
    }
    WalkLevel targetLevel(dfd);
    const int sfd = open(sourceDir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (sfd < 0) {
        ui_.Message(ErrorText(errno) + ": " + sourceDir, true);
        return CopyNotDone;
    }
    WalkLevel sourceLevel(sfd);
    keepOpen_ = WalkLevelsKeptOpen();
    lost_ = false;
    return copyTree(sourceLevel, sourceDir, targetLevel, newDir, 1) == CopyDone ? CopyDone
                                                                                : CopyNotDone;
}

int CopyEngine::MoveOneFile(const std::string& source, const std::string& target,
                            bool intoDirectory) {
    const std::string dest = TargetName(source, target, intoDirectory);
    Fd dir;
    if (!openTargetDirectory(dest, dir))
        return CopyNotDone;
    const std::string name = lastPart(dest);
    const Place to{dir.fd, name, dest};
    struct stat s; // the entry itself: a link moves as a link
    if (lstat(source.c_str(), &s) != 0) {
        warn(4197, source, errno);
        return CopyNotDone;
    }
    bool existed = false;
    const int verdict = checkExisting(s, to, existed);
    if (verdict == Skip) { // the existing target is a file at least as new
        if (unlink(source.c_str()) != 0)
            ui_.Message("Error deleting " + source + "\n" + ErrorText(errno), false);
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
        warn(4198, dest, err);
        return CopyNotDone;
    }
    int r;
    const Place from{AT_FDCWD, source, source};
    if (S_ISLNK(s.st_mode)) {
        r = writeLink(from, to, existed);
        if (r == CopyDone)
            SyncParentDirectory(dest);
    } else if (S_ISREG(s.st_mode)) {
        r = copyFile(from, false, to, true, true); // the source goes next: the copy must be on disk
    } else {
        skipSpecial(source); // kept where it is
        return CopyNotDone;
    }
    if (r == CopyDone && unlink(source.c_str()) != 0)
        ui_.Message("Error deleting " + source + "\n" + ErrorText(errno), false);
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
        if (const int err = SyncFileSystemOf(newDir)) {
            warn(4200, newDir, err); // "Error writing output file"
            return CopyNotDone;
        }
        DeleteEngine del(ui_, recycle, false);
        del.DeleteTree(sourceDir); // reports whatever stays
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
