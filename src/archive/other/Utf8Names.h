#pragma once
// libarchive converts stored names to the character set of the thread's locale and drops a
// name it cannot convert: under the C locale every non-ASCII 7-Zip, xar or Joliet name
// would be lost. This program's names are UTF-8, so while one of these exists the thread
// converts to UTF-8 (LC_CTYPE only; nothing changes where the locale is UTF-8 already).
#include <locale.h>

namespace km {

class Utf8Names {
public:
    Utf8Names();
    ~Utf8Names();
    Utf8Names(const Utf8Names&) = delete;
    Utf8Names& operator=(const Utf8Names&) = delete;

private:
    locale_t utf8_ = static_cast<locale_t>(0);
    locale_t previous_ = static_cast<locale_t>(0);
};

} // namespace km
