#pragma once
// A split archive as Info-ZIP's "zip -s" writes it: name.z01, name.z02 ... and
// the last part under the archive's own name. Headers are never cut between
// parts (a part ends early instead); entry data runs on across them. Every part
// is written beside its final name and renamed into place only when the whole
// set is complete.
#include "platform/ReplacementFile.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace km::zip {

class ZipSplitSet {
public:
    // Asked before each further medium (number 2, 3...); false when the user cancels.
    using NextMedium = std::function<bool(uint32_t number)>;

    // `archive` is the last part's name; the others take its name without the
    // extension plus ".z01", ".z02"...
    ZipSplitSet(std::string archive, uint64_t firstSize, uint64_t otherSize);
    // Parts on removable media: each as large as the medium's free space, and
    // complete on it before the next medium is asked for.
    ZipSplitSet(std::string archive, NextMedium nextMedium);

    // Moves on to a new part when `length` bytes would not fit in this one.
    // False when they fit in no part at all, or a part cannot be made.
    bool Keep(size_t length);
    bool Write(const void* data, size_t length);

    uint32_t disk() const { return static_cast<uint32_t>(parts_.size() - 1); }
    uint64_t offset() const { return used_; }
    // 0 or the errno of the first failure.
    int error() const { return error_; }

    // Renames every part into place. False (everything discarded) on failure.
    bool Commit();
    static std::string PartName(const std::string& archive, uint32_t number);

private:
    bool nextPart();
    uint64_t capacity() const;

    std::string archive_;
    uint64_t firstSize_ = 0, otherSize_ = 0;
    NextMedium nextMedium_;
    uint64_t mediumSpace_ = 0;
    std::vector<std::unique_ptr<ReplacementFile>> parts_;
    uint64_t used_ = 0;
    int error_ = 0;
};

} // namespace km::zip
