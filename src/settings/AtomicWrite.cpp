#include "settings/AtomicWrite.h"

#include "platform/ReplacementFile.h"

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
    if (dir != "." && !MakeDirectories(dir, error))
        return false;

    ReplacementFile file;
    int err = file.Create(target, 0600);
    if (err != 0) {
        error = Describe("cannot create a temporary file in", dir, err);
        return false;
    }
    if ((err = file.Write(data.data(), data.size())) != 0) {
        error = Describe("cannot write", file.TempPath(), err);
        return false;
    }
    if ((err = file.Commit(true)) != 0) {
        error = Describe("cannot replace", target, err);
        return false;
    }
    return true;
}

} // namespace km
