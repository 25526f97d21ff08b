#pragma once
// The "key=value under [Group]" text of desktop entries and mimeapps.list.
// Edits keep every other line, comment and group as it was, so rewriting the
// user's mimeapps.list changes only the keys we set.
#include <string>
#include <string_view>
#include <vector>

namespace km {

class KeyFile {
public:
    KeyFile() = default;
    explicit KeyFile(std::string_view text);

    // The raw value (escapes not undone) of `key` in the first group named
    // `group`; null when missing.
    const std::string* Get(std::string_view group, std::string_view key) const;
    // Replaces the value, or appends the key to the group (created at the end).
    void Set(std::string_view group, std::string_view key, std::string_view value);
    void Remove(std::string_view group, std::string_view key);
    bool HasGroup(std::string_view group) const;

    std::string ToText() const;

private:
    struct Line {
        enum Kind { Other, Group, Entry } kind = Other;
        std::string text; // the whole line for Other
        std::string name; // group name or key
        std::string value;
    };
    // Index of the entry line, or of the group's last line when `key` is missing
    // (-1 when the group is missing too); `found` tells which.
    long find(std::string_view group, std::string_view key, bool& found) const;

    std::vector<Line> lines_;
};

// Splits a ';'-separated list value ("a.desktop;b.desktop;"), empty items dropped.
std::vector<std::string> SplitList(std::string_view value);

} // namespace km
