#include "settings/RegFileWriter.h"

#include <cstdio>

namespace km {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendQuoted(std::string& out, std::string_view s) {
    out += '"';
    for (char c : s) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
}

// Lines wrap near 80 columns with a trailing '\' and a two-space indent, as the
// registry editor writes them.
void AppendHex(std::string& out, uint32_t type, std::string_view bytes) {
    size_t lineStart = out.rfind('\n') + 1; // npos + 1 == 0
    if (type == kRegBinary) {
        out += "hex:";
    } else {
        char buf[20];
        std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(type));
        out += buf;
    }
    for (size_t i = 0; i < bytes.size(); ++i) {
        auto b = static_cast<unsigned char>(bytes[i]);
        out += kHexDigits[b >> 4];
        out += kHexDigits[b & 0xF];
        if (i + 1 == bytes.size())
            break;
        out += ',';
        if (out.size() - lineStart > 76) {
            out += "\\\n  ";
            lineStart = out.size() - 2;
        }
    }
}

void AppendValue(std::string& out, const RegValue& v) {
    if (v.name.empty())
        out += '@';
    else
        AppendQuoted(out, v.name);
    out += '=';
    switch (v.type) {
    case RegType::Dword: {
        char buf[20];
        std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<uint32_t>(v.dword));
        out += buf;
        break;
    }
    case RegType::String:
        // A line break cannot sit inside a quoted string of this format, so such
        // text goes out as the REG_SZ bytes with their terminator.
        if (v.data.find_first_of("\r\n") != std::string::npos)
            AppendHex(out, kRegSz, std::string(v.data) + '\0');
        else
            AppendQuoted(out, v.data);
        break;
    case RegType::Binary:
        AppendHex(out, v.hexType, v.data);
        break;
    }
    out += '\n';
}

} // namespace

std::string WriteRegFile(const RegDocument& doc) {
    std::string out = "REGEDIT4\n\n";
    for (const RegKey& key : doc.keys()) {
        out += '[';
        out += RegDocument::fullPath(key);
        out += "]\n";
        for (const RegValue& v : key.values())
            AppendValue(out, v);
        out += '\n';
    }
    return out;
}

} // namespace km
