#pragma once
// Reading a stretch of an open file at an offset, through interruptions and
// short reads, for the readers that seek about an archive.
#include <cstddef>
#include <cstdint>

namespace km {

// Up to `size` bytes at `offset` into `out`: fewer only at the end of the file
// or on a read error.
size_t ReadAt(int fd, uint64_t offset, void* out, size_t size);

} // namespace km
