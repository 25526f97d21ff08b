#include "fileops/open_execute/MimeLookup.h"

#include "platform/Utf8.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fnmatch.h>
#include <unistd.h>

namespace km {
namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

template <typename F> void forEachLine(std::string_view text, F f) {
    while (!text.empty()) {
        const size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!line.empty() && line[0] != '#')
            f(line);
    }
}

std::string xmlUnescape(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '&') {
            out += s[i];
            continue;
        }
        const size_t semi = s.find(';', i);
        if (semi == std::string_view::npos || semi - i > 10) {
            out += s[i];
            continue;
        }
        const std::string_view ent = s.substr(i + 1, semi - i - 1);
        if (ent == "amp")
            out += '&';
        else if (ent == "lt")
            out += '<';
        else if (ent == "gt")
            out += '>';
        else if (ent == "quot")
            out += '"';
        else if (ent == "apos")
            out += '\'';
        else if (ent.size() > 1 && ent[0] == '#') {
            const std::string num(ent.substr(1));
            const long cp = num[0] == 'x' ? std::strtol(num.c_str() + 1, nullptr, 16)
                                          : std::strtol(num.c_str(), nullptr, 10);
            if (cp <= 0 || cp > 0x10FFFF) {
                out.append(s.substr(i, semi - i + 1));
            } else {
                AppendUtf8(out, static_cast<char32_t>(cp));
            }
        } else {
            out.append(s.substr(i, semi - i + 1));
        }
        i = semi;
    }
    return out;
}

// Valid UTF-8 without NUL or stray control bytes: what a text editor can show.
bool looksLikeText(const unsigned char* p, size_t n, bool complete) {
    for (size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            if (c == 0 ||
                (c < 0x20 && c != '\n' && c != '\r' && c != '\t' && c != '\f' && c != 0x1b))
                return false;
            ++i;
            continue;
        }
        const size_t len = (c & 0xE0) == 0xC0   ? 2
                           : (c & 0xF0) == 0xE0 ? 3
                           : (c & 0xF8) == 0xF0 ? 4
                                                : 0;
        if (len == 0 || c == 0xC0 || c == 0xC1)
            return false;
        if (i + len > n)
            return !complete; // cut off by the sample, not broken
        for (size_t k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
        }
        i += len;
    }
    return true;
}

} // namespace

std::string ReadSmallFile(const std::string& path, size_t limit) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::string out;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        out.append(buf, static_cast<size_t>(n));
        if (out.size() > limit) {
            out.clear();
            break;
        }
    }
    ::close(fd);
    return out;
}

MimeDatabase::MimeDatabase(const XdgDirs& dirs) : mimeDirs_(dirs.DataPaths("mime")) {
    // A __NOGLOBS__ line in a more important directory drops the type's
    // globs from the directories below it.
    std::set<std::string> noGlobsAbove;
    for (const std::string& dir : mimeDirs_) {
        std::set<std::string> noGlobs;
        AddGlobs(ReadSmallFile(dir + "/globs2"), noGlobs, noGlobsAbove);
        noGlobsAbove.insert(noGlobs.begin(), noGlobs.end());
        forEachLine(ReadSmallFile(dir + "/aliases"), [&](std::string_view line) {
            const size_t sp = line.find(' ');
            if (sp != std::string_view::npos)
                aliases_.emplace(std::string(line.substr(0, sp)), std::string(line.substr(sp + 1)));
        });
        forEachLine(ReadSmallFile(dir + "/subclasses"), [&](std::string_view line) {
            const size_t sp = line.find(' ');
            if (sp != std::string_view::npos)
                parents_.emplace(std::string(line.substr(0, sp)), std::string(line.substr(sp + 1)));
        });
        forEachLine(ReadSmallFile(dir + "/types"),
                    [&](std::string_view line) { types_.emplace(line); });
    }
}

