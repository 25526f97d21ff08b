#include "platform/LocaleInfo.h"

#include <clocale>
#include <cstdio>
#include <cstring>
#include <langinfo.h>

namespace km {
namespace {
LocaleInfo g_locale;

// The field a conversion of D_FMT stands for: 'd', 'm', 'y', or 0.
char fieldOf(char conversion) {
    switch (conversion) {
    case 'd':
    case 'e': return 'd';
    case 'm': return 'm';
    case 'y':
    case 'Y':
    case 'C': return 'y';
    default: return 0;
    }
}

} // namespace

LocaleInfo ReadSystemLocale() {
    LocaleInfo info;
    const lconv* lc = localeconv();
    // The C locale has no grouping character; keep the default rather than none.
    if (lc && lc->thousands_sep && lc->thousands_sep[0])
        info.thousandsSeparator = lc->thousands_sep;
    // D_FMT is e.g. "%m/%d/%y", "%-d.%-m.%Y" or "%Y年%m月%d日": three fields
    // with the text between them and after the last.
    const char* fmt = nl_langinfo(D_FMT);
    char order[3] = {0, 0, 0};
    std::string between[3];
    int n = 0;
    for (const char* p = fmt; p && *p;) {
        if (*p != '%') {
            if (n > 0)
                between[n - 1] += *p;
            ++p;
            continue;
        }
        ++p;
        while (*p && std::strchr("-_0^#EO", *p)) // flags and modifiers
            ++p;
        if (!*p)
            break;
        const char c = *p++;
        if (c == 'F' || c == 'D') { // %Y-%m-%d and %m/%d/%y in one
            const bool iso = c == 'F';
            const char* fields = iso ? "ymd" : "mdy";
            const char* sep = iso ? "-" : "/";
            for (int i = 0; i < 3 && n < 3; ++i, ++n) {
                order[n] = fields[i];
                if (i < 2)
                    between[n] = sep;
            }
            continue;
        }
        if (const char f = fieldOf(c); f && n < 3)
            order[n++] = f;
    }
    if (n == 3) {
        info.dateOrder = order[0] == 'd' ? 1 : order[0] == 'y' ? 2 : 0;
        // Two fields run together ("%d%m%y") keep the default separator.
        if (!between[0].empty())
            info.dateSeparator = between[0];
        info.dateSeparator2 = between[1].empty() ? info.dateSeparator : between[1];
        info.dateSuffix = between[2];
    }
    return info;
}

std::string JoinDateFields(int a, int b, int c, const LocaleInfo& locale) {
    char num[3][8];
    std::snprintf(num[0], sizeof num[0], "%02d", a);
    std::snprintf(num[1], sizeof num[1], "%02d", b);
    std::snprintf(num[2], sizeof num[2], "%02d", c);
    return num[0] + locale.dateSeparator + num[1] + locale.dateSeparator2 + num[2] + locale.dateSuffix;
}

const LocaleInfo& CurrentLocale() { return g_locale; }
void SetCurrentLocale(const LocaleInfo& info) { g_locale = info; }

} // namespace km
