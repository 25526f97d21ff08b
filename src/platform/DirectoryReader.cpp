#include "platform/DirectoryReader.h"

#include "platform/FileAttributes.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace km {

std::string ErrorText(int err) {
    char buf[256];
    // GNU strerror_r may return a static string rather than fill buf.
    const char* s = strerror_r(err, buf, sizeof buf);
    return s ? std::string(s) : std::string("Error ") + std::to_string(err);
}

DirReadResult ReadDirectoryEntries(const std::string& dirPath, std::vector<DirEntryInfo>& out) {
    return ReadDirectoryEntries(dirPath, [&out](DirEntryInfo&& e) {
        out.push_back(std::move(e));
        return true;
    });
}

DirReadResult ReadDirectoryEntries(const std::string& dirPath,
                                   const std::function<bool(DirEntryInfo&&)>& sink) {
    DirReadResult result;
    const int fd = open(dirPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        result.error = errno;
        result.errorText = ErrorText(result.error);
        return result;
    }
    DIR* dir = fdopendir(fd);
    if (!dir) {
        result.error = errno;
        result.errorText = ErrorText(result.error);
        close(fd);
        return result;
    }
    std::string full = dirPath;
    if (full.empty() || full.back() != '/')
        full += '/';
    const size_t baseLen = full.size();

    errno = 0;
    while (dirent* d = readdir(dir)) {
        const char* n = d->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
            continue;
        struct stat st;
        if (fstatat(fd, n, &st, 0) != 0 && fstatat(fd, n, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue; // vanished between readdir and stat
        DirEntryInfo e;
        e.name = n;
        e.isDirectory = S_ISDIR(st.st_mode);
        e.size = e.isDirectory ? 0 : static_cast<uint64_t>(st.st_size);
        e.lastWrite = FileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
        full.resize(baseLen);
        full += n;
        e.attributes = ReadAttributes(full.c_str(), e.name, st);
        if (!sink(std::move(e))) {
            errno = 0; // stopped by the caller, not a failure
            break;
        }
        errno = 0;
    }
    if (errno != 0) {
        result.error = errno;
        result.errorText = ErrorText(result.error);
    }
    closedir(dir);
    return result;
}

} // namespace km
