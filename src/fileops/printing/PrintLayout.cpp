#include "fileops/printing/PrintLayout.h"

#include "settings/SettingsStore.h"

#include <algorithm>
#include <cstdio>

namespace km {

PrintSettings ReadPrintSettings(SettingsStore& store) {
    PrintSettings s;
    int layout = store.GetInt("Algemeen", "bA4", -1);
    if (layout < 0 || layout > 2)
        layout = store.GetInt("Algemeen", "PerA4", 1) == 1 ? 0 : 2;
    s.layout = layout;
    s.oemCharset = store.GetInt("Algemeen", "bCharSet", 1) == 2;
    s.tabSize = store.GetInt("Algemeen", "PerTab", 4);
    s.lineNumbers = store.GetInt("Algemeen", "Regelnummers", 0) == 1;
    s.cutLines = store.GetInt("Algemeen", "Afkappen", 0) == 1;
    return s;
}

void WritePrintSettings(SettingsStore& store, const PrintSettings& s) {
    SettingsStore::Batch batch(store);
    store.PutInt("Algemeen", "bA4", s.layout);
    store.PutInt("Algemeen", "bCharSet", s.oemCharset ? 2 : 1);
    store.PutInt("Algemeen", "PerTab", s.tabSize);
    store.PutInt("Algemeen", "Regelnummers", s.lineNumbers ? 1 : 0);
    store.PutInt("Algemeen", "Afkappen", s.cutLines ? 1 : 0);
}

std::vector<std::string> SplitPrintLines(std::string_view text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        const bool hasFeed = end != std::string_view::npos;
        std::string_view line = text.substr(start, (hasFeed ? end : text.size()) - start);
        start = hasFeed ? end + 1 : text.size();
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        do {
            out.emplace_back(line.substr(0, 254));
            line.remove_prefix(std::min<size_t>(254, line.size()));
        } while (!line.empty());
    }
    return out;
}

PrintLayout::PrintLayout(const PrintSettings& settings, int columns, int rows, std::string header)
    : settings_(settings), columns_(std::max(columns, 8)), rows_(std::max(rows, 1)), header_(std::move(header)) {
    // A tab size below one would never reach a tab stop.
    if (settings_.tabSize < 1)
        settings_.tabSize = 1;
}

void PrintLayout::newPage() {
    PrintedPage page;
    const int n = static_cast<int>(pages_.size()) + 1;
    if (settings_.layout == 2) {
        page.sheet = (n - 1) / 2;
        page.rightHalf = (n - 1) % 2 == 1;
    } else {
        page.sheet = n - 1;
    }
    const std::string pageText = "Page " + std::to_string(n);
    page.header = header_;
    if (page.header.size() + pageText.size() < static_cast<size_t>(columns_))
        page.header.append(static_cast<size_t>(columns_) - page.header.size() - pageText.size(), ' ');
    page.header += pageText;
    pages_.push_back(std::move(page));
}

void PrintLayout::output(std::string text) {
    const bool formFeed = !text.empty() && text[0] == '\f';
    if (pages_.empty() || formFeed || static_cast<int>(pages_.back().lines.size()) >= rows_)
        newPage();
    if (formFeed)
        text.erase(0, 1);
    if (text.empty() && formFeed)
        return;
    pages_.back().lines.push_back(std::move(text));
}

void PrintLayout::AddSourceLine(std::string_view line) {
    std::string prefix;
    if (settings_.lineNumbers) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%03d ", lineNumber_);
        prefix = buf;
    }
    std::string text;
    for (char ch : line) {
        if (ch == '\t') {
            const size_t stop = (text.size() / static_cast<size_t>(settings_.tabSize) + 1) * static_cast<size_t>(settings_.tabSize);
            text.append(stop - text.size(), ' ');
        } else {
            text += ch;
        }
    }
    const size_t room = static_cast<size_t>(std::max(1, columns_ - static_cast<int>(prefix.size())));
    if (settings_.cutLines) {
        output(prefix + text.substr(0, room));
    } else {
        size_t at = 0;
        while (text.size() - at > room) {
            output(prefix + text.substr(at, room));
            at += room;
            prefix.assign(prefix.size(), ' ');
        }
        output(prefix + text.substr(at));
    }
    ++lineNumber_;
}

} // namespace km
