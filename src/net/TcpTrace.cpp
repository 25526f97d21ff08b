#include "net/TcpTrace.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <unistd.h>

namespace km {

namespace detail {
int g_traceMask = 0;
}

namespace {

std::function<void(std::string_view)>& Sink() {
    static std::function<void(std::string_view)> sink;
    return sink;
}

void Emit(const std::string& line) {
    if (Sink()) {
        Sink()(line);
        return;
    }
    std::fwrite(line.data(), 1, line.size(), stderr);
}

const char* LevelWord(int level) {
    if (level & (kTraceCall | kTraceCallTn))
        return "calling ";
    if (level & kTraceInternal)
        return "internal ";
    if (level & (kTraceEnter | kTraceEnterTn))
        return "entering ";
    if (level & (kTraceExit | kTraceExitTn))
        return "exiting ";
    return "";
}

} // namespace

void TcpSetTraceMask(int mask) {
    detail::g_traceMask = mask;
}

int TcpGetTraceMask() {
    return detail::g_traceMask;
}

void TcpSetTraceSink(std::function<void(std::string_view)> sink) {
    Sink() = std::move(sink);
}

std::string TcpFormatDumpLine(std::string_view tag, const unsigned char* bytes, size_t count) {
    static const char kHex[] = "0123456789ABCDEF";
    if (count > 16)
        count = 16;
    std::string line(tag.substr(0, 19));
    line += ' ';
    for (size_t i = 0; i < 16; ++i) {
        if (i == 8)
            line += "- ";
        if (i < count) {
            line += kHex[bytes[i] >> 4];
            line += kHex[bytes[i] & 0x0F];
            line += ' ';
        } else {
            line += "   ";
        }
    }
    line += "  ";
    for (size_t i = 0; i < count; ++i)
        line += (bytes[i] >= 0x20 && bytes[i] < 0x7F) ? static_cast<char>(bytes[i]) : '.';
    line += "\r\n";
    return line;
}

namespace detail {

void TraceLine(int level, const char* format, ...) {
    const int savedErrno = errno;
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    char head[64];
    if (level & kTraceError)
        std::snprintf(head, sizeof head, "Proc %d\tError %d during ", static_cast<int>(::gettid()),
                      savedErrno);
    else
        std::snprintf(head, sizeof head, "Proc %d\t%s", static_cast<int>(::gettid()),
                      LevelWord(level));
    Emit(std::string(head) + text + "\r\n");
    errno = savedErrno;
}

void TraceDump(const char* tag, const char* data, size_t length) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    for (size_t at = 0; at < length; at += 16)
        Emit(TcpFormatDumpLine(tag, bytes + at, length - at));
}

} // namespace detail

} // namespace km
