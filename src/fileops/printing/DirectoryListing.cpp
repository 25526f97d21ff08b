#include "fileops/printing/DirectoryListing.h"

#include "platform/Wildcard.h"

namespace km {
namespace {

// The name ls printed with --quoting-style=escape, unescaped; for a link,
// the part before " -> " (an arrow inside a name has its blanks escaped).
std::string entryName(std::string_view field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == ' ' && field.substr(i, 4) == " -> ")
            break;
        if (c != '\\' || i + 1 == field.size()) {
            out += c;
            continue;
        }
        const char e = field[++i];
        if (e >= '0' && e <= '7') {
            int value = 0;
            size_t n = 0;
            for (; n < 3 && i < field.size() && field[i] >= '0' && field[i] <= '7'; ++n, ++i)
                value = value * 8 + (field[i] - '0');
            --i;
            out += static_cast<char>(value);
            continue;
        }
        switch (e) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case 'a': out += '\a'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'v': out += '\v'; break;
        default: out += e; break; // "\ ", "\\", and the like
        }
    }
    return out;
}

// The name field of an entry line: after mode, links, owner, group, size
// (a device's "major, minor" is two words), date and time.
bool nameField(std::string_view line, std::string_view& name) {
    size_t at = 0;
    int words = 0;
    bool device = false;
    while (at < line.size()) {
        while (at < line.size() && line[at] == ' ')
            ++at;
        const size_t end = line.find(' ', at);
        if (end == std::string_view::npos)
            return false;
        const std::string_view word = line.substr(at, end - at);
        ++words;
        if (words == 1)
            device = !word.empty() && (word[0] == 'c' || word[0] == 'b');
        at = end + 1;
        const int before = device ? 8 : 7;
        if (words == before) {
            name = line.substr(at);
            return !name.empty();
        }
    }
    return false;
}

// An entry line starts with its mode, such as "-rw-r--r--" or "drwxr-xr-x";
// a heading ("dir:") or anything else does not.
bool isEntry(std::string_view line) {
    if (line.size() < 11 || std::string_view("-dlcbps").find(line[0]) == std::string_view::npos)
        return false;
    for (size_t i = 1; i < 10; ++i) {
        if (std::string_view("rwxsStT-").find(line[i]) == std::string_view::npos)
            return false;
    }
    return true;
}

} // namespace

std::vector<std::string> ListingCommand(const std::string& dir, bool tree) {
    return {"ls",
            tree ? "-lR" : "-l",
            "--group-directories-first",
            "--time-style=long-iso",
            "--quoting-style=escape",
            "--",
            dir};
}

bool MaskTakesAll(std::string_view mask) { return mask.empty() || mask == "*" || mask == "*.*"; }

std::string FilterListing(std::string_view listing, std::string_view mask) {
    std::string out;
    size_t start = 0;
    while (start < listing.size()) {
        size_t end = listing.find('\n', start);
        if (end == std::string_view::npos)
            end = listing.size();
        const std::string_view line = listing.substr(start, end - start);
        start = end + 1;
        std::string_view name;
        bool keep;
        if (line.rfind("total ", 0) == 0)
            keep = false;
        else if (!isEntry(line) || !nameField(line, name))
            keep = true; // a heading, a blank line, or one we cannot read: never lose it
        else
            keep = WildcardMatch(mask, entryName(name));
        if (keep)
            out.append(line).append("\n");
    }
    return out;
}

} // namespace km
