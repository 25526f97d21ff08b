#pragma once
// Compares two files line by line. Lines that occur once in each file are
// matched and the match grown forward and backward; the same is repeated on
// the unmatched stretches between matched blocks until a pass links nothing
// new. Composition then orders the result for display and finds moved blocks.
#include "fileops/compare/Composition.h"
#include "fileops/compare/LineFile.h"

#include <string>
#include <vector>

namespace km {

class FileComparer {
public:
    // `ignoreWhiteSpace`: spaces and tabs do not count, and blank lines may be
    // passed over.
    explicit FileComparer(bool ignoreWhiteSpace) : ignoreWhiteSpace_(ignoreWhiteSpace) {}

    // Reads and compares the two files (byte-string paths). On any result but
    // CompareOk the display is empty.
    int Compare(const std::string& leftPath, const std::string& rightPath);
    // Compares contents already loaded into the two files.
    int Compare(LineFile left, LineFile right);

    const LineFile& left() const { return files_[0]; }
    const LineFile& right() const { return files_[1]; }
    // The sections after composition (their states are then StateOutput).
    const std::vector<CompareSection>& leftSections() const { return sections_[0]; }
    const std::vector<CompareSection>& rightSections() const { return sections_[1]; }
    const std::vector<DisplaySection>& display() const { return display_; }

private:
    struct Range {
        size_t first;
        size_t last; // inclusive
    };

    int run();
    void clear();
    uint32_t hash(int side, size_t i);
    bool blank(int side, size_t i) const;
    bool unlinked(int side, size_t i) const { return files_[side].line(i).partner == kNoLine; }
    bool link(size_t a, size_t b);
    bool expandMatch(Range l, size_t x, Range r, size_t y);
    bool matchSection(Range l, Range r);
    size_t nextSignificant(int side, size_t i) const;
    size_t endOfSameRun(int side, size_t q) const;
    void makeSections(int side);
    bool matchSectionLists();

    bool ignoreWhiteSpace_;
    LineFile files_[2];
    std::vector<CompareSection> sections_[2];
    std::vector<DisplaySection> display_;
};

} // namespace km
