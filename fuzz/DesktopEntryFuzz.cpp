// Desktop entries and mimeapps.list files from any source. The key file must read back what it
// writes and keep the lines it does not touch; list values split into clean items; an entry's
// Exec line must take any file name as one literal piece, whatever quotes, blanks or field
// codes the name holds; and quoting an argument must split back to that argument.
#include "fileops/open_execute/DesktopEntry.h"
#include "fileops/open_execute/KeyFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

void CheckList(const std::string* value) {
    if (!value)
        return;
    for (const std::string& item : km::SplitList(*value)) {
        if (item.empty() || item.find(';') != std::string::npos || item.front() == ' ' ||
            item.front() == '\t' || item.back() == ' ' || item.back() == '\t')
            std::abort();
    }
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

void CheckExec(const km::DesktopEntry& entry) {
    // One byte, so that no neighbouring text can join in to look like it.
    static const std::string kMarker = "\x01";
    static const std::string kHostile = "a b\"c'd\\e%f%%g;$`h\ni";
    if (entry.exec.find(kMarker) != std::string::npos ||
        entry.name.find(kMarker) != std::string::npos ||
        entry.icon.find(kMarker) != std::string::npos)
        return;
    std::vector<std::string> plain, hostile;
    const bool ok = km::ExpandExec(entry, kMarker, plain);
    if (km::ExpandExec(entry, kHostile, hostile) != ok || plain.size() != hostile.size())
        std::abort();
    for (size_t i = 0; i < plain.size(); ++i) {
        if (ReplaceAll(plain[i], kMarker, kHostile) != hostile[i])
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    // Untouched, every line comes back as it was, each ended by LF (a CR before it dropped).
    const km::KeyFile file(text);
    std::string lines;
    for (std::string_view rest = text; !rest.empty();) {
        const size_t nl = rest.find('\n');
        std::string_view line = rest.substr(0, nl);
        rest = nl == std::string_view::npos ? std::string_view() : rest.substr(nl + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.append(line);
        lines += '\n';
    }
    if (file.ToText() != lines)
        std::abort();
    // The mimeapps.list groups and the cache, asked for a type taken from the text.
    const std::string type(text.substr(0, text.find('\n')).substr(0, 64));
    for (const char* group :
         {"Default Applications", "Added Associations", "Removed Associations", "MIME Cache"})
        CheckList(file.Get(group, type));

    km::DesktopEntry entry;
    if (km::ParseDesktopEntry(text, entry)) {
        CheckExec(entry);
        // Rewriting the Exec line (as the association writer does) reads back the same value.
        km::KeyFile edited(text);
        edited.Set("Desktop Entry", "Exec", km::EscapeValue(entry.name));
        const km::KeyFile reread(edited.ToText());
        const std::string* exec = reread.Get("Desktop Entry", "Exec");
        if (!exec || km::UnescapeValue(*exec) != entry.name)
            std::abort();
    }

    // Two arguments from the text: quoted and joined, they split back to themselves.
    const size_t half = text.size() / 2;
    const std::string first(text.substr(0, half)), second(text.substr(half));
    std::vector<std::string> args;
    if (!km::SplitExec(km::QuoteExecArgument(first) + " " + km::QuoteExecArgument(second), args) ||
        args.size() != 2 || args[0] != first || args[1] != second)
        std::abort();
    if (km::UnescapeValue(km::EscapeValue(text)) != text)
        std::abort();
    return 0;
}
