#include "platform/LocaleInfo.h"

#include <clocale>
#include <cstring>
#include <langinfo.h>

namespace km {
namespace {
LocaleInfo g_locale;
}

LocaleInfo ReadSystemLocale() {
    LocaleInfo info;
    const lconv* lc = localeconv();
    // The C locale has no grouping character; keep the default rather than none.
    if (lc && lc->thousands_sep && lc->thousands_sep[0])
        info.thousandsSeparator = lc->thousands_sep[0];
    // D_FMT is e.g. "%m/%d/%y", "%d.%m.%Y" or "%Y-%m-%d".
    const char* fmt = nl_langinfo(D_FMT);
    int order[3] = {-1, -1, -1};
    int n = 0;
    for (const char* p = fmt; p && *p && n < 3; ++p) {
        if (*p != '%' || !p[1])
            continue;
        ++p;
        const char c = *p;
        if (c == 'm')
            order[n++] = 'm';
        else if (c == 'd' || c == 'e')
            order[n++] = 'd';
        else if (c == 'y' || c == 'Y')
            order[n++] = 'y';
        else if (c == 'F') { // %Y-%m-%d
            info.dateSeparator = '-';
            order[0] = 'y';
            order[1] = 'm';
            order[2] = 'd';
            n = 3;
            break;
        } else if (c == 'D') { // %m/%d/%y
            order[0] = 'm';
            order[1] = 'd';
            order[2] = 'y';
            n = 3;
            break;
        }
        if (n == 1 && p[1] && p[1] != '%')
            info.dateSeparator = p[1];
    }
    if (n == 3) {
        if (order[0] == 'd')
            info.dateOrder = 1;
        else if (order[0] == 'y')
            info.dateOrder = 2;
        else
            info.dateOrder = 0;
    }
    return info;
}

const LocaleInfo& CurrentLocale() { return g_locale; }
void SetCurrentLocale(const LocaleInfo& info) { g_locale = info; }

} // namespace km
