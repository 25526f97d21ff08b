#pragma once
// The log handle: an open file descriptor that receives a copy of every byte an
// operation moves across its socket, or -1 for none.
#include <cstddef>
#include <string>
#include <string_view>

namespace km {

// What the log records for outgoing data: a "PASS" command has its argument,
// from offset 5 up to the first CR, LF or NUL, replaced by '*' (same length).
std::string TcpMaskForLog(std::string_view data);

// Appends bytes to the log (nothing when `log` is -1). Logging is best effort:
// a full disk must not break the connection it describes.
void TcpLogReceived(int log, const char* data, size_t length);
void TcpLogSent(int log, const char* data, size_t length);

// A log file opened by path: created or truncated, readable by the user only
// (it names the user and the servers).
class TcpLogFile {
public:
    TcpLogFile() = default;
    ~TcpLogFile() { Close(); }
    TcpLogFile(const TcpLogFile&) = delete;
    TcpLogFile& operator=(const TcpLogFile&) = delete;

    bool Open(const std::string& path);
    void Close();
    int handle() const { return fd_; }

private:
    int fd_ = -1;
};

} // namespace km
