#include "platform/JsonValue.h"

#include "platform/Utf8.h"

namespace km {
namespace {

constexpr int kMaxDepth = 64;

class Reader {
public:
    explicit Reader(std::string_view text) : s_(text) {}

    bool document(JsonValue& out) {
        skipSpace();
        if (!value(out, 0))
            return false;
        skipSpace();
        return pos_ == s_.size();
    }

private:
    bool atEnd() const { return pos_ >= s_.size(); }
    char peek() const { return s_[pos_]; }

    void skipSpace() {
        while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r'))
            ++pos_;
    }

    bool literal(std::string_view word) {
        if (s_.substr(pos_, word.size()) != word)
            return false;
        pos_ += word.size();
        return true;
    }

    bool value(JsonValue& out, int depth) {
        if (atEnd() || depth > kMaxDepth)
            return false;
        switch (peek()) {
        case '{':
            return object(out, depth);
        case '[':
            return array(out, depth);
        case '"':
            out.kind = JsonValue::Kind::String;
            return string(out.text);
        case 't':
            out.kind = JsonValue::Kind::Bool;
            out.boolean = true;
            return literal("true");
        case 'f':
            out.kind = JsonValue::Kind::Bool;
            out.boolean = false;
            return literal("false");
        case 'n':
            out.kind = JsonValue::Kind::Null;
            return literal("null");
        default:
            out.kind = JsonValue::Kind::Number;
            return number(out.text);
        }
    }

    bool object(JsonValue& out, int depth) {
        out.kind = JsonValue::Kind::Object;
        ++pos_; // '{'
        skipSpace();
        if (!atEnd() && peek() == '}') {
            ++pos_;
            return true;
        }
        for (;;) {
            skipSpace();
            if (atEnd() || peek() != '"')
                return false;
            std::string key;
            if (!string(key))
                return false;
            skipSpace();
            if (atEnd() || peek() != ':')
                return false;
            ++pos_;
            skipSpace();
            JsonValue member;
            if (!value(member, depth + 1))
                return false;
            out.keys.push_back(std::move(key));
            out.items.push_back(std::move(member));
            skipSpace();
            if (atEnd())
                return false;
            if (peek() == '}') {
                ++pos_;
                return true;
            }
            if (peek() != ',')
                return false;
            ++pos_;
        }
    }

    bool array(JsonValue& out, int depth) {
        out.kind = JsonValue::Kind::Array;
        ++pos_; // '['
        skipSpace();
        if (!atEnd() && peek() == ']') {
            ++pos_;
            return true;
        }
        for (;;) {
            skipSpace();
            JsonValue item;
            if (!value(item, depth + 1))
                return false;
            out.items.push_back(std::move(item));
            skipSpace();
            if (atEnd())
                return false;
            if (peek() == ']') {
                ++pos_;
                return true;
            }
            if (peek() != ',')
                return false;
            ++pos_;
        }
    }

    bool digits() {
        const size_t start = pos_;
        while (!atEnd() && peek() >= '0' && peek() <= '9')
            ++pos_;
        return pos_ > start;
    }

    bool number(std::string& out) {
        const size_t start = pos_;
        if (!atEnd() && peek() == '-')
            ++pos_;
        if (atEnd())
            return false;
        if (peek() == '0')
            ++pos_;
        else if (!digits())
            return false;
        if (!atEnd() && peek() == '.') {
            ++pos_;
            if (!digits())
                return false;
        }
        if (!atEnd() && (peek() == 'e' || peek() == 'E')) {
            ++pos_;
            if (!atEnd() && (peek() == '+' || peek() == '-'))
                ++pos_;
            if (!digits())
                return false;
        }
        out.assign(s_.substr(start, pos_ - start));
        return true;
    }

    bool hex4(uint32_t& v) {
        if (s_.size() - pos_ < 4)
            return false;
        v = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = s_[pos_++];
            const int d = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
            if (d < 0)
                return false;
            v = v * 16 + static_cast<uint32_t>(d);
        }
        return true;
    }

    bool string(std::string& out) {
        ++pos_; // '"'
        for (;;) {
            if (atEnd())
                return false;
            const unsigned char c = static_cast<unsigned char>(s_[pos_++]);
            if (c == '"')
                return true;
            if (c < 0x20)
                return false;
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (atEnd())
                return false;
            const char e = s_[pos_++];
            switch (e) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case '/':
                out += '/';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                uint32_t cp;
                if (!hex4(cp))
                    return false;
                if (cp >= 0xD800 && cp <= 0xDBFF) {
                    // A high surrogate counts only with its low half right after it.
                    uint32_t low = 0;
                    const size_t save = pos_;
                    if (s_.substr(pos_, 2) == "\\u" && (pos_ += 2, hex4(low)) && low >= 0xDC00 &&
                        low <= 0xDFFF) {
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    } else {
                        pos_ = save;
                        cp = 0xFFFD;
                    }
                } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                    cp = 0xFFFD;
                }
                AppendUtf8(out, cp);
                break;
            }
            default:
                return false;
            }
        }
    }

    std::string_view s_;
    size_t pos_ = 0;
};

} // namespace

const JsonValue* JsonValue::Find(std::string_view key) const {
    if (kind != Kind::Object)
        return nullptr;
    for (size_t i = 0; i < keys.size() && i < items.size(); ++i) {
        if (keys[i] == key)
            return &items[i];
    }
    return nullptr;
}

bool JsonValue::ToUnsigned(uint64_t& value) const {
    if ((kind != Kind::Number && kind != Kind::String) || text.empty())
        return false;
    uint64_t v = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        if (__builtin_mul_overflow(v, 10u, &v) ||
            __builtin_add_overflow(v, static_cast<uint64_t>(c - '0'), &v))
            return false;
    }
    value = v;
    return true;
}

bool ParseJson(std::string_view text, JsonValue& out) {
    out = JsonValue();
    Reader reader(text);
    return reader.document(out);
}

} // namespace km
