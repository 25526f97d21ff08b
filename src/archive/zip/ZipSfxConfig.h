#pragma once
// The self-extractor's configuration block: "AZ", the items, and its length
// (16 bits) last. Flag items are a tag byte (2 restore structure, 7 ask for the
// password); text items a tag (3 extract to, 4 program to start), a length byte
// and the text, each byte stored minus the stored byte before it (the first
// minus the key). The writer puts the block at the very end of the archive
// comment, so the file stays a valid ZIP archive for every other reader.
#include <cstddef>
#include <string>
#include <string_view>

namespace km::zip {

struct SfxConfig {
    bool restoreStructure = false;
    bool askPassword = false;
    std::string extractTo;
    std::string program; // with its parameters, as typed
};

std::string EncodeSfxConfig(const SfxConfig& config);
// The block that ends `tail` (the last bytes of a file or comment); false when there is
// none or it is damaged. `blockBytes` gets its whole length, the two length bytes included.
bool DecodeSfxConfig(std::string_view tail, SfxConfig* config, size_t* blockBytes = nullptr);

} // namespace km::zip
