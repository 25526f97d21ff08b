#pragma once
// Parses one line of a server's reply to LIST: the UNIX long-listing layout
// (permissions, links, owner, group, size, date, name, with the usual variants),
// the MS-DOS layout of Windows servers (MM-DD-YY HH:MMAM, <DIR> or size, name)
// and the VMS layout (NAME.EXT;version, blocks, DD-MMM-YYYY HH:MM:SS ...).
//
// The caller replaces tabs by blanks first and skips every line that is not
// recognised (summary lines, headings, blank lines).
//
// Safety: the panel uses a listed name as a local file name, so a line is NOT
// recognised (skipped, not flagged) when its name, cut as ListingEntryName
// cuts it, is empty, "." or "..", or contains '/' or a NUL byte. A caller
// therefore never sees such a name. Lines whose size, day, year, hour or
// minute are not plain in-range numbers are also not recognised, rather than
// giving a made-up size or date; on device lines ('b', 'c') a "major,minor"
// size column gives size 0 instead.
//
// Bounds: only `length` characters of `line` are read; any bytes are allowed.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace km {

enum ListingSizeKind : int32_t { ListingNoSize = 0, ListingSizeGiven = 2 };
enum ListingTimeKind : int32_t { ListingNoTime = 0, ListingDateTime = 2, ListingDateOnly = 3 };

struct ListingLineInfo {
    // Points into the parsed line, not terminated; may run to the end of the
    // line, line feed included (see ListingEntryName).
    const char* name = nullptr;
    int32_t nameLength = 0;
    int32_t isDirectory = 0; // can be entered; a symbolic link sets both flags
    int32_t isFile = 0;      // can be fetched; devices, pipes and sockets set neither
    int32_t sizeKind = ListingNoSize;
    int64_t size = 0; // bytes
    int32_t timeKind = ListingNoTime;
    // Seconds since 1970-01-01 00:00 of the date and time as listed; no time
    // zone applied. 64-bit so years past 2038 stay right.
    int64_t time = 0;
};

// Returns 1 when the line is recognised, 0 when not; `result` is cleared at
// every call and stays cleared when 0 is returned. `length` counts the line's
// characters, its trailing line feed included. `result.name` points into
// `line`, which must outlive its use.
int ParseListingLine(ListingLineInfo& result, const char* line, std::size_t length);

// The same, guessing the year of a UNIX date without one from `now` (seconds
// since 1970 in local wall-clock reckoning, as the listed times are) instead
// of the clock.
int ParseListingLine(ListingLineInfo& result, const char* line, std::size_t length, int64_t now);

// The clock behind the three-argument form: local wall-clock time as seconds
// since 1970. Tests replace it to make the year guess deterministic; nullptr
// restores the system clock.
using ListingClock = int64_t (*)();
void SetListingClock(ListingClock clock);

// The entry name as the panel uses it: cut at its last line feed (a VMS name
// joined with its continuation line keeps it), without the carriage returns
// of a CR LF line end.
std::string_view ListingEntryName(const ListingLineInfo& info);

// Whether a listed name may serve as a local file name: not empty, not "." or
// "..", and without '/' or NUL. Every listing parser skips entries that fail it.
bool IsSafeListedName(std::string_view name);

// Seconds since 1970-01-01 00:00 of a calendar date and time, no time zone
// applied. Returns false, leaving `seconds` alone, when a field is out of range:
// year 0-9999, month 1-12, day within the month, hour 0-23, minute 0-59, second
// 0-60 (a leap second).
bool ListingCalendarSeconds(int64_t year, int month, int day, int hour, int minute, int second,
                            int64_t& seconds);

} // namespace km
