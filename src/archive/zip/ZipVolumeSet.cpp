#include "archive/zip/ZipVolumeSet.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace km::zip {

namespace {

constexpr size_t kBufferSize = 64 * 1024;

bool isRegularFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool endsWithNoCase(const std::string& s, const char* suffix) {
    const size_t n = std::strlen(suffix);
    return s.size() >= n && strncasecmp(s.c_str() + s.size() - n, suffix, n) == 0;
}

} // namespace

ZipFileVolume::~ZipFileVolume() {
    Close();
}

void ZipFileVolume::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    size_ = 0;
}

VolumeStatus ZipFileVolume::Open(const std::string& path) {
    Close();
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return VolumeStatus::NotFound;
    if (S_ISDIR(st.st_mode))
        return VolumeStatus::IsDirectory;
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0)
        return VolumeStatus::CantOpen;
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        Close();
        return VolumeStatus::CantOpen;
    }
    size_ = static_cast<uint64_t>(st.st_size);
    return VolumeStatus::Ok;
}

bool ZipFileVolume::ReadAt(uint64_t offset, uint8_t* dst, size_t length) {
    if (fd_ < 0 || offset > size_ || length > size_ - offset)
        return false;
    while (length > 0) {
        const ssize_t n = ::pread(fd_, dst, length, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        dst += n;
        length -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

ZipVolumeSet::ZipVolumeSet(DiskPrompt prompt, LabelCheck labelCheck)
    : prompt_(std::move(prompt)), labelCheck_(std::move(labelCheck)) {}

VolumeStatus ZipVolumeSet::OpenFirst(const std::string& path) {
    image_.reset();
    lastPath_ = path;
    const size_t dot = path.rfind('.');
    const size_t slash = path.rfind('/');
    base_ = (dot != std::string::npos && (slash == std::string::npos || dot > slash))
                ? path.substr(0, dot)
                : path;
    if (dot != std::string::npos && dot + 1 < path.size() && path[dot + 1] == 'Z')
        zLetter_ = 'Z';
    bufLen_ = 0;
    pos_ = 0;
    return file_.Open(path);
}

VolumeStatus ZipVolumeSet::OpenImage(const uint8_t* data, size_t size) {
    file_.Close();
    image_ = std::make_unique<ZipMemoryAccess>(data, size);
    lastPath_ = "-";
    base_ = "-";
    bufLen_ = 0;
    pos_ = 0;
    return VolumeStatus::Ok;
}

VolumeStatus ZipVolumeSet::OpenLastDisk() {
    if (image_)
        return VolumeStatus::Unavailable;
    // A split set is opened at its first part: the last part is name.zip beside it.
    if (endsWithNoCase(lastPath_, ".z01")) {
        for (const char* ext : {".zip", ".ZIP"}) {
            const std::string candidate = base_ + ext;
            if (isRegularFile(candidate)) {
                lastPath_ = candidate;
                zLetter_ = ext[1] == 'Z' ? 'Z' : 'z';
                bufLen_ = 0;
                return file_.Open(candidate);
            }
        }
    }
    // The last disk is asked for once.
    if (!prompt_(0))
        return VolumeStatus::Aborted;
    bufLen_ = 0;
    return file_.Open(lastPath_);
}

void ZipVolumeSet::SetMultiDisk(uint32_t lastDisk) {
    multi_ = true;
    lastDisk_ = lastDisk;
    disk_ = lastDisk;
    split_ = !image_ && lastDisk > 0 && isRegularFile(partPath(0));
}

std::string ZipVolumeSet::partPath(uint32_t disk) const {
    if (disk == lastDisk_)
        return lastPath_;
    char ext[16];
    std::snprintf(ext, sizeof ext, ".%c%02u", zLetter_, static_cast<unsigned>(disk + 1));
    return base_ + ext;
}

VolumeStatus ZipVolumeSet::changeDisk(uint32_t disk) {
    if (disk == disk_ && (image_ || file_.isOpen()))
        return VolumeStatus::Ok;
    if (disk > lastDisk_ || image_)
        return VolumeStatus::Unavailable;
    bufLen_ = 0;
    const uint32_t recordDisk = disk + 1;
    for (int attempt = 0; attempt <= kMaxPrompts; ++attempt) {
        if (split_) {
            if (file_.Open(partPath(disk)) == VolumeStatus::Ok) {
                disk_ = disk;
                return VolumeStatus::Ok;
            }
        } else if (attempt > 0 && file_.Open(lastPath_) == VolumeStatus::Ok &&
                   labelCheck_(lastPath_, recordDisk)) {
            disk_ = disk;
            return VolumeStatus::Ok;
        }
        if (attempt == kMaxPrompts)
            break;
        if (!prompt_(recordDisk))
            return VolumeStatus::Aborted;
    }
    file_.Close();
    return VolumeStatus::Unavailable;
}

VolumeStatus ZipVolumeSet::Seek(uint32_t disk, uint64_t offset) {
    if (multi_) {
        VolumeStatus st = changeDisk(disk);
        if (st != VolumeStatus::Ok)
            return st;
        // An offset past this volume continues on the next ones.
        while (offset > current().Size() && disk_ < lastDisk_) {
            offset -= current().Size();
            if ((st = changeDisk(disk_ + 1)) != VolumeStatus::Ok)
                return st;
        }
    }
    pos_ = offset;
    return VolumeStatus::Ok;
}

VolumeStatus ZipVolumeSet::Read(uint8_t* dst, size_t length, size_t* got) {
    *got = 0;
    while (length > 0) {
        if (pos_ >= current().Size()) {
            if (!multi_ || disk_ >= lastDisk_)
                return VolumeStatus::Ok;
            const VolumeStatus st = changeDisk(disk_ + 1);
            if (st != VolumeStatus::Ok)
                return st;
            pos_ = 0;
            continue;
        }
        if (pos_ >= bufStart_ && pos_ < bufStart_ + bufLen_) {
            const size_t n = std::min<uint64_t>(length, bufStart_ + bufLen_ - pos_);
            std::memcpy(dst, buf_.data() + (pos_ - bufStart_), n);
            dst += n;
            length -= n;
            *got += n;
            pos_ += n;
            continue;
        }
        const size_t avail =
            static_cast<size_t>(std::min<uint64_t>(current().Size() - pos_, SIZE_MAX));
        if (length >= kBufferSize) {
            // Large reads go straight into the caller's buffer.
            const size_t n = std::min(length, avail);
            if (!current().ReadAt(pos_, dst, n))
                return VolumeStatus::ReadError;
            dst += n;
            length -= n;
            *got += n;
            pos_ += n;
            continue;
        }
        if (buf_.empty())
            buf_.resize(kBufferSize);
        const size_t n = std::min(kBufferSize, avail);
        if (!current().ReadAt(pos_, buf_.data(), n))
            return VolumeStatus::ReadError;
        bufStart_ = pos_;
        bufLen_ = n;
    }
    return VolumeStatus::Ok;
}

VolumeStatus ZipVolumeSet::Skip(uint64_t length) {
    while (length > 0) {
        const uint64_t inVolume = remainingInVolume();
        if (length <= inVolume || !multi_ || disk_ >= lastDisk_) {
            pos_ += length;
            return VolumeStatus::Ok;
        }
        length -= inVolume;
        const VolumeStatus st = changeDisk(disk_ + 1);
        if (st != VolumeStatus::Ok)
            return st;
        pos_ = 0;
    }
    return VolumeStatus::Ok;
}

} // namespace km::zip
