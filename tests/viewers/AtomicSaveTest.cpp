#include "viewers/AtomicSave.h"

#include "support/TempDir.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace km;
using km::test::ReadAll;
using km::test::TempDir;
using km::test::WriteAll;

namespace {

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

size_t EntriesIn(const std::string& dir) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir))
        ++n;
    return n;
}

// Root ignores permission bits, so a locked directory proves nothing for it.
bool PermissionsBind(const std::string& lockedDir) {
    const std::string probe = lockedDir + "/probe";
    const int fd = ::open(probe.c_str(), O_CREAT | O_WRONLY, 0600);
    if (fd < 0)
        return true;
    ::close(fd);
    ::unlink(probe.c_str());
    return false;
}

// Sets the immutable flag on a directory for the guard's lifetime.
struct Immutable {
    explicit Immutable(std::string path) : path_(std::move(path)) {
        if (!path_.empty())
            set = change(true);
    }
    ~Immutable() { clear(); }
    void clear() {
        if (set)
            set = !change(false);
    }
    bool set = false;

private:
    bool change(bool on) {
        const int fd = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return false;
        int flags = 0;
        bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(fd);
        return ok;
    }
    std::string path_;
};

} // namespace

TEST(AtomicSave, ReplacesTheFileKeepingModeAttributesAndLinks) {
    TempDir dir;
    const std::string file = dir.file("notes.txt");
    WriteAll(file, "old contents that are longer");
    ::chmod(file.c_str(), 0640);
    const bool xattrs = ::setxattr(file.c_str(), "user.DOSATTRIB", "0x2", 3, 0) == 0;
    ASSERT_EQ(::symlink("notes.txt", dir.file("link").c_str()), 0);

    EXPECT_EQ(SaveFileAtomically(dir.file("link"), "new"), 0);
    EXPECT_EQ(ReadAll(file), "new");
    EXPECT_EQ(ModeOf(file), 0640u);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link")));
    if (xattrs) {
        char value[8] = {};
        EXPECT_EQ(::getxattr(file.c_str(), "user.DOSATTRIB", value, sizeof value), 3);
        EXPECT_STREQ(value, "0x2");
    }
    EXPECT_EQ(EntriesIn(dir.path()), 2u) << "a temporary file was left behind";
}

TEST(AtomicSave, NewFileGetsTheUsualModeLessTheUmask) {
    TempDir dir;
    const mode_t old = ::umask(027);
    EXPECT_EQ(SaveFileAtomically(dir.file("new.txt"), ""), 0);
    ::umask(old);
    EXPECT_EQ(ModeOf(dir.file("new.txt")), 0640u);
    EXPECT_EQ(ReadAll(dir.file("new.txt")), "");
}

TEST(AtomicSave, FailedWriteLeavesTheOriginalAndNoTemporaryFile) {
    TempDir dir;
    const std::string file = dir.file("big.txt");
    WriteAll(file, "original");
    // A file size limit makes the write fail part way, like a full disk.
    struct rlimit saved {};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    struct rlimit small = saved;
    small.rlim_cur = 16;
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const int err = SaveFileAtomically(file, std::string(4096, 'x'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(err, EFBIG);
    EXPECT_EQ(ReadAll(file), "original");
    EXPECT_EQ(EntriesIn(dir.path()), 1u);
}

TEST(AtomicSave, RefusesWhatItCannotSafelyReplace) {
    TempDir dir;
    EXPECT_EQ(SaveFileAtomically(dir.path(), "x"), EISDIR);
    EXPECT_EQ(SaveFileAtomically(dir.file("missing/dir/file"), "x"), ENOENT);
    EXPECT_EQ(SaveFileAtomically("", "x"), ENOENT);
    EXPECT_EQ(SaveFileAtomically("/dev/null", "x"), EINVAL); // would become a plain file
}

TEST(AtomicSave, LockedDirectoryOrReadOnlyFileIsLeftAlone) {
    TempDir dir;
    const std::string locked = dir.file("locked");
    ASSERT_EQ(::mkdir(locked.c_str(), 0700), 0);
    const std::string file = locked + "/file.txt";
    WriteAll(file, "keep");
    ::chmod(locked.c_str(), 0500);
    const bool bits = PermissionsBind(locked);
    // Root passes permission bits; the immutable flag stops it too.
    Immutable immutable(bits ? std::string() : locked);
    if (!bits && !immutable.set)
        GTEST_SKIP() << "cannot lock a directory against this user";

    const int err = SaveFileAtomically(file, "changed");
    EXPECT_TRUE(err == EACCES || err == EPERM) << err;
    EXPECT_EQ(ReadAll(file), "keep");
    immutable.clear();
    ::chmod(locked.c_str(), 0700);
    EXPECT_EQ(EntriesIn(locked), 1u);
    if (!bits)
        return;
    // A read-only file in a writable directory is not replaced behind its back.
    ::chmod(file.c_str(), 0400);
    EXPECT_EQ(SaveFileAtomically(file, "changed"), EACCES);
    EXPECT_EQ(ReadAll(file), "keep");
}
