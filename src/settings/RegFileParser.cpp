#include "settings/RegFileParser.h"

#include "platform/Utf8.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace km {

namespace {

constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr uint32_t kRegMultiSz = 7;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    return s;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// False on an odd length or an unpaired surrogate: such bytes are not text.
bool Utf16LeToUtf8(std::string_view in, std::string& out) {
    if (in.size() % 2 != 0)
        return false;
    out.clear();
    out.reserve(in.size());
    auto unit = [&in](size_t i) {
        return static_cast<uint32_t>(static_cast<unsigned char>(in[i])) |
               (static_cast<uint32_t>(static_cast<unsigned char>(in[i + 1])) << 8);
    };
    for (size_t i = 0; i + 2 <= in.size(); i += 2) {
        uint32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 4 > in.size())
                return false;
            uint32_t low = unit(i + 2);
            if (low < 0xDC00 || low > 0xDFFF)
                return false;
            u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            return false;
        }
        AppendUtf8(out, u);
    }
    return true;
}

class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}
    bool next(std::string_view& line) {
        if (pos_ >= text_.size())
            return false;
        size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos)
            end = text_.size();
        line = text_.substr(pos_, end - pos_);
        pos_ = end + 1;
        ++number_;
        return true;
    }
    int number() const { return number_; }

private:
    std::string_view text_;
    size_t pos_ = 0;
    int number_ = 0;
};

// `s` starts after an opening quote; on success it is left after the closing one.
// Only \\ and \" are escapes; any other backslash is kept as written, as a
// hand-typed "C:\Temp" means.
bool ReadQuoted(std::string_view& s, std::string& out) {
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '"') {
            s.remove_prefix(i + 1);
            return true;
        }
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"'))
            c = s[++i];
        out += c;
    }
    return false;
}

// "01,ff,2a": exactly two digits per byte, so a list cut short is noticed.
bool ReadHexBytes(std::string_view list, std::string& out) {
    list = Trim(list);
    if (list.empty())
        return true;
    for (;;) {
        size_t comma = list.find(',');
        std::string_view item = Trim(list.substr(0, comma));
        if (item.size() != 2 || HexDigit(item[0]) < 0 || HexDigit(item[1]) < 0)
            return false;
        out += static_cast<char>(HexDigit(item[0]) * 16 + HexDigit(item[1]));
        if (comma == std::string_view::npos)
            return true;
        list.remove_prefix(comma + 1);
    }
}

// After "hex": either ":" (binary) or "(N):" with N in hex. Leaves `s` after the colon.
bool ReadHexType(std::string_view& s, uint32_t& type) {
    if (!s.empty() && s[0] == ':') {
        type = kRegBinary;
        s.remove_prefix(1);
        return true;
    }
    if (s.empty() || s[0] != '(')
        return false;
    size_t close = s.find("):");
    if (close == std::string_view::npos || close < 2 || close > 9)
        return false;
    type = 0;
    for (size_t i = 1; i < close; ++i) {
        int d = HexDigit(s[i]);
        if (d < 0)
            return false;
        type = type * 16 + static_cast<uint32_t>(d);
    }
    s.remove_prefix(close + 2);
    return true;
}

// Brings a hex value to this program's 8-bit view: version 5 files hold string
// types as UTF-16LE, and a plain terminated REG_SZ is just a string.
void NormalizeHexValue(RegValue& value, bool wide) {
    uint32_t t = value.hexType;
    if (wide && (t == kRegSz || t == kRegExpandSz || t == kRegMultiSz)) {
        std::string narrow;
        if (Utf16LeToUtf8(value.data, narrow))
            value.data = std::move(narrow);
    }
    if (t != kRegSz)
        return;
    std::string_view text = value.data;
    if (!text.empty() && text.back() == '\0')
        text.remove_suffix(1);
    if (text.find('\0') != std::string_view::npos)
        return;
    value.data.resize(text.size());
    value.type = RegType::String;
}

} // namespace

