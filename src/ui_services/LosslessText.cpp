#include "ui_services/LosslessText.h"

namespace km {
namespace {

constexpr char16_t kEscapeBase = 0xDC00;

// Code points the text control would turn into paragraph breaks; they are
// kept as escaped bytes so they cannot vanish or become line ends.
bool IsBlockBreak(char32_t cp) {
    return cp == 0x2029 || cp == 0xFDD0 || cp == 0xFDD1;
}

int SequenceLength(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

// Whether `b` may follow `lead` at `index` (1-based within the sequence);
// the narrowed second-byte ranges exclude overlong forms, surrogates and
// code points above U+10FFFF.
bool ContinuationOk(unsigned char lead, int index, unsigned char b) {
    if (index == 1) {
        switch (lead) {
        case 0xE0:
            return b >= 0xA0 && b <= 0xBF;
        case 0xED:
            return b >= 0x80 && b <= 0x9F;
        case 0xF0:
            return b >= 0x90 && b <= 0xBF;
        case 0xF4:
            return b >= 0x80 && b <= 0x8F;
        default:
            break;
        }
    }
    return b >= 0x80 && b <= 0xBF;
}

} // namespace

void LosslessDecoder::feed(std::string_view bytes, DecodedText& out) {
    if (pending_.empty()) {
        decode(bytes, false, out);
        return;
    }
    std::string joined = std::move(pending_);
    pending_.clear();
    joined.append(bytes);
    decode(joined, false, out);
}

void LosslessDecoder::finish(DecodedText& out) {
    std::string rest = std::move(pending_);
    pending_.clear();
    decode(rest, true, out);
}

void LosslessDecoder::decode(std::string_view in, bool final, DecodedText& out) {
    const auto* data = reinterpret_cast<const unsigned char*>(in.data());
    const size_t n = in.size();
    // Every byte yields at most one UTF-16 unit (a 4-byte sequence yields two).
    const qsizetype base = out.text.size();
    out.text.resize(base + static_cast<qsizetype>(n));
    char16_t* dst = reinterpret_cast<char16_t*>(out.text.data()) + base;
    char16_t* const start = dst;

    size_t i = 0;
    while (i < n) {
        const unsigned char b = data[i];
        if (b < 0x80) {
            if (b == '\r') {
                if (i + 1 == n && !final) {
                    pending_.assign(1, '\r'); // a CRLF may be split between pieces
                    break;
                }
                const bool crlf = i + 1 < n && data[i + 1] == '\n';
                *dst++ = u'\n';
                out.ends.push_back(crlf ? LineEnd::CrLf : LineEnd::Cr);
                i += crlf ? 2 : 1;
                continue;
            }
            if (b == '\n')
                out.ends.push_back(LineEnd::Lf);
            *dst++ = b;
            ++i;
            continue;
        }
        const int len = SequenceLength(b);
        int have = 1;
        while (have < len && i + static_cast<size_t>(have) < n &&
               ContinuationOk(b, have, data[i + static_cast<size_t>(have)]))
            ++have;
        if (len == 0 || have < len) {
            if (len != 0 && i + static_cast<size_t>(have) == n && !final) {
                pending_.assign(in.substr(i)); // the rest may come with the next piece
                break;
            }
            *dst++ = static_cast<char16_t>(kEscapeBase + b);
            ++i;
            continue;
        }
        char32_t cp = b & (0x7F >> len);
        for (int k = 1; k < len; ++k)
            cp = (cp << 6) | (data[i + static_cast<size_t>(k)] & 0x3F);
        if (IsBlockBreak(cp)) {
            for (int k = 0; k < len; ++k)
                *dst++ = static_cast<char16_t>(kEscapeBase + data[i + static_cast<size_t>(k)]);
        } else if (cp >= 0x10000) {
            cp -= 0x10000;
            *dst++ = static_cast<char16_t>(0xD800 + (cp >> 10));
            *dst++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            *dst++ = static_cast<char16_t>(cp);
        }
        i += static_cast<size_t>(len);
    }
    out.text.truncate(base + static_cast<qsizetype>(dst - start));
}

DecodedText DecodeLossless(std::string_view bytes) {
    DecodedText out;
    LosslessDecoder decoder;
    decoder.feed(bytes, out);
    decoder.finish(out);
    return out;
}

void AppendEncoded(QStringView text, std::string& out) {
    const char16_t* p = text.utf16();
    const char16_t* const end = p + text.size();
    out.reserve(out.size() + static_cast<size_t>(text.size()));
    while (p < end) {
        const char32_t u = *p++;
        if (u < 0x80) {
            out.push_back(static_cast<char>(u));
        } else if (u < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (u >> 6)));
            out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        } else if (u >= 0xD800 && u <= 0xDBFF && p < end && *p >= 0xDC00 && *p <= 0xDFFF) {
            const char32_t cp = 0x10000 + ((u - 0xD800) << 10) + (*p++ - 0xDC00);
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (u >= kEscapeBase + 0x80 && u <= kEscapeBase + 0xFF) {
            out.push_back(static_cast<char>(u - kEscapeBase));
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            out.append("\xEF\xBF\xBD"); // an unpaired surrogate has no bytes of its own
        } else {
            out.push_back(static_cast<char>(0xE0 | (u >> 12)));
            out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        }
    }
}

std::string_view LineEndBytes(LineEnd end) {
    switch (end) {
    case LineEnd::CrLf:
        return "\r\n";
    case LineEnd::Cr:
        return "\r";
    case LineEnd::Lf:
        break;
    }
    return "\n";
}

std::string EncodeLossless(const DecodedText& decoded, LineEnd fallback) {
    std::string out;
    const QStringView text(decoded.text);
    size_t line = 0;
    qsizetype from = 0;
    while (from <= text.size()) {
        const qsizetype nl = text.indexOf(u'\n', from);
        const qsizetype to = nl < 0 ? text.size() : nl;
        AppendEncoded(text.mid(from, to - from), out);
        if (nl < 0)
            break;
        out.append(LineEndBytes(line < decoded.ends.size() ? decoded.ends[line] : fallback));
        ++line;
        from = nl + 1;
    }
    return out;
}

QString NameToText(std::string_view name) {
    // Control bytes are cut out first, so the decoder sees no line ends.
    QString text;
    size_t from = 0;
    while (from <= name.size()) {
        size_t to = from;
        while (to < name.size() && static_cast<unsigned char>(name[to]) >= 0x20)
            ++to;
        text += DecodeLossless(name.substr(from, to - from)).text;
        if (to == name.size())
            break;
        text += QChar(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(name[to])));
        from = to + 1;
    }
    return text;
}

std::string NameFromText(QStringView text) {
    std::string out;
    qsizetype from = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const bool control = i < text.size() && text[i].unicode() >= kEscapeBase &&
                             text[i].unicode() < kEscapeBase + 0x20;
        if (i < text.size() && !control)
            continue;
        AppendEncoded(text.mid(from, i - from), out);
        if (control)
            out.push_back(static_cast<char>(text[i].unicode() - kEscapeBase));
        from = i + 1;
    }
    return out;
}

} // namespace km
