#pragma once
#include <cstdint>
#include <string>
#include <string_view>

struct stat;

namespace km {

enum FileAttribute : uint32_t {
    AttrReadOnly = 0x01,
    AttrHidden = 0x02,
    AttrSystem = 0x04,
    AttrDirectory = 0x10,
    AttrArchive = 0x20,
};

// Attributes of an entry: read-only from the owner write bit, hidden from a
// leading dot, and the stored hidden/system/archive bits of user.DOSATTRIB.
uint32_t ReadAttributes(const char* path, std::string_view baseName, const struct stat& st);

// Parses the text form "0x%x" kept in user.DOSATTRIB; 0 for anything else.
uint32_t ParseDosAttrib(std::string_view text);

} // namespace km
