#include "platform/GioPromptReader.h"

#include <algorithm>

namespace km {
namespace {

// Longer than any label gio asks with; a longer tail is a line still coming.
constexpr size_t kMaxLabel = 64;
// Chatter without a question is kept only this far back.
constexpr size_t kMaxPending = 64 * 1024;

std::vector<std::string_view> lines(std::string_view text) {
    std::vector<std::string_view> out;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t nl = std::min(text.find('\n', pos), text.size());
        std::string_view line = text.substr(pos, nl - pos);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        out.push_back(line);
        pos = nl + 1;
    }
    return out;
}

// "[3] Cancel" -> "Cancel"; nullopt for any other line.
std::optional<std::string_view> choiceText(std::string_view line) {
    if (!line.starts_with('['))
        return std::nullopt;
    size_t i = 1;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9')
        ++i;
    if (i == 1 || i + 1 >= line.size() || line[i] != ']' || line[i + 1] != ' ')
        return std::nullopt;
    return line.substr(i + 2);
}

bool isLogLine(std::string_view line) {
    // "(gio mount:123): GVFS-WARNING **: …" and the like.
    return line.starts_with('(') || line.find(" **: ") != std::string_view::npos;
}

} // namespace

std::optional<GioPrompt> GioPromptReader::Feed(std::string_view output) {
    pending_.append(output);
    if (pending_.size() > kMaxPending)
        pending_.erase(0, pending_.size() - kMaxPending / 4);
    const size_t lineStart =
        pending_.rfind('\n') == std::string::npos ? 0 : pending_.rfind('\n') + 1;
    std::string_view tail = std::string_view(pending_).substr(lineStart);
    if (!tail.ends_with(": ") || tail.size() < 3 || tail.size() > kMaxLabel)
        return std::nullopt;
    tail.remove_suffix(2);
    GioPrompt p;
    if (tail.ends_with(']')) {
        const size_t open = tail.find(" [");
        if (open == std::string_view::npos || open == 0)
            return std::nullopt;
        p.defaultValue.assign(tail.substr(open + 2, tail.size() - open - 3));
        tail = tail.substr(0, open);
    }
    if (tail.empty() || tail.find(':') != std::string_view::npos || tail.front() == ' ')
        return std::nullopt;
    p.label.assign(tail);
    p.kind = tail == "User"       ? GioPrompt::Kind::User
             : tail == "Domain"   ? GioPrompt::Kind::Domain
             : tail == "Password" ? GioPrompt::Kind::Password
             : tail == "Choice"   ? GioPrompt::Kind::Choice
                                  : GioPrompt::Kind::Other;
    std::vector<std::string_view> before = lines(std::string_view(pending_).substr(0, lineStart));
    if (p.kind == GioPrompt::Kind::Choice) {
        size_t first = before.size();
        while (first > 0 && choiceText(before[first - 1]))
            --first;
        for (size_t i = first; i < before.size(); ++i)
            p.choices.emplace_back(*choiceText(before[i]));
        before.resize(first);
    }
    for (const std::string_view line : before) {
        if (line.empty())
            continue;
        if (!p.message.empty())
            p.message += '\n';
        p.message.append(line);
    }
    pending_.clear();
    return p;
}

std::string GioErrorText(std::string_view errorOutput, std::string_view location) {
    std::string fromGio, last;
    for (std::string_view line : lines(errorOutput)) {
        if (line.empty() || isLogLine(line))
            continue;
        if (line.starts_with("gio: ")) {
            line.remove_prefix(5);
            if (!location.empty() && line.starts_with(location) &&
                line.substr(location.size()).starts_with(": "))
                line.remove_prefix(location.size() + 2);
            if (!fromGio.empty())
                fromGio += ' ';
            fromGio.append(line);
        } else {
            last.assign(line);
        }
    }
    return fromGio.empty() ? last : fromGio;
}

} // namespace km
