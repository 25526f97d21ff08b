#pragma once
// The line operations for text protocols over the TCP library: lines end in LF
// (a CR before it is dropped), replies are one or more lines with a leading
// three-digit code. Buffers always stay NUL-terminated.
#include <cstddef>
#include <string_view>

namespace km {

// One line into `buf` (at most size - 1 bytes). 1, or the result of
// TcpRecvUntilStr (0, -1, -2, -9 with the remainder left unread, -11, -12).
// `lineLength`, when given, receives the bytes stored.
int TnReadLine(int sock, char* buf, size_t size, int timeout, int log,
               size_t* lineLength = nullptr);
// Sends `text` followed by CR LF: 1; -12 without memory; -1 on any other failure.
int TnSend(int sock, std::string_view text, bool urgent, int log, int timeout = 0);
// A whole reply into `buf`, its lines joined by LF, the final line last. The
// timeout bounds the whole reply. When a later line does not fit, or no room
// is left for one, what fits is kept and the rest of the reply is read and
// dropped, so the next reply starts clean. 1 complete; 0 closed; -2; -11;
// 2 the first line did not fit (the rest of the reply is dropped as well);
// -1 otherwise.
int TnReadMultiLine(int sock, char* buf, size_t size, int timeout, int log);
// The reply code (leading digits; 0 when there are none) when TnReadMultiLine
// gives 1, else its result unchanged — so transport failures are below 100.
int TnReadAnswerCode(int sock, char* buf, size_t size, int timeout, int log);

} // namespace km
