#include "ftp/FtpLineEnds.h"

namespace km {

size_t FtpLineEnds::FromNetwork(const char* in, size_t length, char* out) {
    size_t n = 0;
    for (size_t i = 0; i < length; ++i) {
        const char c = in[i];
        if (pendingCr_) {
            pendingCr_ = false;
            if (c == '\n') {
                out[n++] = '\n';
                continue;
            }
            out[n++] = '\r';
        }
        if (c == '\r')
            pendingCr_ = true;
        else
            out[n++] = c;
    }
    return n;
}

size_t FtpLineEnds::FinishFromNetwork(char* out) {
    if (!pendingCr_)
        return 0;
    pendingCr_ = false;
    out[0] = '\r';
    return 1;
}

size_t FtpLineEnds::ToNetwork(const char* in, size_t length, char* out) {
    size_t n = 0;
    for (size_t i = 0; i < length; ++i) {
        const char c = in[i];
        if (c == '\n' && !lastWasCr_)
            out[n++] = '\r';
        out[n++] = c;
        lastWasCr_ = c == '\r';
    }
    return n;
}

} // namespace km
