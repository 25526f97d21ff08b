#pragma once
// The new archive's temporary file: buffered appends, and rewrites of bytes already written
// (local headers, once an entry's sizes are known).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace km::zip {

class ZipArchiveWriter {
public:
    ~ZipArchiveWriter();

    // A new file "~az" + random in `directory` (mode 0600 until the caller changes it).
    bool Create(const std::string& directory);
    const std::string& path() const { return path_; }
    int fd() const { return fd_; }
    uint64_t offset() const { return offset_; }

    // False on any write error; the file is then unusable.
    bool Write(const void* data, size_t length);
    bool RewriteAt(uint64_t at, const void* data, size_t length);
    // Drops everything from `at` on (an entry that could not be finished).
    bool TruncateTo(uint64_t at);
    bool Flush();
    // Flushes and closes; false when either fails.
    bool Close();
    // Closes (when open) and deletes the file.
    void Discard();
    // The file has been renamed into place: it is no longer this writer's to delete.
    void Forget() { path_.clear(); }

private:
    int fd_ = -1;
    std::string path_;
    std::vector<uint8_t> buffer_;
    uint64_t offset_ = 0;
};

} // namespace km::zip
