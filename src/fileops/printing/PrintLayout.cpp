#include "fileops/printing/PrintLayout.h"

#include "settings/SettingsStore.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

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

bool PrintLineReader::Next(std::u32string& piece) {
    if (!inLine_) {
        if (bytes_.empty())
            return false;
        const size_t end = bytes_.find('\n');
        std::string_view line = bytes_.substr(0, end);
        bytes_.remove_prefix(end == std::string_view::npos ? bytes_.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        line_ = DecodePrintText(line, charset_);
        taken_ = 0;
        inLine_ = true;
    }
    piece.assign(line_, taken_, 254);
    taken_ += piece.size();
    inLine_ = taken_ < line_.size();
    return true;
}

std::vector<std::u32string> SplitPrintLines(std::string_view bytes, PrintCharset charset) {
    std::vector<std::u32string> out;
    PrintLineReader reader(bytes, charset);
    for (std::u32string piece; reader.Next(piece);)
        out.push_back(piece);
    return out;
}

PrintLayout::PrintLayout(const PrintSettings& settings, int columns, int rows, std::string header)
    : settings_(settings), columns_(std::max(columns, 8)), rows_(std::max(rows, 1)), header_(std::move(header)),
      headerColumns_(TextColumns(DecodePrintText(header_, PrintCharset::Utf8))) {
    // A tab size below one would never reach a tab stop.
    if (settings_.tabSize < 1)
        settings_.tabSize = 1;
}

void PrintLayout::newPage() {
    PrintedPage page;
    const int n = ++pageCount_;
    page.number = n;
    if (settings_.layout == 2) {
        page.sheet = (n - 1) / 2;
        page.rightHalf = (n - 1) % 2 == 1;
    } else {
        page.sheet = n - 1;
    }
    const std::string pageText = "Page " + std::to_string(n);
    page.header = header_;
    const int used = headerColumns_ + static_cast<int>(pageText.size());
    if (used < columns_)
        page.header.append(static_cast<size_t>(columns_ - used), ' ');
    page.header += pageText;
    pages_.push_back(std::move(page));
    linesOnPage_ = 0;
}

void PrintLayout::output(std::u32string text) {
    const bool formFeed = !text.empty() && text[0] == U'\f';
    if (pageCount_ == 0 || formFeed || linesOnPage_ >= rows_)
        newPage();
    if (formFeed)
        text.erase(0, 1);
    if (text.empty() && formFeed)
        return;
    pages_.back().lines.push_back(ToUtf8(text));
    ++linesOnPage_;
}

std::vector<PrintedPage> PrintLayout::TakePages(bool all) {
    std::vector<PrintedPage> done;
    const size_t keep = all || pages_.empty() ? 0 : 1;
    const auto end = pages_.end() - static_cast<std::ptrdiff_t>(keep);
    done.assign(std::make_move_iterator(pages_.begin()), std::make_move_iterator(end));
    pages_.erase(pages_.begin(), end);
    return done;
}

void PrintLayout::AddSourceLine(std::u32string_view line) {
    std::u32string prefix;
    if (settings_.lineNumbers) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%03d ", lineNumber_);
        prefix.assign(buf, buf + std::strlen(buf));
    }
    // Tab stops count columns of the text, without the prefix.
    std::u32string text;
    int column = 0;
    for (const char32_t ch : line) {
        if (ch == U'\t') {
            const int stop = (column / settings_.tabSize + 1) * settings_.tabSize;
            text.append(static_cast<size_t>(stop - column), U' ');
            column = stop;
        } else {
            text += ch;
            column += CharacterColumns(ch);
        }
    }
    const int room = std::max(2, columns_ - static_cast<int>(prefix.size()));
    // The characters from `at` that fit in `room` columns (at least one).
    const auto piece = [&](size_t at) {
        size_t end = at;
        for (int used = 0; end < text.size(); ++end) {
            const int w = CharacterColumns(text[end]);
            if (used + w > room && end > at)
                break;
            used += w;
        }
        return end - at;
    };
    size_t at = 0;
    size_t n = piece(at);
    if (settings_.cutLines) {
        output(prefix + text.substr(0, n));
    } else {
        while (at + n < text.size()) {
            output(prefix + text.substr(at, n));
            at += n;
            n = piece(at);
            prefix.assign(prefix.size(), U' ');
        }
        output(prefix + text.substr(at));
    }
    ++lineNumber_;
}

} // namespace km
