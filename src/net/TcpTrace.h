#pragma once
// Optional trace of the TCP library's calls, off unless a mask bit is set. Odd
// level bits cover the raw socket operations, even ones the line operations.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace km {

enum TcpTraceLevel : int {
    kTraceCall = 1, // a platform call is about to be made
    kTraceCallTn = 2,
    kTraceInternal = 8, // an internal step
    kTraceEnter = 16,   // an operation starts
    kTraceEnterTn = 32,
    kTraceExit = 64, // an operation ends
    kTraceExitTn = 128,
    kTraceDump = 0x4000,  // hex dump of every successful receive and send
    kTraceError = 0x8000, // a platform call failed
};

void TcpSetTraceMask(int mask);
int TcpGetTraceMask();
// Where trace lines go (each ends in CR LF); standard error when none is set.
void TcpSetTraceSink(std::function<void(std::string_view)> sink);

namespace detail {
extern int g_traceMask;
void TraceLine(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
void TraceDump(const char* tag, const char* data, size_t length);
} // namespace detail

inline bool TcpTraceOn(int level) {
    return (detail::g_traceMask & level) != 0;
}

// One dump line for up to 16 bytes: tag, hex with "- " before the ninth byte,
// padding to the full width, two blanks and the printable characters.
std::string TcpFormatDumpLine(std::string_view tag, const unsigned char* bytes, size_t count);

} // namespace km

// Formats only when the level is switched on, so tracing costs nothing when off.
#define KM_TCP_TRACE(level, ...)                                                                   \
    do {                                                                                           \
        if (::km::TcpTraceOn(level))                                                               \
            ::km::detail::TraceLine(level, __VA_ARGS__);                                           \
    } while (0)
