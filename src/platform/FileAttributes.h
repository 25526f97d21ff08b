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
// leading dot, and the stored hidden/system/archive bits of user.DOSATTRIB
// (on vfat the volume's own DOS bits).
uint32_t ReadAttributes(const char* path, std::string_view baseName, const struct stat& st);

// Parses the text form "0x%x" kept in user.DOSATTRIB; 0 for anything else.
uint32_t ParseDosAttrib(std::string_view text);

// The bits WriteAttributes changes; the others of an entry are left alone.
constexpr uint32_t kWritableAttributes = AttrReadOnly | AttrHidden | AttrSystem | AttrArchive;

// Reads the entry at `path` (links followed, as the panels list them) with
// ReadAttributes, and its modification time in seconds since 1970 when
// `modified` is given. Returns 0 or the errno of the failure.
int ReadPathAttributes(const std::string& path, uint32_t& attributes, int64_t* modified = nullptr);

// Sets read-only, hidden, system and archive of `path` to the bits of
// `attributes`. On vfat the DOS bits themselves are written; elsewhere
// read-only is the owner write bit (set: every write bit cleared; cleared:
// the owner's set) and the other three go to user.DOSATTRIB. A bit that
// cannot be stored fails rather than being dropped (so does clearing hidden
// on a name that begins with a dot); a stored value that does not change is
// not written. Returns 0 or an errno.
int WriteAttributes(const std::string& path, uint32_t attributes);

// Sets the modification time of `path` (whole seconds since 1970) and keeps
// its access time. Returns 0 or an errno.
int SetModificationTime(const std::string& path, int64_t seconds);

} // namespace km