bool ParseRegFile(std::string_view text, RegDocument& out, std::string& error) {
    out.clear();
    error.clear();
    std::string decoded;
    if (text.starts_with("\xFF\xFE")) {
        if (!Utf16LeToUtf8(text.substr(2), decoded)) {
            error = "the file is not valid UTF-16 text";
            return false;
        }
        text = decoded;
    } else if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }

    LineReader lines(text);
    std::string_view line;
    auto fail = [&](std::string_view why) {
        error = "line " + std::to_string(std::max(lines.number(), 1)) + ": " + std::string(why);
        out.clear();
        return false;
    };
    if (!lines.next(line))
        return fail("the file is empty");
    line = Trim(line);
    bool wide = line == kHeader5;
    if (line != kHeader4 && !wide)
        return fail("the first line is not \"REGEDIT4\"");

    constexpr size_t kNoKey = SIZE_MAX;
    size_t current = kNoKey;
    bool inDeletedKey = false;
    while (lines.next(line)) {
        line = Trim(line);
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            if (line.back() != ']')
                return fail("a key name lacks its closing ']'");
            std::string_view path = line.substr(1, line.size() - 2);
            if (!path.empty() && path[0] == '-') {
                out.removeTree(path.substr(1));
                current = kNoKey;
                inDeletedKey = true;
                continue;
            }
            if (path.empty())
                return fail("empty key name");
            current = out.keyIndex(path);
            inDeletedKey = false;
            continue;
        }

        std::string name;
        if (line[0] == '@') {
            line.remove_prefix(1);
        } else if (line[0] == '"') {
            line.remove_prefix(1);
            if (!ReadQuoted(line, name))
                return fail("unterminated value name");
        } else {
            return fail("not a key, a value or a comment");
        }
        line = TrimLeft(line);
        if (line.empty() || line[0] != '=')
            return fail("'=' missing after the value name");
        line = TrimLeft(line.substr(1));
        if (current == kNoKey && !inDeletedKey)
            return fail("a value before the first key");
        if (line.empty())
            return fail("a value without data");

        RegValue value;
        bool remove = false;
        if (line == "-") {
            remove = true;
        } else if (line[0] == '"') {
            line.remove_prefix(1);
            if (!ReadQuoted(line, value.data))
                return fail("unterminated string");
            if (!line.empty())
                return fail("text after the closing quote");
        } else if (FoldedStartsWith(line, "dword:")) {
            std::string_view digits = line.substr(6);
            if (digits.size() != 8)
                return fail("a dword value is not 8 hex digits");
            uint32_t n = 0;
            for (char c : digits) {
                int d = HexDigit(c);
                if (d < 0)
                    return fail("a dword value is not 8 hex digits");
                n = n * 16 + static_cast<uint32_t>(d);
            }
            value.type = RegType::Dword;
            value.dword = static_cast<int32_t>(n);
        } else if (FoldedStartsWith(line, "hex")) {
            line.remove_prefix(3);
            value.type = RegType::Binary;
            if (!ReadHexType(line, value.hexType))
                return fail("malformed hex value type");
            std::string joined;
            while (!line.empty() && line.back() == '\\') {
                joined.append(line.substr(0, line.size() - 1));
                if (!lines.next(line))
                    return fail("a hex value is cut off");
                line = Trim(line);
            }
            joined.append(line);
            if (!ReadHexBytes(joined, value.data))
                return fail("malformed hex bytes");
            NormalizeHexValue(value, wide);
        } else {
            return fail("unknown value type");
        }

        if (current == kNoKey)
            continue; // below a "[-key]" line: nothing to add to
        RegKey& key = out.keyAt(current);
        if (remove) {
            key.remove(name);
        } else {
            RegValue& slot = key.put(name);
            value.name = std::move(slot.name); // the first spelling stays
            slot = std::move(value);
        }
    }
    return true;
}

} // namespace km
