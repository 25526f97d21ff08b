#include "settings/RegDocument.h"

#include <utility>

namespace km {

namespace {

unsigned char FoldChar(char c) {
    auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

// The section a full key path names, or empty if it lies outside the branch.
// The branch key itself holds no section either.
std::string_view SectionOfPath(std::string_view path) {
    std::string_view branch = RegDocument::kBranch;
    if (path.size() <= branch.size() + 1 || !FoldedStartsWith(path, branch) ||
        path[branch.size()] != '\\')
        return {};
    return path.substr(branch.size() + 1);
}

} // namespace

bool FoldedEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldChar(a[i]) != FoldChar(b[i]))
            return false;
    }
    return true;
}

bool FoldedStartsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && FoldedEqual(text.substr(0, prefix.size()), prefix);
}

size_t FoldHash::operator()(std::string_view s) const noexcept {
    // FNV-1a over the folded bytes.
    uint64_t h = 1469598103934665603ull;
    for (char c : s) {
        h ^= FoldChar(c);
        h *= 1099511628211ull;
    }
    return static_cast<size_t>(h);
}

const RegValue* RegKey::find(std::string_view name) const {
    auto it = index_.find(name);
    return it == index_.end() ? nullptr : &values_[it->second];
}

RegValue& RegKey::put(std::string_view name) {
    auto it = index_.find(name);
    if (it != index_.end())
        return values_[it->second];
    RegValue value;
    value.name = std::string(name);
    values_.push_back(std::move(value));
    index_.emplace(std::string(name), values_.size() - 1);
    return values_.back();
}

bool RegKey::remove(std::string_view name) {
    auto it = index_.find(name);
    if (it == index_.end())
        return false;
    size_t gone = it->second;
    index_.erase(it);
    values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(gone));
    for (auto& entry : index_) {
        if (entry.second > gone)
            --entry.second;
    }
    return true;
}

RegKey* RegDocument::findSection(std::string_view name) {
    auto it = sections_.find(name);
    return it == sections_.end() ? nullptr : &keys_[it->second];
}

const RegKey* RegDocument::findSection(std::string_view name) const {
    auto it = sections_.find(name);
    return it == sections_.end() ? nullptr : &keys_[it->second];
}

RegKey& RegDocument::section(std::string_view name) {
    if (RegKey* existing = findSection(name))
        return *existing;
    RegKey key;
    key.section = std::string(name);
    key.isSection = true;
    keys_.push_back(std::move(key));
    sections_.emplace(std::string(name), keys_.size() - 1);
    return keys_.back();
}

bool RegDocument::removeSection(std::string_view name) {
    auto it = sections_.find(name);
    if (it == sections_.end())
        return false;
    keys_.erase(keys_.begin() + static_cast<std::ptrdiff_t>(it->second));
    reindex();
    return true;
}

size_t RegDocument::keyIndex(std::string_view fullPath) {
    std::string_view sectionName = SectionOfPath(fullPath);
    if (!sectionName.empty()) {
        section(sectionName);
        return sections_.find(sectionName)->second;
    }
    auto it = others_.find(fullPath);
    if (it != others_.end())
        return it->second;
    RegKey key;
    key.path = std::string(fullPath);
    keys_.push_back(std::move(key));
    others_.emplace(std::string(fullPath), keys_.size() - 1);
    return keys_.size() - 1;
}

void RegDocument::removeTree(std::string_view path) {
    std::erase_if(keys_, [path](const RegKey& key) {
        std::string full = fullPath(key);
        return FoldedEqual(full, path) || (FoldedStartsWith(full, path) &&
                                           full.size() > path.size() && full[path.size()] == '\\');
    });
    reindex();
}

void RegDocument::clear() {
    keys_.clear();
    sections_.clear();
    others_.clear();
}

std::string RegDocument::fullPath(const RegKey& key) {
    if (!key.isSection)
        return key.path;
    std::string full(kBranch);
    full += '\\';
    full += key.section;
    return full;
}

void RegDocument::reindex() {
    sections_.clear();
    others_.clear();
    for (size_t i = 0; i < keys_.size(); ++i) {
        if (keys_[i].isSection)
            sections_.emplace(keys_[i].section, i);
        else
            others_.emplace(keys_[i].path, i);
    }
}

} // namespace km
