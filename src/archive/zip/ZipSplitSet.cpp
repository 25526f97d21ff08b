#include "archive/zip/ZipSplitSet.h"

#include "platform/PathUtil.h"
#include "platform/Volumes.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace km::zip {

namespace {

// The most parts the disk-number fields can count.
constexpr size_t kMaxParts = 0xfffe;
// Room a medium keeps for its own directory entries; a part is never smaller than a page.
constexpr uint64_t kMediumMargin = 64 * 1024;

} // namespace

ZipSplitSet::ZipSplitSet(std::string archive, uint64_t firstSize, uint64_t otherSize)
    : archive_(std::move(archive)), firstSize_(firstSize), otherSize_(otherSize) {
    nextPart();
}

ZipSplitSet::ZipSplitSet(std::string archive, NextMedium nextMedium)
    : archive_(std::move(archive)), nextMedium_(std::move(nextMedium)) {
    nextPart();
}

uint64_t ZipSplitSet::capacity() const {
    if (nextMedium_)
        return mediumSpace_;
    return parts_.size() == 1 ? firstSize_ : otherSize_;
}

std::string ZipSplitSet::PartName(const std::string& archive, uint32_t number) {
    const size_t slash = archive.rfind('/');
    const size_t dot = archive.rfind('.');
    const std::string base = dot != std::string::npos && (slash == std::string::npos || dot > slash)
                                 ? archive.substr(0, dot)
                                 : archive;
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".z%02u", static_cast<unsigned>(number));
    return base + suffix;
}

bool ZipSplitSet::nextPart() {
    if (error_ != 0)
        return false;
    if (parts_.size() >= kMaxParts) {
        error_ = EFBIG;
        return false;
    }
    if (nextMedium_ && !parts_.empty()) {
        // This medium comes out: its part must be whole on it first.
        if (const int err = parts_.back()->Commit(true)) {
            error_ = err;
            return false;
        }
        if (!nextMedium_(static_cast<uint32_t>(parts_.size() + 1))) {
            error_ = ECANCELED;
            return false;
        }
    }
    if (nextMedium_) {
        const uint64_t space = QueryDiskSpace(std::string(ParentPath(archive_))).free;
        if (space < 2 * kMediumMargin) {
            error_ = ENOSPC;
            return false;
        }
        mediumSpace_ = space - kMediumMargin;
    }
    // Named for now as a numbered part; the last one takes the archive's name at Commit.
    auto part = std::make_unique<ReplacementFile>();
    const int err = part->Create(PartName(archive_, static_cast<uint32_t>(parts_.size() + 1)));
    if (err != 0) {
        error_ = err;
        return false;
    }
    parts_.push_back(std::move(part));
    used_ = 0;
    return true;
}

bool ZipSplitSet::Keep(size_t length) {
    if (error_ != 0)
        return false;
    if (used_ + length <= capacity())
        return true;
    if (used_ == 0 || (!nextMedium_ && length > otherSize_)) {
        error_ = EFBIG; // a header longer than a whole part
        return false;
    }
    return nextPart();
}

bool ZipSplitSet::Write(const void* data, size_t length) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (length > 0) {
        if (error_ != 0)
            return false;
        if (used_ >= capacity() && !nextPart())
            return false;
        const size_t n = static_cast<size_t>(std::min<uint64_t>(length, capacity() - used_));
        const int err = parts_.back()->Write(bytes, n);
        if (err != 0) {
            error_ = err;
            return false;
        }
        used_ += n;
        bytes += n;
        length -= n;
    }
    return true;
}

bool ZipSplitSet::Commit() {
    if (error_ != 0) {
        parts_.clear();
        return false;
    }
    for (size_t i = 0; i + 1 < parts_.size(); ++i) {
        if (!parts_[i]->IsOpen())
            continue; // committed already, on a medium taken out since
        if (const int err = parts_[i]->Commit(false)) {
            error_ = err;
            parts_.clear();
            return false;
        }
    }
    // The last part was begun as a numbered one; it takes the archive's own name.
    const size_t slash = archive_.rfind('/');
    if (const int err = parts_.back()->CommitAs(
            slash == std::string::npos ? archive_ : archive_.substr(slash + 1), false)) {
        error_ = err;
        return false;
    }
    return true;
}

} // namespace km::zip
