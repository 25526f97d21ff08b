#include "settings/AtomicWrite.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace km {

namespace {

std::string Describe(std::string_view what, const std::string& path, int err) {
    return std::string(what) + " " + path + ": " + std::strerror(err);
}

// mkdir -p; only the directories created here get 0700, existing ones are left alone.
bool MakeDirectories(const std::string& dir, std::string& error) {
    for (size_t pos = 1; pos <= dir.size(); ++pos) {
        if (pos != dir.size() && dir[pos] != '/')
            continue;
        std::string part = dir.substr(0, pos);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            error = Describe("cannot create directory", part, errno);
            return false;
        }
    }
    return true;
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

std::string TargetOf(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            std::string target(real);
            std::free(real);
            return target;
        }
    }
    return path;
}

} // namespace

bool AtomicWrite(const std::string& path, std::string_view data, std::string& error) {
    std::string target = TargetOf(path);
    size_t slash = target.rfind('/');
    std::string dir =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    if (dir != "." && !MakeDirectories(dir, error))
        return false;

    std::string temp = dir + "/." + base + ".XXXXXX";
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        error = Describe("cannot create a temporary file in", dir, errno);
        return false;
    }
    auto abandon = [&](std::string_view what, const std::string& name) {
        int err = errno;
        if (fd >= 0)
            ::close(fd);
        ::unlink(temp.c_str());
        error = Describe(what, name, err);
        return false;
    };
    if (::fchmod(fd, 0600) != 0)
        return abandon("cannot set the mode of", temp);
    if (!WriteAll(fd, data))
        return abandon("cannot write", temp);
    if (::fsync(fd) != 0)
        return abandon("cannot sync", temp);
    int closed = ::close(fd);
    fd = -1;
    if (closed != 0)
        return abandon("cannot close", temp);
    if (::rename(temp.c_str(), target.c_str()) != 0)
        return abandon("cannot replace", target);

    // The new file is complete and in place; a directory that refuses fsync
    // only weakens durability, so it does not turn the write into a failure.
    int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

} // namespace km
