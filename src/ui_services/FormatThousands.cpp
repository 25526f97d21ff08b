#include "ui_services/FormatThousands.h"

#include "platform/LocaleInfo.h"

namespace km {

std::string FormatThousands(uint64_t value, std::string_view separator) {
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value);
    std::string out;
    out.reserve(static_cast<size_t>(n) + static_cast<size_t>(n / 3) * separator.size());
    for (int i = n - 1; i >= 0; --i) {
        out += digits[i];
        if (i > 0 && i % 3 == 0)
            out += separator;
    }
    return out;
}

std::string FormatThousands(uint64_t value) {
    return FormatThousands(value, CurrentLocale().thousandsSeparator);
}

} // namespace km
