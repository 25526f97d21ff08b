#include "platform/DirectoryReader.h"

#include "platform/FileAttributes.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <mutex>
#include <thread>
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

namespace {

// Describes `name` in the directory open as `fd` (whose path with a slash is
// `full` up to `baseLen`); false when it vanished since it was listed.
bool describe(int fd, std::string& full, size_t baseLen, std::string&& name, DirEntryInfo& e) {
    struct stat st;
    if (fstatat(fd, name.c_str(), &st, 0) != 0 && fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    e.isDirectory = S_ISDIR(st.st_mode);
    e.size = e.isDirectory ? 0 : static_cast<uint64_t>(st.st_size);
    e.lastWrite = FileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    full.resize(baseLen);
    full += name;
    e.name = std::move(name);
    e.attributes = ReadAttributes(full.c_str(), e.name, st);
    return true;
}

} // namespace

DirReadResult ReadDirectoryBlocks(const std::string& dirPath,
                                  const std::function<bool(std::vector<DirEntryInfo>&)>& sink) {
    DirReadResult result;
    const int fd = open(dirPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = fd < 0 ? nullptr : fdopendir(fd);
    if (!dir) {
        result.error = errno;
        result.errorText = ErrorText(result.error);
        if (fd >= 0)
            close(fd);
        return result;
    }
    std::string base = dirPath;
    if (base.empty() || base.back() != '/')
        base += '/';

    std::mutex mutex;
    std::condition_variable ready;
    std::deque<std::vector<std::string>> blocks;
    bool allRead = false;
    bool stop = false;
    const auto work = [&](bool untilEmpty) {
        std::string full = base;
        for (;;) {
            std::vector<std::string> names;
            {
                std::unique_lock lock(mutex);
                ready.wait(lock, [&] { return stop || !blocks.empty() || allRead || untilEmpty; });
                if (stop || blocks.empty())
                    return;
                names = std::move(blocks.front());
                blocks.pop_front();
            }
            std::vector<DirEntryInfo> entries;
            entries.reserve(names.size());
            for (std::string& n : names) {
                DirEntryInfo e;
                if (describe(fd, full, base.size(), std::move(n), e))
                    entries.push_back(std::move(e));
            }
            if (!sink(entries)) {
                std::lock_guard lock(mutex);
                stop = true;
                ready.notify_all();
                return;
            }
        }
    };
    // The stat of each entry is what takes the time; the names come fast.
    const unsigned helpers = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < helpers; ++i)
        threads.emplace_back(work, false);

    // The first block is small so that the first rows show at once.
    size_t blockSize = 128;
    std::vector<std::string> block;
    errno = 0;
    while (dirent* d = readdir(dir)) {
        const char* n = d->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
            continue;
        block.emplace_back(n);
        if (block.size() >= blockSize) {
            std::lock_guard lock(mutex);
            if (stop)
                break;
            blocks.push_back(std::move(block));
            block = {};
            blockSize = 1024;
            ready.notify_one();
        }
        errno = 0;
    }
    const int readError = errno;
    {
        std::lock_guard lock(mutex);
        if (!block.empty())
            blocks.push_back(std::move(block));
        allRead = true;
        ready.notify_all();
    }
    work(true); // this thread helps with what is left
    for (std::thread& t : threads)
        t.join();
    if (readError != 0 && !stop) {
        result.error = readError;
        result.errorText = ErrorText(readError);
    }
    closedir(dir);
    return result;
}

} // namespace km
