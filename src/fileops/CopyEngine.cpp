#include "fileops/CopyEngine.h"

#include "fileops/DeleteEngine.h"
#include "fileops/RenamePattern.h"
#include "platform/DirectoryReader.h"
#include "platform/PathUtil.h"

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

CopyEngine::CopyEngine(FileOpUi& ui) : ui_(ui) {
    umask_ = umask(022);
    umask(umask_);
}

bool CopyEngine::pump() {
    if (ui_.Pump())
        cancelled_ = true;
    return cancelled_;
}

std::string CopyEngine::TargetName(const std::string& source, const std::string& target, bool intoDirectory) {
    const std::string name = lastPart(source);
    if (intoDirectory)
        return target.empty() ? name : JoinPath(target, name);
    const std::string dir = dirPart(target);
    const std::string renamed = ApplyRenamePattern(name, lastPart(target));
    return dir.empty() ? renamed : JoinPath(dir, renamed);
}

int CopyEngine::checkExisting(const std::string& source, const std::string& dest, bool forMove) {
    struct stat s, t;
    if (stat(source.c_str(), &s) != 0) {
        ui_.Warning(4197); // "Cannot open input file"
        return CopyNotDone;
    }
    if (lstat(dest.c_str(), &t) != 0)
        return -2;
    struct stat tf;
    if (stat(dest.c_str(), &tf) == 0 && tf.st_dev == s.st_dev && tf.st_ino == s.st_ino) {
        ui_.Warning(4198); // the target is the source itself
        return CopyNotDone;
    }
    if (S_ISDIR(t.st_mode)) {
        ui_.Warning(4198);
        return CopyNotDone;
    }
    if (onlyNewer && !(s.st_mtim.tv_sec > t.st_mtim.tv_sec))
        return CopyDone; // skipped: the target is not older
    if (!yesToAll && confirmOverwrite) {
        OverwriteQuestion q;
        q.targetPath = dest;
        q.targetSize = static_cast<uint64_t>(t.st_size);
        q.targetTime = t.st_mtim.tv_sec;
        q.sourceSize = static_cast<uint64_t>(s.st_size);
        q.sourceTime = s.st_mtim.tv_sec;
        q.allowYesToAll = entryCount > 1;
        switch (ui_.AskOverwrite(q)) {
        case OverwriteYes: break;
        case OverwriteYesToAll: yesToAll = true; break;
        case OverwriteNo: yesToAll = false; return CopyNotDone;
        default:
            cancelled_ = true;
            yesToAll = false;
            return CopyCancelled;
        }
    }
    (void)forMove;
    return -2;
}

