#include "archive/other/Utf8Names.h"

#include <cstring>
#include <langinfo.h>

namespace km {

Utf8Names::Utf8Names() {
    if (std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0)
        return;
    utf8_ = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (utf8_ != static_cast<locale_t>(0))
        previous_ = uselocale(utf8_);
}

Utf8Names::~Utf8Names() {
    if (utf8_ == static_cast<locale_t>(0))
        return;
    uselocale(previous_);
    freelocale(utf8_);
}

} // namespace km
