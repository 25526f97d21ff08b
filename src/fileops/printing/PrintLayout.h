#pragma once
// How a text file goes onto printed pages: a header with the page number,
// optional line numbers, tabs expanded, long lines wrapped or cut, form feeds
// starting pages, and one or two pages per sheet. Plain computation, so the
// layout is tested without a printer.
#include <string>
#include <string_view>
#include <vector>

namespace km {

class SettingsStore;

struct PrintSettings {
    int layout = 0; // 0 portrait, 1 landscape, 2 two pages per landscape sheet
    bool oemCharset = false;
    int tabSize = 4;
    bool lineNumbers = false;
    bool cutLines = false;
};

// "bA4" (or the older "PerA4"), "bCharSet", "PerTab", "Regelnummers", "Afkappen".
PrintSettings ReadPrintSettings(SettingsStore& store);
void WritePrintSettings(SettingsStore& store, const PrintSettings& s);

struct PrintedPage {
    int sheet = 0; // from 0
    bool rightHalf = false;
    std::string header; // padded to the line width, then "Page n"
    std::vector<std::string> lines;
};

class PrintLayout {
public:
    // `columns` characters per text line (c), `rows` text lines below the
    // header on a page.
    PrintLayout(const PrintSettings& settings, int columns, int rows, std::string header);

    // One line of the file as read (its line end already dropped).
    void AddSourceLine(std::string_view line);
    const std::vector<PrintedPage>& pages() const { return pages_; }

private:
    void output(std::string text);
    void newPage();

    PrintSettings settings_;
    int columns_, rows_;
    std::string header_;
    int lineNumber_ = 1;
    std::vector<PrintedPage> pages_;
};

// Source lines as the printer reads them: pieces of at most 254 bytes, a
// line feed (and a carriage return before it) dropped.
std::vector<std::string> SplitPrintLines(std::string_view text);

} // namespace km
