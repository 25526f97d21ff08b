#pragma once
// The archive as a set of volumes: one file, a split set beside it (name.z01, name.z02, ...,
// name.zip as Info-ZIP writes them), or removable disks that all carry the same file name.
// Reads continue onto the next volume where a multi-disk archive says they do.
#include "archive/zip/ZipRandomAccess.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace km::zip {

enum class VolumeStatus { Ok, NotFound, IsDirectory, CantOpen, Aborted, Unavailable, ReadError };

// One volume file read with pread.
class ZipFileVolume : public ZipRandomAccess {
public:
    ~ZipFileVolume() override;
    VolumeStatus Open(const std::string& path);
    void Close();
    bool isOpen() const { return fd_ >= 0; }
    uint64_t Size() const override { return size_; }
    bool ReadAt(uint64_t offset, uint8_t* dst, size_t length) override;

private:
    int fd_ = -1;
    uint64_t size_ = 0;
};

class ZipVolumeSet {
public:
    // Asks for a disk (record 20 numbering: disk + 1, 0 for the last); false means abort.
    using DiskPrompt = std::function<bool(uint32_t recordDisk)>;
    // True when the volume in the drive is the wanted disk (or when that cannot be told).
    using LabelCheck = std::function<bool(const std::string& path, uint32_t recordDisk)>;

    ZipVolumeSet(DiskPrompt prompt, LabelCheck labelCheck);

    VolumeStatus OpenFirst(const std::string& path);
    // The whole archive as one volume in memory (the caller keeps it alive); there are no
    // other disks to change to.
    VolumeStatus OpenImage(const uint8_t* data, size_t size);
    // The first volume of a spanned set is open; fetch the last one (beside it when it is a
    // split set, else by asking once for the last disk).
    VolumeStatus OpenLastDisk();
    // The end record says the archive spans disks 0..lastDisk and this volume is the last.
    void SetMultiDisk(uint32_t lastDisk);

    bool multiDisk() const { return multi_; }
    bool splitFiles() const { return split_; }
    uint32_t currentDisk() const { return disk_; }
    ZipRandomAccess& volume() { return current(); }
    const std::string& path() const { return lastPath_; }

    // Sequential reading from (disk, offset); on a single-disk archive the disk is ignored.
    VolumeStatus Seek(uint32_t disk, uint64_t offset);
    // Reads up to `length` bytes, continuing on the following disks; *got < length only at
    // the end of the last volume or on failure (see the result).
    VolumeStatus Read(uint8_t* dst, size_t length, size_t* got);
    VolumeStatus Skip(uint64_t length);
    uint64_t position() const { return pos_; }

    // Remaining bytes in the current volume after the position.
    uint64_t remainingInVolume() const {
        const uint64_t size = image_ ? image_->Size() : file_.Size();
        return pos_ < size ? size - pos_ : 0;
    }

private:
    ZipRandomAccess& current() { return image_ ? static_cast<ZipRandomAccess&>(*image_) : file_; }
    VolumeStatus changeDisk(uint32_t disk);
    std::string partPath(uint32_t disk) const;
    static constexpr int kMaxPrompts = 10;

    DiskPrompt prompt_;
    LabelCheck labelCheck_;
    ZipFileVolume file_;
    std::unique_ptr<ZipMemoryAccess> image_;
    std::string lastPath_; // the volume holding the end record (or the one first opened)
    std::string base_;     // lastPath_ without its extension, for split parts
    char zLetter_ = 'z';
    bool multi_ = false;
    bool split_ = false;
    uint32_t lastDisk_ = 0;
    uint32_t disk_ = 0;
    uint64_t pos_ = 0;
    std::vector<uint8_t> buf_;
    uint64_t bufStart_ = 0;
    size_t bufLen_ = 0;
};

} // namespace km::zip
