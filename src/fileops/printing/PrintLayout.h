#pragma once
// How a text file goes onto printed pages: a header with the page number,
// optional line numbers, tabs expanded, long lines wrapped or cut, form feeds
// starting pages, and one or two pages per sheet. Lengths count characters,
// widths columns (a wide character takes two). Plain computation, so the
// layout is tested without a printer.
#include "fileops/printing/PrintText.h"

#include <string>
#include <string_view>
#include <vector>

namespace km {

class SettingsStore;

struct PrintSettings {
    int layout = 0; // 0 portrait, 1 landscape, 2 two pages per landscape sheet
    bool oemCharset = false; // the file is in the DOS code page (see PrintText.h)
    int tabSize = 4;
    bool lineNumbers = false;
    bool cutLines = false;
};

// "bA4" (or the older "PerA4"), "bCharSet", "PerTab", "Regelnummers", "Afkappen".
PrintSettings ReadPrintSettings(SettingsStore& store);
void WritePrintSettings(SettingsStore& store, const PrintSettings& s);

struct PrintedPage {
    int number = 1; // from 1
    int sheet = 0;  // from 0
    bool rightHalf = false;
    std::string header; // UTF-8, padded to the line width, then "Page n"
    std::vector<std::string> lines; // UTF-8
};

class PrintLayout {
public:
    // `columns` characters per text line (c), `rows` text lines below the
    // header on a page.
    PrintLayout(const PrintSettings& settings, int columns, int rows, std::string header);

    // One line of the file as read (its line end already dropped).
    void AddSourceLine(std::u32string_view line);
    // The pages laid out and not yet taken; the last may still grow.
    const std::vector<PrintedPage>& pages() const { return pages_; }
    // Hands over the pages that are complete (all of them with `all`), so
    // that a long file is printed as it is laid out.
    std::vector<PrintedPage> TakePages(bool all);

private:
    void output(std::u32string text);
    void newPage();

    PrintSettings settings_;
    int columns_, rows_;
    std::string header_;
    int headerColumns_; // the header's width, measured once
    int lineNumber_ = 1;
    int pageCount_ = 0;
    int linesOnPage_ = 0;
    std::vector<PrintedPage> pages_;
};

// Source lines as the printer reads them, one at a time: pieces of at most
// 254 characters, a line feed (and a carriage return before it) dropped.
// Each line is decoded on its own (a line feed is never part of a longer
// sequence), so a large file needs no second copy.
class PrintLineReader {
public:
    PrintLineReader(std::string_view bytes, PrintCharset charset) : bytes_(bytes), charset_(charset) {}
    bool Next(std::u32string& piece);

private:
    std::string_view bytes_;
    PrintCharset charset_;
    std::u32string line_; // the rest of the current line
    size_t taken_ = 0;    // of line_
    bool inLine_ = false;
};

// All of them at once.
std::vector<std::u32string> SplitPrintLines(std::string_view bytes, PrintCharset charset);

} // namespace km
