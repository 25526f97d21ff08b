// Reads hostile date and time fields in every locale order. Whatever is
// accepted must format into fields of the dialog's widths, and where the
// two-digit year can say it, read back as the same time.
#include "fileops/attributes/DateTimeText.h"

#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <ctime>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    km::LocaleInfo locale;
    locale.dateOrder = data[0] % 3;
    static constexpr const char* kSeparators[] = {"/", ".", "-", " ", ":", "\u5e74", "\ub144 "};
    const char* separator = kSeparators[(data[0] / 3) % std::size(kSeparators)];
    locale.dateSeparator = locale.dateSeparator2 = separator;
    if (data[0] & 0x80) // the Japanese pattern: three different texts
        locale.dateSuffix = "\u65e5";
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const size_t split = rest.find('\n');
    const std::string_view date = rest.substr(0, split);
    const std::string_view time = split == rest.npos ? std::string_view() : rest.substr(split + 1);
    const auto parsed = km::ParseDateTime(date, time, locale);
    if (!parsed)
        return 0;
    const km::DateTimeTexts texts = km::FormatDateTime(*parsed, locale);
    const size_t dateWidth = 6 + locale.dateSeparator.size() + locale.dateSeparator2.size() +
                             locale.dateSuffix.size();
    if (texts.date.size() != dateWidth || texts.time.size() != 5)
        std::abort();
    const time_t t = static_cast<time_t>(*parsed);
    std::tm local{};
    localtime_r(&t, &local);
    const int year = local.tm_year + 1900;
    if (local.tm_sec != 0 || (year >= 1981 && year <= 2080 &&
                              km::ParseDateTime(texts.date, texts.time, locale) != parsed))
        std::abort();
    return 0;
}
