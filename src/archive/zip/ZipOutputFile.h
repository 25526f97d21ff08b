#pragma once
// Writing extracted files safely: directories are walked without following symbolic links,
// and a file is written under a temporary name beside its target and renamed over it only
// when it is complete and correct.
#include <cstdint>
#include <string>
#include <vector>

namespace km::zip {

struct ExistingFile {
    bool exists = false;
    bool isDirectory = false;
    uint64_t size = 0;
    int64_t mtime = 0;
};

// The target directory and the directories below it that the entries use.
class ZipOutputTarget {
public:
    // Empty means the current directory.
    explicit ZipOutputTarget(std::string directory);
    ~ZipOutputTarget();
    ZipOutputTarget(const ZipOutputTarget&) = delete;
    ZipOutputTarget& operator=(const ZipOutputTarget&) = delete;

    // The directory holding the last component, created level by level when `create`;
    // -1 when a level is missing (without create), not a directory, or a symbolic link.
    int ParentDirectory(const std::vector<std::string>& components, bool create);
    // Creates every component as a directory.
    bool CreateDirectories(const std::vector<std::string>& components);
    void Lookup(const std::vector<std::string>& components, ExistingFile* info);

private:
    int openRoot(bool create);
    int walk(const std::vector<std::string>& components, size_t levels, bool create);

    std::string root_;
    int rootFd_ = -1;
    std::string cachedKey_;
    int cachedFd_ = -1;
};

class ZipOutputFile {
public:
    ZipOutputFile() = default;
    ~ZipOutputFile() { Discard(); }
    ZipOutputFile(const ZipOutputFile&) = delete;
    ZipOutputFile& operator=(const ZipOutputFile&) = delete;

    // Creates the temporary file beside the target (and the missing directories).
    bool Open(ZipOutputTarget& target, const std::vector<std::string>& components);
    // False on a short or failed write (the disk is full).
    bool Write(const uint8_t* data, size_t length);
    // Sets the times, read-only (clears every write bit) and the DOS bits kept in the
    // extended attribute user.DOSATTRIB (where the file system has it), then renames the
    // file into place. False when that fails; the temporary file is then gone.
    bool Commit(int64_t mtime, bool readOnly, uint32_t dosBits);
    // Removes the temporary file; an existing target is untouched.
    void Discard();

private:
    int dirFd_ = -1;
    int fd_ = -1;
    std::string tempName_;
    std::string finalName_;
};

} // namespace km::zip
