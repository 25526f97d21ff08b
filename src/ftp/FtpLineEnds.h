#pragma once
// Type A moves text in the network's form, lines ending in CR LF; local text
// files end lines in LF. The converter works block by block and keeps the
// state that a CR LF split between two blocks needs.
#include <cstddef>

namespace km {

class FtpLineEnds {
public:
    // CR LF becomes LF; any other CR stays. `out` holds at least length + 1
    // bytes. Returns the bytes written.
    size_t FromNetwork(const char* in, size_t length, char* out);
    // A CR that ended the last block, written when the data ends (0 or 1 bytes).
    size_t FinishFromNetwork(char* out);
    // LF not preceded by CR becomes CR LF. `out` holds at least 2 * length bytes.
    size_t ToNetwork(const char* in, size_t length, char* out);

private:
    bool pendingCr_ = false; // from the network: a CR waiting for its LF
    bool lastWasCr_ = false; // to the network: the previous byte was CR
};

} // namespace km
