#include "archive/other/SparseOutput.h"

#include <cerrno>

namespace km {

int SparseOutput::Put(int64_t offset, const void* data, size_t size) {
    if (offset < position_)
        return EINVAL; // libarchive promises rising offsets; anything else is damage
    if (offset > position_) {
        if (const int err = file_.Skip(static_cast<uint64_t>(offset - position_)))
            return err;
        position_ = offset;
        holes_ = true;
    }
    const int err = file_.Write(data, size);
    if (err == 0)
        position_ += static_cast<int64_t>(size);
    return err;
}

int SparseOutput::Finish(int64_t size) {
    // Without holes the bytes written are the file: data cut short is never padded.
    if (!holes_ || size <= position_)
        return 0;
    const int err = file_.Skip(static_cast<uint64_t>(size - position_));
    if (err == 0)
        position_ = size;
    return err;
}

} // namespace km
