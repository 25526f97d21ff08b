#include "platform/NetworkLocation.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>
#include <vector>

namespace km {
namespace {

int hexDigit(char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
}

std::optional<std::string> percentDecoded(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        if (i + 2 >= s.size())
            return std::nullopt;
        const int hi = hexDigit(s[i + 1]), lo = hexDigit(s[i + 2]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        const char c = static_cast<char>(hi * 16 + lo);
        if (c == '\0')
            return std::nullopt;
        out += c;
        i += 2;
    }
    return out;
}

std::string lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return out;
}

std::string_view defaultPort(std::string_view scheme) {
    if (scheme == "ftp" || scheme == "ftps")
        return "21";
    if (scheme == "sftp" || scheme == "ssh")
        return "22";
    if (scheme == "dav")
        return "80";
    if (scheme == "davs")
        return "443";
    return {};
}

// The first component of the path, and what follows it.
std::pair<std::string, std::string> splitFirst(std::string_view path) {
    while (path.starts_with('/'))
        path.remove_prefix(1);
    const size_t slash = std::min(path.find('/'), path.size());
    return {std::string(path.substr(0, slash)),
            std::string(slash < path.size() ? path.substr(slash + 1) : std::string_view())};
}

} // namespace

bool IsNetworkScheme(std::string_view scheme) {
    static constexpr std::array<std::string_view, 10> kSchemes = {
        "smb", "sftp", "ssh", "ftp", "ftps", "dav", "davs", "nfs", "afp", "ftpis"};
    return std::find(kSchemes.begin(), kSchemes.end(), scheme) != kSchemes.end();
}

bool ParseNetworkLocation(std::string_view text, NetworkLocation& out) {
    out = NetworkLocation();
    if (std::any_of(text.begin(), text.end(),
                    [](char c) { return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F; }))
        return false;
    const size_t sep = text.find("://");
    if (sep == std::string_view::npos || sep == 0)
        return false;
    out.scheme = lower(text.substr(0, sep));
    if (!IsNetworkScheme(out.scheme))
        return false;
    std::string_view rest = text.substr(sep + 3);
    const size_t slash = std::min(rest.find('/'), rest.size());
    std::string_view authority = rest.substr(0, slash);
    const std::string_view path = rest.substr(slash);
    if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
        std::string_view userInfo = authority.substr(0, at);
        userInfo = userInfo.substr(0, userInfo.find(':'));
        const auto user = percentDecoded(userInfo);
        if (!user)
            return false;
        out.user = *user;
        authority.remove_prefix(at + 1);
    }
    std::string_view hostPart = authority, portPart;
    if (authority.starts_with('[')) {
        const size_t close = authority.find(']');
        if (close == std::string_view::npos)
            return false;
        hostPart = authority.substr(1, close - 1);
        const std::string_view after = authority.substr(close + 1);
        if (!after.empty() && !after.starts_with(':'))
            return false;
        portPart = after.empty() ? after : after.substr(1);
    } else if (const size_t colon = authority.rfind(':'); colon != std::string_view::npos) {
        hostPart = authority.substr(0, colon);
        portPart = authority.substr(colon + 1);
    }
    if (hostPart.empty() || portPart.size() > 5 ||
        !std::all_of(portPart.begin(), portPart.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    const auto host = percentDecoded(hostPart);
    const auto decodedPath = percentDecoded(path);
    if (!host || !decodedPath)
        return false;
    out.host = lower(*host);
    out.port = std::string(portPart);
    out.path = *decodedPath;
    return true;
}

std::optional<GvfsEntry> ParseGvfsEntry(std::string_view entry) {
    const size_t colon = entry.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return std::nullopt;
    GvfsEntry e{std::string(entry.substr(0, colon)), {}};
    std::string_view rest = entry.substr(colon + 1);
    while (!rest.empty()) {
        const size_t comma = std::min(rest.find(','), rest.size());
        const std::string_view pair = rest.substr(0, comma);
        const size_t eq = pair.find('=');
        if (eq == std::string_view::npos || eq == 0)
            return std::nullopt;
        auto value = percentDecoded(pair.substr(eq + 1));
        if (!value)
            return std::nullopt;
        e.keys.emplace_back(std::string(pair.substr(0, eq)), std::move(*value));
        rest = comma < rest.size() ? rest.substr(comma + 1) : std::string_view();
    }
    return e;
}

bool GvfsEntryMatches(std::string_view entry, const NetworkLocation& location) {
    const auto parsed = ParseGvfsEntry(entry);
    if (!parsed)
        return false;
    const std::string& scheme = parsed->scheme;
    const auto get = [&](std::string_view key) -> std::optional<std::string> {
        for (const auto& [k, v] : parsed->keys)
            if (k == key)
                return v;
        return std::nullopt;
    };
    const auto userMatches = [&] {
        return location.user.empty() || get("user").value_or(std::string()) == location.user;
    };
    if (location.scheme == "smb") {
        const auto [share, within] = splitFirst(location.path);
        (void)within;
        if (lower(get("server").value_or(std::string())) != location.host || !userMatches())
            return false;
        if (share.empty())
            return scheme == "smb-server";
        return scheme == "smb-share" && lower(get("share").value_or(std::string())) == lower(share);
    }
    const std::string wanted = location.scheme == "ssh" ? std::string("sftp") : location.scheme;
    if (scheme != wanted || lower(get("host").value_or(std::string())) != location.host ||
        !userMatches())
        return false;
    // gvfs leaves the port out when it is the scheme's own.
    const std::string_view fallback = defaultPort(wanted);
    const std::string entryPort = get("port").value_or(std::string(fallback));
    const std::string typedPort = location.port.empty() ? std::string(fallback) : location.port;
    return entryPort == typedPort;
}

std::string PathWithinMount(const NetworkLocation& location) {
    if (location.scheme == "dav" || location.scheme == "davs" || location.scheme == "nfs" ||
        location.scheme == "afp")
        return {};
    std::string path = location.path;
    if (location.scheme == "smb")
        path = splitFirst(path).second;
    std::string out;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t slash = std::min(path.find('/', start), path.size());
        const std::string part = path.substr(start, slash - start);
        start = slash + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..")
            return {};
        if (!out.empty())
            out += '/';
        out += part;
    }
    return out;
}

} // namespace km
