#include "panels/CellText.h"

#include "platform/FileAttributes.h"
#include "ui_services/FormatThousands.h"

#include <cstdio>

namespace km {
namespace {

void applyCase(std::string& s, bool upper) {
    for (char& c : s) {
        if (upper && c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
        else if (!upper && c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    }
}

} // namespace

std::string DisplayName(const FileEntry& e, int nameCase) {
    if (e.kind == KindParent)
        return "[..]";
    std::string name = e.name;
    const bool dir = e.kind == KindDirectory;
    switch (nameCase) {
    case NameCaseUpper: applyCase(name, true); break;
    case NameCaseLower: applyCase(name, false); break;
    case NameCaseFilesUpper: applyCase(name, !dir); break;
    case NameCaseFilesLower: applyCase(name, dir); break;
    default: break;
    }
    return dir ? "[" + name + "]" : name;
}

std::string DateTimeText(FileTime time, const LocaleInfo& locale) {
    const std::tm t = LocalTimeOf(time);
    const int y = ((t.tm_year + 1900) % 100 + 100) % 100, m = t.tm_mon + 1, d = t.tm_mday;
    int a = m, b = d, c = y;
    if (locale.dateOrder == 1) {
        a = d;
        b = m;
    } else if (locale.dateOrder == 2) {
        a = y;
        b = m;
        c = d;
    }
    char clock[16];
    std::snprintf(clock, sizeof clock, "  %02d:%02d", t.tm_hour, t.tm_min);
    return "  " + JoinDateFields(a, b, c, locale) + clock;
}

std::string DateColumnText(const FileEntry& e, const LocaleInfo& locale) {
    std::string text = DateTimeText(e.lastWrite, locale);
    text += "  ";
    text += (e.attributes & AttrReadOnly) ? 'r' : '-';
    text += (e.attributes & AttrArchive) ? 'a' : '-';
    text += (e.attributes & AttrHidden) ? 'h' : '-';
    text += (e.attributes & AttrSystem) ? 's' : '-';
    return text;
}

std::string PadLine(std::string text) {
    size_t characters = 0;
    for (const char c : text)
        characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    if (characters < 120)
        text.append(120 - characters, ' ');
    return text;
}

std::string CellText(const FileEntry& e, int column, int nameCase, const LocaleInfo& locale) {
    switch (column) {
    case 0: return DisplayName(e, nameCase);
    case 1: return e.kind == KindFile ? FormatThousands(e.size, locale.thousandsSeparator) : "<DIR>   ";
    case 2: return e.kind == KindParent ? std::string() : DateColumnText(e, locale);
    default: return {};
    }
}

} // namespace km
