#pragma once
// A file written under a temporary name beside its target and renamed over the
// target only when complete, so a failed or cancelled download never leaves a
// truncated file in place of the old one. Writes are gathered into large
// pieces; Discard (also the destructor) removes the temporary file.
#include <cstddef>
#include <memory>
#include <string>

namespace km {

class ReplacementFile {
public:
    ReplacementFile() = default;
    ~ReplacementFile() { Discard(); }
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // False when the temporary file cannot be made or the target is a directory.
    bool Create(const std::string& target);
    bool IsOpen() const { return fd_ >= 0; }
    // False once any write has failed.
    bool Write(const char* data, size_t length);
    // Flushes, closes and renames over the target; false (and discarded) on failure.
    bool Commit();
    void Discard();

private:
    bool Flush();

    int fd_ = -1;
    bool failed_ = false;
    std::string target_;
    std::string temp_;
    std::unique_ptr<char[]> pending_;
    size_t pendingLength_ = 0;
};

} // namespace km
