#include "platform/ReadAt.h"

#include <cerrno>
#include <unistd.h>

namespace km {

size_t ReadAt(int fd, uint64_t offset, void* out, size_t size) {
    auto* bytes = static_cast<char*>(out);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, bytes + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    return done;
}

} // namespace km
