#pragma once
// Text files are shown as QString but saved as the bytes they were read as.
// Valid UTF-8 decodes normally; every byte that is not part of valid UTF-8
// becomes the lone surrogate U+DC00 + byte, which valid UTF-8 can never
// produce, so encoding maps it back to that byte. Line ends become '\n' in
// the text and their kind is kept beside it, so CRLF, LF and lone CR survive.
#include <QString>
#include <QStringView>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace km {

enum class LineEnd : uint8_t { Lf = 0, CrLf = 1, Cr = 2 };

// Decoded text: `text` holds '\n' for each line end; `ends[i]` is the kind of
// the i-th one.
struct DecodedText {
    QString text;
    std::vector<LineEnd> ends;
};

// Decodes a byte stream that arrives in pieces of any size; a UTF-8 sequence
// or CRLF pair split between pieces comes out the same as in one piece.
class LosslessDecoder {
public:
    // Appends what `bytes` completes to `out`; holds back an unfinished tail.
    void feed(std::string_view bytes, DecodedText& out);
    // Appends the held-back tail; call once after the last piece.
    void finish(DecodedText& out);

private:
    void decode(std::string_view bytes, bool final, DecodedText& out);
    std::string pending_; // an unfinished UTF-8 sequence or a trailing CR
};

DecodedText DecodeLossless(std::string_view bytes);

// Appends the bytes of `text`; '\n' is written as LF (callers add line ends
// themselves), lone surrogates U+DC80–U+DCFF as their byte, other unpaired
// surrogates as U+FFFD.
void AppendEncoded(QStringView text, std::string& out);

std::string_view LineEndBytes(LineEnd end);

// A file name for editing in a one-line field: control bytes and bytes that
// are not valid UTF-8 become U+DC00 + byte, so NameFromText gives back the
// very bytes of every part the user did not touch.
QString NameToText(std::string_view name);
std::string NameFromText(QStringView text);

// The bytes `decoded` came from: each '\n' written as its recorded kind
// (`fallback` where none is recorded).
std::string EncodeLossless(const DecodedText& decoded, LineEnd fallback = LineEnd::Lf);

} // namespace km
