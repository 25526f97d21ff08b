#include "platform/FileAttributes.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <linux/magic.h>
#include <linux/msdos_fs.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace km {
namespace {

constexpr const char* kDosAttribName = "user.DOSATTRIB";
constexpr uint32_t kStoredBits = AttrHidden | AttrSystem | AttrArchive;

std::string_view BaseNameOf(const std::string& path) {
    std::string_view p(path);
    while (p.size() > 1 && p.back() == '/')
        p.remove_suffix(1);
    const size_t slash = p.rfind('/');
    return slash == std::string_view::npos ? p : p.substr(slash + 1);
}

bool IsFatVolume(const char* path) {
    struct statfs fs;
    return statfs(path, &fs) == 0 && fs.f_type == MSDOS_SUPER_MAGIC;
}

bool ReadFatAttributes(const char* path, uint32_t& bits) {
    if (!IsFatVolume(path))
        return false;
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &bits) == 0;
    close(fd);
    return ok;
}

// vfat keeps the real DOS bits; the ioctl changes read-only there too.
int WriteFatAttributes(const std::string& path, uint32_t attributes) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    uint32_t bits = 0;
    int err = 0;
    if (ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &bits) != 0) {
        err = errno;
    } else {
        bits = (bits & ~kWritableAttributes) | (attributes & kWritableAttributes);
        if (ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &bits) != 0)
            err = errno;
    }
    close(fd);
    return err;
}

} // namespace

uint32_t ParseDosAttrib(std::string_view text) {
    // Samba writes "0x20" as text, sometimes with a trailing NUL.
    while (!text.empty() && text.back() == '\0')
        text.remove_suffix(1);
    if (text.size() < 3 || text.size() > 10 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
        return 0;
    uint32_t v = 0;
    for (char c : text.substr(2)) {
        uint32_t d;
        if (c >= '0' && c <= '9')
            d = static_cast<uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            d = static_cast<uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            d = static_cast<uint32_t>(c - 'A' + 10);
        else
            return 0;
        v = v * 16 + d;
    }
    return v;
}

uint32_t ReadAttributes(const char* path, std::string_view baseName, const struct stat& st) {
    uint32_t attrs = 0;
    if ((st.st_mode & S_IWUSR) == 0)
        attrs |= AttrReadOnly;
    if (S_ISDIR(st.st_mode))
        attrs |= AttrDirectory;
    if (!baseName.empty() && baseName[0] == '.')
        attrs |= AttrHidden;
    char buf[32];
    const ssize_t n = getxattr(path, "user.DOSATTRIB", buf, sizeof buf);
    if (n > 0)
        attrs |= ParseDosAttrib(std::string_view(buf, static_cast<size_t>(n))) &
                 (AttrHidden | AttrSystem | AttrArchive);
    // vfat has no user attributes but the DOS bits themselves; asked only
    // then, so other file systems pay nothing for it.
    uint32_t fat = 0;
    if (n < 0 && errno == EOPNOTSUPP && ReadFatAttributes(path, fat))
        attrs |= fat & (AttrHidden | AttrSystem | AttrArchive);
    return attrs;
}

int ReadPathAttributes(const std::string& path, uint32_t& attributes, int64_t* modified) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return errno;
    attributes = ReadAttributes(path.c_str(), BaseNameOf(path), st);
    if (modified)
        *modified = static_cast<int64_t>(st.st_mtim.tv_sec);
    return 0;
}

int WriteAttributes(const std::string& path, uint32_t attributes) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return errno;
    // The dot keeps such an entry hidden whatever is stored; saying it was
    // made visible would be false.
    const std::string_view name = BaseNameOf(path);
    const bool dotName = !name.empty() && name[0] == '.';
    if (dotName && !(attributes & AttrHidden))
        return EPERM;
    if (IsFatVolume(path.c_str()))
        return WriteFatAttributes(path, attributes);

    char buf[64];
    const ssize_t n = getxattr(path.c_str(), kDosAttribName, buf, sizeof buf);
    // Anything unreadable (none, unsupported, a binary blob) counts as no stored bits.
    const uint32_t stored =
        n > 0 ? ParseDosAttrib(std::string_view(buf, static_cast<size_t>(n))) : 0;
    uint32_t wantStored = (stored & ~kStoredBits) | (attributes & kStoredBits);
    // A leading dot already makes the entry hidden; storing it as well would
    // need attribute support for nothing.
    if (dotName)
        wantStored = (wantStored & ~static_cast<uint32_t>(AttrHidden)) | (stored & AttrHidden);

    const mode_t mode = st.st_mode & 07777;
    const mode_t wantMode =
        (attributes & AttrReadOnly) ? (mode & ~static_cast<mode_t>(0222)) : (mode | S_IWUSR);
    mode_t now = mode;
    if (wantStored != stored) {
        // A user attribute needs write permission on the entry: lend the
        // owner write bit for the moment the attribute is written.
        if ((mode & S_IWUSR) == 0) {
            if (chmod(path.c_str(), mode | S_IWUSR) != 0)
                return errno;
            now = mode | S_IWUSR;
        }
        char text[16];
        const int len = std::snprintf(text, sizeof text, "0x%x", wantStored);
        if (setxattr(path.c_str(), kDosAttribName, text, static_cast<size_t>(len), 0) != 0) {
            const int err = errno;
            if (now != mode)
                chmod(path.c_str(), mode);
            return err;
        }
    }
    if (now != wantMode && chmod(path.c_str(), wantMode) != 0)
        return errno;
    return 0;
}

int SetModificationTime(const std::string& path, int64_t seconds) {
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(seconds);
    times[1].tv_nsec = 0;
    // Links followed: the panels show (and chmod changes) the target.
    if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
        return errno;
    return 0;
}

} // namespace km