void MimeDatabase::AddGlobs(std::string_view text, std::set<std::string>& noGlobs,
                            const std::set<std::string>& noGlobsAbove) {
    forEachLine(text, [&](std::string_view line) {
        // weight:type:pattern[:flags[:...]]
        const size_t c1 = line.find(':');
        const size_t c2 = c1 == std::string_view::npos ? c1 : line.find(':', c1 + 1);
        if (c2 == std::string_view::npos)
            return;
        Glob g;
        const std::string weight(line.substr(0, c1));
        g.weight = std::atoi(weight.c_str());
        g.type.assign(line.substr(c1 + 1, c2 - c1 - 1));
        std::string_view rest = line.substr(c2 + 1);
        const size_t c3 = rest.find(':');
        const std::string_view pattern = rest.substr(0, c3);
        if (c3 != std::string_view::npos) {
            const std::string_view flags = rest.substr(c3 + 1);
            g.caseSensitive = flags.substr(0, flags.find(':')).find("cs") != std::string_view::npos;
        }
        if (pattern == "__NOGLOBS__") {
            noGlobs.insert(g.type);
            return;
        }
        if (g.type.empty() || pattern.empty() || noGlobsAbove.count(g.type))
            return;
        g.pattern = g.caseSensitive ? std::string(pattern) : lower(pattern);
        globs_.push_back(std::move(g));
    });
}

std::string MimeDatabase::TypeForName(std::string_view fileName) const {
    const std::string name(fileName);
    const std::string folded = lower(fileName);
    const Glob* best = nullptr;
    for (const Glob& g : globs_) {
        if (fnmatch(g.pattern.c_str(), (g.caseSensitive ? name : folded).c_str(), 0) != 0)
            continue;
        // Heavier first, then the longer (more specific) pattern, then the
        // more important directory, which was read first.
        if (!best || g.weight > best->weight ||
            (g.weight == best->weight && g.pattern.size() > best->pattern.size()))
            best = &g;
    }
    return best ? best->type : std::string();
}

std::string MimeDatabase::TypeForFile(const std::string& path) const {
    const size_t slash = path.rfind('/');
    std::string type = TypeForName(slash == std::string::npos ? path : path.substr(slash + 1));
    if (!type.empty())
        return type;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return "application/octet-stream";
    unsigned char buf[1024];
    ssize_t n;
    do {
        n = ::read(fd, buf, sizeof buf);
    } while (n < 0 && errno == EINTR);
    ::close(fd);
    if (n < 0)
        return "application/octet-stream";
    const size_t got = static_cast<size_t>(n);
    return looksLikeText(buf, got, got < sizeof buf) ? "text/plain" : "application/octet-stream";
}

std::string MimeDatabase::Canonical(std::string_view type) const {
    const auto it = aliases_.find(type);
    return it == aliases_.end() ? std::string(type) : it->second;
}

bool MimeDatabase::IsKnownType(std::string_view type) const {
    return types_.count(type) != 0 || aliases_.count(type) != 0;
}

std::string MimeDatabase::Comment(std::string_view type) const {
    const std::string canonical = Canonical(type);
    if (canonical.find("..") != std::string::npos || canonical.find('/') == std::string::npos)
        return {};
    for (const std::string& dir : mimeDirs_) {
        const std::string xml = ReadSmallFile(dir + "/" + canonical + ".xml", 4u << 20);
        const size_t open = xml.find("<comment>");
        if (open == std::string::npos)
            continue;
        const size_t start = open + 9;
        const size_t end = xml.find("</comment>", start);
        if (end != std::string::npos)
            return xmlUnescape(std::string_view(xml).substr(start, end - start));
    }
    return {};
}

std::vector<std::string> MimeDatabase::BroaderTypes(std::string_view type) const {
    std::vector<std::string> out;
    if (type.empty())
        return out;
    std::set<std::string> seen;
    auto add = [&](const std::string& t) {
        if (seen.insert(t).second)
            out.push_back(t);
    };
    add(Canonical(type));
    for (size_t i = 0; i < out.size() && out.size() < 64; ++i) {
        const auto range = parents_.equal_range(out[i]);
        for (auto it = range.first; it != range.second; ++it)
            add(Canonical(it->second));
    }
    if (out[0].rfind("text/", 0) == 0)
        add("text/plain");
    return out;
}

} // namespace km
