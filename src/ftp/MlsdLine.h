#pragma once
// Parses one line of a server's reply to MLSD (RFC 3659): facts, each
// "name=value;", then one blank and the pathname, which runs to the line end
// and may itself hold blanks, ';' and '='. Fact names and the values of "type"
// are compared without regard to case.
//
// Safety: as with the LIST parser, a line whose name fails IsSafeListedName is
// not shown, so a caller never sees such a name. Only `length` characters of
// `line` are read; any bytes are allowed.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace km {

struct MlsdEntry {
    // Points into the parsed line, its CR LF or LF line end cut off.
    std::string_view name;
    // type=dir. "type=OS.unix=symlink" sets both flags, as a link does in a LIST
    // reply; any other type (devices, "OS.unix=slink:...") sets neither.
    bool isDirectory = false;
    bool isFile = false; // type=file
    // size=, or for a directory sizd= when size= is absent; plain decimal digits.
    bool hasSize = false;
    uint64_t size = 0;
    // modify=YYYYMMDDHHMMSS[.fff], UTC, as seconds since 1970.
    bool hasTime = false;
    int64_t modifyUtc = 0;
    // UNIX.mode=0755: octal permission bits, at most 07777.
    bool hasUnixMode = false;
    uint32_t unixMode = 0;
};

// Returns 1 when the line is an entry to show, 0 when not: the listed directory
// itself or its parent (type=cdir, type=pdir), malformed facts, no blank before
// the name, or an unsafe name. A fact value that cannot be read (size, modify,
// UNIX.mode) is only left out. `out` is cleared at every call and stays
// cleared when 0 is returned; `out.name` points into `line`.
int ParseMlsdLine(MlsdEntry& out, const char* line, std::size_t length);

// A time value of MLSD's "modify" fact and of the MDTM reply (RFC 3659):
// YYYYMMDDHHMMSS in UTC, optionally '.' and fractions of a second (dropped),
// as seconds since 1970. False, leaving `seconds` alone, when malformed.
bool ParseFtpTimeValue(std::string_view text, int64_t& seconds);

} // namespace km
