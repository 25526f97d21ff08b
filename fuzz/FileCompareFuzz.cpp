// Compares two hostile texts (the input split at its first NUL, the first byte
// choosing whether white space is ignored) and checks what the window relies
// on: partners are mutual and equal, the lists are equally long with the same
// flags, every right line is shown exactly once and every left line
// at most once (unmatched ones exactly once), and navigation stays within
// the rows.
#include "fileops/compare/CompareResult.h"
#include "fileops/compare/DisplayRows.h"
#include "fileops/compare/FileComparer.h"
#include "fileops/compare/LineText.h"
#include "fileops/compare/RowNavigation.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <cstdio>

// Names the broken promise before stopping, so a crash report says which.
#define Require(ok)                                                                                \
    do {                                                                                           \
        if (!(ok)) {                                                                               \
            std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #ok);                          \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const bool ignoreWhiteSpace = (data[0] & 1) != 0;
    const char* text = reinterpret_cast<const char*>(data + 1);
    const size_t length = size - 1;
    const void* nul = std::memchr(text, '\0', length);
    const size_t split =
        nul ? static_cast<size_t>(static_cast<const char*>(nul) - text) : length / 2;
    const size_t rest = nul ? split + 1 : split;

    km::LineFile left;
    km::LineFile right;
    Require(left.Assign(std::string(text, split)) == km::CompareOk);
    Require(right.Assign(std::string(text + rest, length - rest)) == km::CompareOk);
    for (const km::LineFile* f : {&left, &right}) {
        for (size_t i = 0; i < f->size(); ++i)
            Require(f->text(i).size() >= 1 && f->text(i).size() <= km::LineFile::kMaxLineBytes);
    }

    km::FileComparer comparer(ignoreWhiteSpace);
    Require(comparer.Compare(std::move(left), std::move(right)) == km::CompareOk);
    const km::LineFile& l = comparer.left();
    const km::LineFile& r = comparer.right();
    for (size_t i = 0; i < l.size(); ++i) {
        const size_t p = l.line(i).partner;
        if (p == km::kNoLine)
            continue;
        Require(p < r.size() && r.line(p).partner == i);
        Require(km::LineTextsEqual(l.text(i), r.text(p), ignoreWhiteSpace));
    }

    km::DisplayRows rows;
    Require(km::FillDisplayRows(comparer.display(), rows) == km::CompareOk);
    Require(rows.left.size() == rows.right.size());
    std::vector<int> leftShown(l.size()), rightShown(r.size());
    for (size_t row = 0; row < rows.left.size(); ++row) {
        const km::DisplayRow& a = rows.left[row];
        const km::DisplayRow& b = rows.right[row];
        Require(a.flag == b.flag);
        for (const km::DisplayRow* d : {&a, &b}) {
            if (d->line == km::kNoLine)
                continue;
            const km::LineFile& f = d->file == 0 ? l : r;
            Require(d->line < f.size());
            (d->file == 0 ? leftShown : rightShown)[d->line] += a.equal() && d == &a ? 0 : 1;
            Require(km::DisplayText(f.text(d->line), 4).size() <= 4 * km::kMaxDisplayChars);
        }
    }
    for (size_t i = 0; i < r.size(); ++i)
        Require(rightShown[i] == 1);
    for (size_t i = 0; i < l.size(); ++i) {
        // A matched left line shows only when its block moved; unmatched
        // blank lines may sit in a same run that is not shown.
        Require(leftShown[i] <= 1);
        if (l.line(i).partner == km::kNoLine && !(ignoreWhiteSpace && km::IsBlankLine(l.text(i))))
            Require(leftShown[i] == 1);
    }

    for (size_t top = 0; top <= rows.left.size(); top += 1 + rows.left.size() / 8) {
        for (const bool difference : {false, true}) {
            const km::RowMove next = km::NextRow(rows.left, top, difference);
            const km::RowMove previous = km::PreviousRow(rows.left, top, difference);
            Require(rows.left.empty() ? next.row == 0 : next.row < rows.left.size());
            Require(rows.left.empty() ? previous.row == 0 : previous.row < rows.left.size());
        }
    }
    return 0;
}
