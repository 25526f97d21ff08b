#include "fileops/open_execute/Placeholders.h"

#include "fileops/open_execute/AssociationWriter.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace km {
namespace {

std::string nameOf(const std::string& file) {
    const size_t slash = file.rfind('/');
    return slash == std::string::npos ? file : file.substr(slash + 1);
}

// The name up to its first '.', and what follows that '.'.
std::string baseOf(const std::string& file) {
    const std::string name = nameOf(file);
    return name.substr(0, name.find('.'));
}

std::string extensionOf(const std::string& file) {
    const std::string name = nameOf(file);
    const size_t dot = name.find('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string valueOf(char which, const PanelPlaceholderSource& p) {
    switch (which) {
    case 's': return p.file;
    case 'p': return p.dir;
    case 'd': return p.drive;
    case 'n': return baseOf(p.file);
    default: return extensionOf(p.file);
    }
}

struct Hit {
    size_t word = 0, offset = 0;
    std::string value;
};

// The first occurrence of each placeholder across `words`, in the fixed order.
// Two placeholders cannot overlap: '&' is never their second or third letter.
std::vector<Hit> findPlaceholders(const std::vector<std::string>& words, const PlaceholderSources& s) {
    static constexpr std::array<std::string_view, 10> kOrder = {"&as", "&ap", "&ad", "&an", "&ae",
                                                                "&bs", "&bp", "&bd", "&bn", "&be"};
    std::vector<Hit> hits;
    for (std::string_view ph : kOrder) {
        for (size_t w = 0; w < words.size(); ++w) {
            const size_t at = words[w].find(ph);
            if (at == std::string::npos)
                continue;
            hits.push_back({w, at, valueOf(ph[2], ph[1] == 'a' ? s.active : s.other)});
            break;
        }
    }
    return hits;
}

// Replaces the hits of one word, from the back so earlier offsets hold.
std::string replaceIn(const std::string& word, size_t index, std::vector<Hit> hits) {
    std::string out = word;
    std::erase_if(hits, [index](const Hit& h) { return h.word != index; });
    std::sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) { return a.offset > b.offset; });
    for (const Hit& h : hits)
        out.replace(h.offset, 3, h.value);
    return out;
}

} // namespace

std::string ExpandPlaceholders(const std::string& text, const PlaceholderSources& s) {
    const std::vector<std::string> one = {text};
    return replaceIn(text, 0, findPlaceholders(one, s));
}

std::vector<std::string> ExpandParameters(const std::string& parameters, const PlaceholderSources& s) {
    const std::vector<std::string> words = SplitCommandText(parameters);
    const std::vector<Hit> hits = findPlaceholders(words, s);
    std::vector<std::string> args;
    for (size_t w = 0; w < words.size(); ++w) {
        std::string arg = replaceIn(words[w], w, hits);
        if (arg.empty() && !words[w].empty())
            continue;
        args.push_back(std::move(arg));
    }
    return args;
}

} // namespace km
