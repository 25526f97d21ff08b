#pragma once
// A JSON document read into memory: the small documents system tools print
// (lsblk --json). Not for large or streamed input.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace km {

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };

    Kind kind = Kind::Null;
    bool boolean = false;
    std::string text;              // a string's decoded UTF-8, or a number as written
    std::vector<JsonValue> items;  // an array's elements, or an object's values
    std::vector<std::string> keys; // an object's names, one per item, in order

    // An object's member (the first of that name); null when absent or not an object.
    const JsonValue* Find(std::string_view key) const;
    // A number without sign, fraction or exponent, or a string of such digits
    // (older tools quote every value); false on anything else or overflow.
    bool ToUnsigned(uint64_t& value) const;
};

// Reads RFC 8259 text. False on anything malformed, a string holding a raw
// control character, nesting deeper than 64, or text after the value.
bool ParseJson(std::string_view text, JsonValue& out);

} // namespace km
