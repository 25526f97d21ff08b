#pragma once
#include <cstdint>
#include <ctime>

namespace km {

// 100-nanosecond ticks since 1601-01-01 UTC, the unit the listing stores.
using FileTime = uint64_t;

constexpr uint64_t kFileTimeUnixEpoch = 116444736000000000ULL;

inline FileTime FileTimeFromUnix(int64_t seconds, int64_t nanoseconds) {
    const int64_t ticks = seconds * 10000000LL + nanoseconds / 100;
    return static_cast<FileTime>(static_cast<int64_t>(kFileTimeUnixEpoch) + ticks);
}

inline int64_t UnixSecondsFromFileTime(FileTime ft) {
    return (static_cast<int64_t>(ft) - static_cast<int64_t>(kFileTimeUnixEpoch)) / 10000000LL;
}

// Broken-down local time of a file time.
inline std::tm LocalTimeOf(FileTime ft) {
    std::tm out{};
    const time_t t = static_cast<time_t>(UnixSecondsFromFileTime(ft));
    localtime_r(&t, &out);
    return out;
}

} // namespace km