int CopyEngine::copyData(const std::string& source, const std::string& dest) {
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kBufferSize]());
    if (!buffer) {
        ui_.Warning(4177); // "Not enough memory"
        return CopyNotDone;
    }
    Fd in;
    in.fd = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat s;
    if (in.fd < 0 || fstat(in.fd, &s) != 0) {
        ui_.Warning(4197);
        return CopyNotDone;
    }
    std::string dir = dirPart(dest);
    if (dir.empty())
        dir = ".";
    std::string tmp = JoinPath(dir, ".km-copy-XXXXXX");
    Fd out;
    out.fd = mkostemp(tmp.data(), O_CLOEXEC);
    if (out.fd < 0) {
        ui_.Warning(4198); // "Cannot open output file"
        return CopyNotDone;
    }
    auto fail = [&](int stringId) {
        unlink(tmp.c_str());
        if (stringId)
            ui_.Warning(stringId);
        return CopyNotDone;
    };

    bool kernelCopy = true;
    for (;;) {
        if (pump()) {
            fail(0);
            return CopyCancelled;
        }
        if (kernelCopy) {
            const ssize_t n = copy_file_range(in.fd, nullptr, out.fd, nullptr, kKernelChunk, 0);
            if (n > 0)
                continue;
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
            const ssize_t w = write(out.fd, buffer.get() + done, static_cast<size_t>(got - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                return fail(4200); // "Error writing output file"
            done += w;
        }
    }
    // The read-only attribute is not carried over: the owner may always write.
    fchmod(out.fd, ((s.st_mode & 07777) & ~umask_) | S_IWUSR);
    const struct timespec times[2] = {s.st_atim, s.st_mtim};
    futimens(out.fd, times);
    if (close(out.fd) != 0) {
        out.fd = -1;
        return fail(4200);
    }
    out.fd = -1;
    if (rename(tmp.c_str(), dest.c_str()) != 0)
        return fail(4198);
    return CopyDone;
}

int CopyEngine::copyLink(const std::string& source, const std::string& dest) {
    std::vector<char> buf(PATH_MAX + 1);
    const ssize_t n = readlink(source.c_str(), buf.data(), buf.size() - 1);
    if (n < 0) {
        ui_.Warning(4197);
        return CopyNotDone;
    }
    const std::string target(buf.data(), static_cast<size_t>(n));
    const std::string tmp = JoinPath(dirPart(dest).empty() ? "." : dirPart(dest),
                                     ".km-link-" + std::to_string(getpid()));
    unlink(tmp.c_str());
    if (symlink(target.c_str(), tmp.c_str()) != 0 || rename(tmp.c_str(), dest.c_str()) != 0) {
        unlink(tmp.c_str());
        ui_.Warning(4198);
        return CopyNotDone;
    }
    return CopyDone;
}

int CopyEngine::CopyOneFile(const std::string& source, const std::string& target, bool intoDirectory) {
    const std::string dest = TargetName(source, target, intoDirectory);
    struct stat ls;
    if (lstat(source.c_str(), &ls) == 0 && !S_ISLNK(ls.st_mode) && !S_ISREG(ls.st_mode) && !S_ISDIR(ls.st_mode)) {
        // Reading a FIFO or a device would block or never end.
        ui_.Message("Skipped special file " + source, false);
        return CopyDone;
    }
    const int existing = checkExisting(source, dest, false);
    if (existing != -2)
        return existing;
    ui_.ShowPaths(source, dest);
    return copyData(source, dest);
}

int CopyEngine::CopyTree(const std::string& sourceDir, const std::string& target, bool intoDirectory) {
    const std::string newDir = TargetName(sourceDir, target, intoDirectory);
    if (isWithin(newDir, sourceDir)) {
        ui_.Message("Cannot copy the directory " + sourceDir + " into itself", false);
        return CopyNotDone;
    }
    struct stat ls;
    if (lstat(sourceDir.c_str(), &ls) == 0 && S_ISLNK(ls.st_mode))
        return copyLink(sourceDir, newDir); // never follow a link to a directory
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
    for (const auto& [child, mode] : children) {
        int r;
        if (S_ISDIR(mode)) {
            r = CopyTree(child, newDir, true);
        } else if (S_ISLNK(mode)) {
            r = copyLink(child, JoinPath(newDir, lastPart(child)));
        } else if (S_ISREG(mode)) {
            r = CopyOneFile(child, newDir, true);
        } else {
            ui_.Message("Skipped special file " + child, false);
            r = CopyDone;
        }
        if (r != CopyDone || cancelled_)
            return CopyNotDone;
    }
    return CopyDone;
}

int CopyEngine::MoveOneFile(const std::string& source, const std::string& target, bool intoDirectory) {
    const std::string dest = TargetName(source, target, intoDirectory);
    const int existing = checkExisting(source, dest, true);
    if (existing == CopyDone && onlyNewer) {
        struct stat t;
        if (lstat(dest.c_str(), &t) == 0) { // skipped as not newer: the source goes
            if (unlink(source.c_str()) != 0)
                ui_.Message("Error deleting " + source, false);
            return CopyDone;
        }
    }
    if (existing != -2)
        return existing;
    ui_.ShowPaths(source, dest);
    // Within one file system a rename is atomic and instant.
    if (rename(source.c_str(), dest.c_str()) == 0)
        return CopyDone;
    if (errno != EXDEV) {
        ui_.Warning(4198);
        return CopyNotDone;
    }
    const int r = copyData(source, dest);
    if (r == CopyDone && unlink(source.c_str()) != 0)
        ui_.Message("Error deleting " + source, false);
    return r;
}

int CopyEngine::MoveTree(const std::string& sourceDir, const std::string& target, bool intoDirectory) {
    const std::string newDir = TargetName(sourceDir, target, intoDirectory);
    if (isWithin(newDir, sourceDir)) {
        ui_.Message("Cannot move the directory " + sourceDir + " into itself", false);
        return CopyDone;
    }
    struct stat st;
    if (lstat(newDir.c_str(), &st) != 0) {
        const std::string parent = dirPart(newDir);
        if (!parent.empty() && !IsExistingDirectory(parent))
            MakePath(parent);
        ui_.ShowPaths(sourceDir, newDir);
        if (rename(sourceDir.c_str(), newDir.c_str()) == 0)
            return CopyDone;
    }
    if (CopyTree(sourceDir, target, intoDirectory) == CopyDone) {
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
