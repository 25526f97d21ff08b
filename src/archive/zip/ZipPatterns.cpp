#include "archive/zip/ZipPatterns.h"

#include <fstream>
#include <iterator>

namespace km::zip {

namespace {

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool inRange(unsigned char c, unsigned char lo, unsigned char hi) {
    return c >= lo && c <= hi;
}

// Matches the class starting at pattern[at] == '['. Returns false with *end == npos when the
// bracket is not closed (then it is an ordinary character).
bool matchClass(std::string_view pattern, size_t at, char c, size_t* end) {
    size_t j = at + 1;
    bool negate = false;
    if (j < pattern.size() && (pattern[j] == '!' || pattern[j] == '^')) {
        negate = true;
        ++j;
    }
    bool hit = false;
    const unsigned char cl = static_cast<unsigned char>(lower(c));
    const unsigned char cu = static_cast<unsigned char>(upper(c));
    while (j < pattern.size() && pattern[j] != ']') {
        char lo = pattern[j];
        if (lo == '\\' && j + 1 < pattern.size())
            lo = pattern[++j];
        ++j;
        char hi = lo;
        if (j + 1 < pattern.size() && pattern[j] == '-' && pattern[j + 1] != ']') {
            hi = pattern[j + 1];
            j += 2;
            if (hi == '\\' && j < pattern.size())
                hi = pattern[j++];
        }
        const auto l = static_cast<unsigned char>(lo);
        const auto h = static_cast<unsigned char>(hi);
        if (inRange(cl, l, h) || inRange(cu, l, h) ||
            inRange(cl, static_cast<unsigned char>(lower(lo)),
                    static_cast<unsigned char>(lower(hi))))
            hit = true;
    }
    if (j >= pattern.size()) {
        *end = std::string_view::npos;
        return false;
    }
    *end = j + 1;
    return hit != negate;
}

// One non-star token at pattern[p] against c; on a match *next is the following token.
bool matchToken(std::string_view pattern, size_t p, char c, size_t* next) {
    const char pc = pattern[p];
    if (pc == '?') {
        *next = p + 1;
        return true;
    }
    if (pc == '[') {
        size_t end;
        const bool hit = matchClass(pattern, p, c, &end);
        if (end != std::string_view::npos) {
            *next = end;
            return hit;
        }
    }
    *next = p + 1;
    if (pc == '\\' || pc == '/')
        return c == '/';
    return lower(pc) == lower(c);
}

} // namespace

void ZipPatternList::AddBarSeparated(std::string_view text) {
    while (!text.empty()) {
        const size_t bar = text.find('|');
        const std::string_view piece = text.substr(0, bar);
        if (!piece.empty())
            patterns_.emplace_back(piece);
        if (bar == std::string_view::npos)
            break;
        text.remove_prefix(bar + 1);
    }
}

void ZipPatternList::AddListText(std::string_view text) {
    while (!text.empty()) {
        const size_t nl = text.find('\n');
        std::string line;
        for (char c : text.substr(0, nl)) {
            if (c != '\r')
                line += c;
        }
        if (!line.empty() && line[0] != ';')
            patterns_.push_back(std::move(line));
        if (nl == std::string_view::npos)
            break;
        text.remove_prefix(nl + 1);
    }
}

bool ZipPatternList::AddListFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    AddListText(text);
    return true;
}

std::string ZipSelectionListText(const std::vector<std::string>& files,
                                 const std::vector<std::string>& directories) {
    std::string text = "-\n";
    for (const std::string& f : files)
        text += f + "\n";
    text += "+\n";
    for (const std::string& d : directories)
        text += (d == "/" ? std::string() : d) + "/*.*\n";
    return text;
}

bool ZipWildcardMatch(std::string_view pattern, std::string_view subject) {
    size_t p = 0;
    size_t s = 0;
    size_t starP = std::string_view::npos;
    size_t starS = 0;
    // A star only ever needs to resume from the latest one, because '*' matches anything.
    while (s < subject.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = ++p;
            starS = s;
            continue;
        }
        size_t next;
        if (p < pattern.size() && matchToken(pattern, p, subject[s], &next)) {
            p = next;
            ++s;
            continue;
        }
        if (starP == std::string_view::npos)
            return false;
        p = starP;
        s = ++starS;
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool ZipPatternMatches(std::string_view pattern, std::string_view storedName,
                       bool restoreStructure) {
    std::string_view subject = storedName;
    const bool patternHasSeparator = pattern.find_first_of("/\\") != std::string_view::npos;
    const size_t lastSlash = storedName.rfind('/');
    if (restoreStructure && !patternHasSeparator && lastSlash != std::string_view::npos)
        subject = storedName.substr(lastSlash + 1);
    if (pattern.size() >= 3 && pattern.substr(pattern.size() - 3) == "*.*")
        return ZipWildcardMatch(pattern.substr(0, pattern.size() - 2), subject);
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == "*.") {
        const size_t slash = subject.rfind('/');
        const std::string_view last =
            slash == std::string_view::npos ? subject : subject.substr(slash + 1);
        if (last.find('.') != std::string_view::npos)
            return false;
        return ZipWildcardMatch(pattern.substr(0, pattern.size() - 1), subject);
    }
    return ZipWildcardMatch(pattern, subject);
}

bool ZipNameSelected(const ZipPatternList& include, const ZipPatternList& exclude,
                     std::string_view storedName, bool restoreStructure) {
    bool included = include.empty();
    for (const auto& p : include.patterns()) {
        if (ZipPatternMatches(p, storedName, restoreStructure)) {
            included = true;
            break;
        }
    }
    if (!included)
        return false;
    for (const auto& p : exclude.patterns()) {
        if (ZipPatternMatches(p, storedName, restoreStructure))
            return false;
    }
    return true;
}

} // namespace km::zip
