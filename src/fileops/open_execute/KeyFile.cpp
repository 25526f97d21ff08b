#include "fileops/open_execute/KeyFile.h"

namespace km {
namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

} // namespace

KeyFile::KeyFile(std::string_view text) {
    while (!text.empty()) {
        const size_t nl = text.find('\n');
        std::string_view raw = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
        if (!raw.empty() && raw.back() == '\r')
            raw.remove_suffix(1);
        Line line;
        const std::string_view t = trim(raw);
        const size_t eq = raw.find('=');
        if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
            line.kind = Line::Group;
            line.name.assign(t.substr(1, t.size() - 2));
        } else if (!t.empty() && t.front() != '#' && eq != std::string_view::npos &&
                   !trim(raw.substr(0, eq)).empty()) {
            line.kind = Line::Entry;
            line.name.assign(trim(raw.substr(0, eq)));
            std::string_view v = raw.substr(eq + 1);
            while (!v.empty() && (v.front() == ' ' || v.front() == '\t'))
                v.remove_prefix(1);
            line.value.assign(v);
        }
        line.text.assign(raw);
        lines_.push_back(std::move(line));
    }
}

long KeyFile::find(std::string_view group, std::string_view key, bool& found) const {
    found = false;
    long last = -1;
    bool inGroup = false, seen = false;
    for (size_t i = 0; i < lines_.size(); ++i) {
        const Line& l = lines_[i];
        if (l.kind == Line::Group) {
            if (inGroup)
                break; // only the first group of that name counts
            inGroup = l.name == group && !seen;
            seen = seen || inGroup;
            if (inGroup)
                last = static_cast<long>(i);
            continue;
        }
        if (!inGroup)
            continue;
        if (l.kind == Line::Entry && l.name == key) {
            found = true;
            return static_cast<long>(i);
        }
        if (l.kind == Line::Entry || !trim(l.text).empty())
            last = static_cast<long>(i);
    }
    return last;
}

const std::string* KeyFile::Get(std::string_view group, std::string_view key) const {
    bool found;
    const long i = find(group, key, found);
    return found ? &lines_[static_cast<size_t>(i)].value : nullptr;
}

void KeyFile::Set(std::string_view group, std::string_view key, std::string_view value) {
    bool found;
    const long i = find(group, key, found);
    Line entry;
    entry.kind = Line::Entry;
    entry.name.assign(key);
    entry.value.assign(value);
    entry.text = entry.name + "=" + entry.value;
    if (found) {
        lines_[static_cast<size_t>(i)] = std::move(entry);
        return;
    }
    if (i >= 0) {
        lines_.insert(lines_.begin() + i + 1, std::move(entry));
        return;
    }
    if (!lines_.empty() && !trim(lines_.back().text).empty())
        lines_.push_back(Line{});
    Line header;
    header.kind = Line::Group;
    header.name.assign(group);
    header.text = "[" + header.name + "]";
    lines_.push_back(std::move(header));
    lines_.push_back(std::move(entry));
}

void KeyFile::Remove(std::string_view group, std::string_view key) {
    bool found;
    const long i = find(group, key, found);
    if (found)
        lines_.erase(lines_.begin() + i);
}

bool KeyFile::HasGroup(std::string_view group) const {
    for (const Line& l : lines_) {
        if (l.kind == Line::Group && l.name == group)
            return true;
    }
    return false;
}

std::string KeyFile::ToText() const {
    std::string out;
    for (const Line& l : lines_) {
        out += l.text;
        out += '\n';
    }
    return out;
}

std::vector<std::string> SplitList(std::string_view value) {
    std::vector<std::string> out;
    while (!value.empty()) {
        const size_t semi = value.find(';');
        const std::string_view item = trim(value.substr(0, semi));
        if (!item.empty())
            out.emplace_back(item);
        if (semi == std::string_view::npos)
            break;
        value.remove_prefix(semi + 1);
    }
    return out;
}

} // namespace km
