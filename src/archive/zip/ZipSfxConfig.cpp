#include "archive/zip/ZipSfxConfig.h"

#include <cstdint>

namespace km::zip {

namespace {

constexpr uint8_t kKey = 0x5a;
constexpr uint8_t kRestoreStructure = 2, kExtractTo = 3, kProgram = 4, kAskPassword = 7;

void putText(std::string& out, uint8_t tag, std::string_view value) {
    value = value.substr(0, 255);
    out += static_cast<char>(tag);
    out += static_cast<char>(value.size());
    uint8_t previous = kKey;
    for (const char ch : value) {
        const auto scrambled = static_cast<uint8_t>(static_cast<uint8_t>(ch) - previous);
        out += static_cast<char>(scrambled);
        previous = scrambled;
    }
}

std::string getText(std::string_view stored) {
    std::string text;
    uint8_t previous = kKey;
    for (const char ch : stored) {
        const auto s = static_cast<uint8_t>(ch);
        text += static_cast<char>(static_cast<uint8_t>(s + previous));
        previous = s;
    }
    return text;
}

} // namespace

std::string EncodeSfxConfig(const SfxConfig& c) {
    std::string block = "AZ";
    if (c.restoreStructure)
        block += static_cast<char>(kRestoreStructure);
    if (!c.extractTo.empty())
        putText(block, kExtractTo, c.extractTo);
    if (!c.program.empty())
        putText(block, kProgram, c.program);
    if (c.askPassword)
        block += static_cast<char>(kAskPassword);
    const size_t length = block.size();
    block += static_cast<char>(length & 0xff);
    block += static_cast<char>(length >> 8);
    return block;
}

bool DecodeSfxConfig(std::string_view tail, SfxConfig* c, size_t* blockBytes) {
    if (tail.size() < 4)
        return false;
    const size_t length = static_cast<uint8_t>(tail[tail.size() - 2]) |
                          static_cast<size_t>(static_cast<uint8_t>(tail[tail.size() - 1])) << 8;
    if (length < 2 || length > tail.size() - 2)
        return false;
    const std::string_view block = tail.substr(tail.size() - 2 - length, length);
    if (block.substr(0, 2) != "AZ")
        return false;
    SfxConfig out;
    size_t at = 2;
    while (at < block.size()) {
        const auto tag = static_cast<uint8_t>(block[at++]);
        if (tag == kRestoreStructure || tag == kAskPassword) {
            (tag == kRestoreStructure ? out.restoreStructure : out.askPassword) = true;
            continue;
        }
        if ((tag != kExtractTo && tag != kProgram) || at >= block.size())
            return false;
        const size_t n = static_cast<uint8_t>(block[at++]);
        if (n > block.size() - at)
            return false;
        (tag == kExtractTo ? out.extractTo : out.program) = getText(block.substr(at, n));
        at += n;
    }
    *c = std::move(out);
    if (blockBytes)
        *blockBytes = length + 2;
    return true;
}

} // namespace km::zip
