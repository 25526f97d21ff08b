// What gio prints and what the user types as a location, from any source:
// questions are recognised whatever the pieces the output comes in, a
// location's folder inside its mount can never climb out of it.
#include "platform/GioPromptReader.h"
#include "platform/NetworkLocation.h"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::vector<km::GioPrompt> readAll(std::string_view text, size_t piece) {
    km::GioPromptReader reader;
    std::vector<km::GioPrompt> prompts;
    for (size_t at = 0; at < text.size(); at += piece) {
        if (std::optional<km::GioPrompt> p = reader.Feed(text.substr(at, piece)))
            prompts.push_back(std::move(*p));
    }
    return prompts;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    for (const size_t piece : {size_t{1}, size_t{7}, size > 0 ? size : size_t{1}}) {
        for (const km::GioPrompt& p : readAll(text, piece)) {
            if (p.label.empty() || p.label.find(':') != std::string::npos ||
                p.label.find('\n') != std::string::npos)
                std::abort();
            if (!p.choices.empty() && p.kind != km::GioPrompt::Kind::Choice)
                std::abort();
        }
    }
    (void)km::GioErrorText(text, text.substr(0, text.size() / 3));

    const std::string_view typed = text.substr(0, text.find('\n'));
    km::NetworkLocation where;
    if (km::ParseNetworkLocation(typed, where)) {
        if (!km::IsNetworkScheme(where.scheme) || where.host.empty())
            std::abort();
        const std::string within = km::PathWithinMount(where);
        if (within.starts_with('/') || within.ends_with('/') || within == ".." ||
            within.starts_with("../") || within.find("/../") != std::string::npos ||
            within.ends_with("/.."))
            std::abort();
        const std::string_view entry = text.substr(typed.size());
        (void)km::GvfsEntryMatches(entry, where);
    }
    return 0;
}
