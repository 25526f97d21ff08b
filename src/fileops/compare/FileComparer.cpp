#include "fileops/compare/FileComparer.h"

#include "fileops/compare/CompareResult.h"
#include "fileops/compare/LineText.h"

#include <new>
#include <stdexcept>
#include <unordered_map>

namespace km {
namespace {

constexpr int kLeft = 0;
constexpr int kRight = 1;

// How often a hash occurs among the unmatched lines of each side; only "once"
// matters, so the counts stop at two.
struct HashCount {
    uint8_t left = 0;
    uint8_t right = 0;
    size_t firstRight = kNoLine;
};

} // namespace

void FileComparer::clear() {
    for (int side = 0; side < 2; ++side)
        sections_[side].clear();
    display_.clear();
}

int FileComparer::Compare(const std::string& leftPath, const std::string& rightPath) {
    clear();
    LineFile left;
    LineFile right;
    if (const int r = left.Read(leftPath); r != CompareOk)
        return r;
    if (const int r = right.Read(rightPath); r != CompareOk)
        return r;
    return Compare(std::move(left), std::move(right));
}

int FileComparer::Compare(LineFile left, LineFile right) {
    clear();
    files_[kLeft] = std::move(left);
    files_[kRight] = std::move(right);
    if (!files_[kLeft].loaded() || !files_[kRight].loaded())
        return CompareCannotOpen;
    try {
        return run();
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    clear();
    return CompareNoMemory;
}

int FileComparer::run() {
    const size_t nl = files_[kLeft].size();
    const size_t nr = files_[kRight].size();
    // Each pass that goes on links at least one more line, so this ends.
    for (;;) {
        bool linked = nl > 0 && nr > 0 && matchSection({0, nl - 1}, {0, nr - 1});
        makeSections(kLeft);
        makeSections(kRight);
        linked = matchSectionLists() || linked;
        if (!linked)
            break;
    }
    display_ = ComposeDisplay(sections_[kLeft], sections_[kRight], nl, nr);
    return CompareOk;
}

uint32_t FileComparer::hash(int side, size_t i) {
    CompareLine& line = files_[side].line(i);
    if (!line.hashed) {
        line.hash = LineHash(files_[side].text(i), ignoreWhiteSpace_);
        line.hashed = true;
    }
    return line.hash;
}

bool FileComparer::blank(int side, size_t i) const {
    return ignoreWhiteSpace_ && IsBlankLine(files_[side].text(i));
}

bool FileComparer::link(size_t a, size_t b) {
    if (!unlinked(kLeft, a) || !unlinked(kRight, b))
        return false;
    if (hash(kLeft, a) != hash(kRight, b) ||
        !LineTextsEqual(files_[kLeft].text(a), files_[kRight].text(b), ignoreWhiteSpace_))
        return false;
    files_[kLeft].line(a).partner = b;
    files_[kRight].line(b).partner = a;
    return true;
}

bool FileComparer::expandMatch(Range l, size_t x, Range r, size_t y) {
    bool linked = false;
    size_t a = x;
    size_t b = y;
    while (a <= l.last && b <= r.last) {
        if (link(a, b)) {
            linked = true;
            ++a;
            ++b;
            continue;
        }
        if (!ignoreWhiteSpace_)
            break;
        const size_t a0 = a;
        const size_t b0 = b;
        while (a < l.last && blank(kLeft, a))
            ++a;
        while (b < r.last && blank(kRight, b))
            ++b;
        if (a == a0 && b == b0)
            break;
    }
    if (unlinked(kLeft, x) || x <= l.first || y <= r.first)
        return linked;

    a = x - 1;
    b = y - 1;
    for (;;) {
        if (link(a, b)) {
            linked = true;
            if (a == l.first || b == r.first)
                break;
            --a;
            --b;
            continue;
        }
        if (!ignoreWhiteSpace_)
            break;
        const size_t a0 = a;
        const size_t b0 = b;
        while (a > l.first && blank(kLeft, a))
            --a;
        while (b > r.first && blank(kRight, b))
            --b;
        if (a == a0 && b == b0)
            break;
    }
    return linked;
}

bool FileComparer::matchSection(Range l, Range r) {
    bool linked = expandMatch(l, l.first, r, r.first);
    linked = expandMatch(l, l.last, r, r.last) || linked;

    std::unordered_map<uint32_t, HashCount> counts;
    counts.reserve(l.last - l.first + r.last - r.first + 2);
    for (size_t y = r.first; y <= r.last; ++y) {
        if (!unlinked(kRight, y))
            continue;
        HashCount& c = counts[hash(kRight, y)];
        if (c.right++ == 0)
            c.firstRight = y;
        if (c.right > 2)
            c.right = 2;
    }
    for (size_t x = l.first; x <= l.last; ++x) {
        if (!unlinked(kLeft, x))
            continue;
        HashCount& c = counts[hash(kLeft, x)];
        if (c.left < 2)
            ++c.left;
    }
    // The counts stay as they were before this loop links anything.
    for (size_t x = l.first; x <= l.last; ++x) {
        if (!unlinked(kLeft, x))
            continue;
        const auto it = counts.find(hash(kLeft, x));
        if (it != counts.end() && it->second.left == 1 && it->second.right == 1)
            linked = expandMatch(l, x, r, it->second.firstRight) || linked;
    }
    return linked;
}

size_t FileComparer::nextSignificant(int side, size_t i) const {
    const size_t n = files_[side].size();
    size_t s = i + 1;
    if (s >= n)
        return kNoLine;
    // Unmatched blank lines are passed over; at the end of the file the last
    // of them stands for the run.
    while (unlinked(side, s) && blank(side, s)) {
        if (s + 1 >= n)
            return s;
        ++s;
    }
    return s;
}

size_t FileComparer::endOfSameRun(int side, size_t q) const {
    const int other = 1 - side;
    if (unlinked(side, q)) { // a blank line
        const size_t s = nextSignificant(side, q);
        if (s == kNoLine)
            return q;
        if (unlinked(side, s))
            return blank(side, s) ? s : s - 1;
        q = s;
    }
    for (;;) {
        const size_t n = nextSignificant(side, q);
        if (n == kNoLine)
            return q;
        if (unlinked(side, n))
            return blank(side, n) ? n : n - 1;
        const size_t p = nextSignificant(other, files_[side].line(q).partner);
        if (p != files_[side].line(n).partner)
            return n - 1;
        q = n;
    }
}

void FileComparer::makeSections(int side) {
    std::vector<CompareSection>& out = sections_[side];
    out.clear();
    const size_t n = files_[side].size();
    size_t q = 0;
    while (q < n) {
        CompareSection s;
        s.first = q;
        if (!unlinked(side, q) || blank(side, q)) {
            s.last = endOfSameRun(side, q);
            s.state = StateSame;
        } else {
            s.last = q;
            while (s.last + 1 < n && unlinked(side, s.last + 1))
                ++s.last;
            s.state = side == kLeft ? StateLeftOnly : StateRightOnly;
        }
        out.push_back(s);
        q = s.last + 1;
    }
}

bool FileComparer::matchSectionLists() {
    std::vector<CompareSection>& ls = sections_[kLeft];
    std::vector<CompareSection>& rs = sections_[kRight];

    // A same section is known by its first matched line (or, with none, its
    // last line, which then has no partner and so pairs with nothing).
    const auto keyLine = [this](int side, const CompareSection& s) {
        for (size_t i = s.first; i <= s.last; ++i) {
            if (!unlinked(side, i))
                return i;
        }
        return s.last;
    };
    std::unordered_map<size_t, size_t> rightByKey;
    rightByKey.reserve(rs.size());
    for (size_t j = 0; j < rs.size(); ++j) {
        if (rs[j].state != StateSame)
            continue;
        const size_t key = keyLine(kRight, rs[j]);
        if (!unlinked(kRight, key))
            rightByKey.emplace(key, j);
    }
    for (size_t i = 0; i < ls.size(); ++i) {
        if (ls[i].state != StateSame)
            continue;
        const size_t partner = files_[kLeft].line(keyLine(kLeft, ls[i])).partner;
        if (partner == kNoLine)
            continue;
        const auto it = rightByKey.find(partner);
        if (it == rightByKey.end() || rs[it->second].link != kNoSection)
            continue;
        ls[i].link = it->second;
        rs[it->second].link = i;
    }

    bool linked = false;
    for (size_t i = 0; i < ls.size(); ++i) {
        if (ls[i].state == StateSame)
            continue;
        const bool hasPrevious = i > 0;
        const bool hasNext = i + 1 < ls.size();
        if ((hasPrevious && ls[i - 1].state != StateSame) ||
            (hasNext && ls[i + 1].state != StateSame))
            continue;
        size_t s = kNoSection;
        if (hasPrevious) {
            const size_t before = ls[i - 1].link;
            if (before == kNoSection || before + 1 >= rs.size() ||
                rs[before + 1].link != kNoSection)
                continue;
            s = before + 1;
            if (!hasNext ? s + 1 != rs.size() : (s + 1 >= rs.size() || ls[i + 1].link != s + 1))
                continue;
        } else if (hasNext) {
            const size_t after = ls[i + 1].link;
            if (after == kNoSection || after == 0 || rs[after - 1].link != kNoSection ||
                after - 1 > 0)
                continue;
            s = after - 1;
        } else {
            if (rs.empty())
                continue;
            s = 0;
        }
        ls[i].counterpart = s;
        rs[s].counterpart = i;
        linked = matchSection({ls[i].first, ls[i].last}, {rs[s].first, rs[s].last}) || linked;
    }
    return linked;
}

} // namespace km
