#include "panels/PanelListing.h"

#include "panels/CellText.h"
#include "platform/Collation.h"
#include "platform/FileAttributes.h"
#include "platform/PathUtil.h"
#include "platform/Wildcard.h"
#include "resources/StringTable.h"
#include "settings/SettingsStore.h"
#include "ui_services/FormatThousands.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <mutex>
#include <numeric>
#include <unordered_map>
#include <unordered_set>

namespace km {

ListingFilter ListingFilter::FromSettings(SettingsStore& store) {
    ListingFilter f;
    f.showSystemFiles = store.GetInt("Algemeen", "System", 0) != 0;
    f.showHiddenFiles = store.GetInt("Algemeen", "Hidden", 0) != 0;
    f.showSystemDirs = store.GetInt("Algemeen", "SystemDir", 0) != 0;
    f.showHiddenDirs = store.GetInt("Algemeen", "HiddenDir", 0) != 0;
    return f;
}

namespace {

bool filteredOut(uint32_t attrs, bool isDir, const ListingFilter& f) {
    const bool showSystem = isDir ? f.showSystemDirs : f.showSystemFiles;
    const bool showHidden = isDir ? f.showHiddenDirs : f.showHiddenFiles;
    return ((attrs & AttrSystem) && !showSystem) || ((attrs & AttrHidden) && !showHidden);
}

// Key for the extension order: extension then base name, names without a dot first.
std::string extensionKey(const std::string& name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos)
        return std::string(1, '\0') + CollationKey(name);
    return std::string(1, '\1') + CollationKey(name.substr(dot + 1) + name.substr(0, dot));
}

template <class T> int cmp3(const T& a, const T& b) { return a < b ? -1 : (b < a ? 1 : 0); }

FileEntry parentEntry() {
    FileEntry parent;
    parent.kind = KindParent;
    parent.name = "..";
    return parent;
}

} // namespace

DirReadResult PanelListing::ReadDirectory(const ListingFilter& filter, std::string_view mask) {
    std::vector<FileEntry> rows = StartRows(path);
    int enumerated = 0;
    std::mutex mutex;
    const DirReadResult r = ReadDirectoryBlocks(path, [&](std::vector<DirEntryInfo>& block) {
        std::vector<FileEntry> made = MakeRows(block, filter, mask);
        std::lock_guard lock(mutex);
        enumerated += static_cast<int>(block.size());
        rows.insert(rows.end(), std::make_move_iterator(made.begin()), std::make_move_iterator(made.end()));
        return true;
    });
    if (r.error != 0)
        return r;
    SortRows(rows, sortFlags);
    AcceptRows(std::move(rows), enumerated, CarryOver(path), path);
    return r;
}

ReadCarryOver PanelListing::CarryOver(const std::string& dirPath) const {
    ReadCarryOver carry;
    if (keepSelection) {
        for (const FileEntry& e : entries) {
            if (e.selected && e.kind != KindParent)
                carry.keep.insert(e.name);
        }
    }
    if (dirPath == path)
        carryCursor(carry);
    return carry;
}

void PanelListing::carryCursor(ReadCarryOver& carry) const {
    if (cursor_ >= 0 && cursor_ < rowCount()) {
        carry.cursorName = entries[static_cast<size_t>(cursor_)].name;
        carry.cursorKind = entries[static_cast<size_t>(cursor_)].kind;
    }
}

std::vector<FileEntry> PanelListing::StartRows(const std::string& dirPath) {
    std::vector<FileEntry> rows;
    if (!IsRootPath(dirPath))
        rows.push_back(parentEntry());
    return rows;
}

std::vector<FileEntry> PanelListing::MakeRows(std::vector<DirEntryInfo>& block, const ListingFilter& filter,
                                              std::string_view mask) {
    const bool allFiles = mask == "*.*" || mask == "*";
    std::vector<FileEntry> rows;
    rows.reserve(block.size());
    for (DirEntryInfo& d : block) {
        if (filteredOut(d.attributes, d.isDirectory, filter))
            continue;
        if (!d.isDirectory && !allFiles && !WildcardMatch(mask, d.name))
            continue;
        FileEntry& e = rows.emplace_back();
        e.kind = d.isDirectory ? KindDirectory : KindFile;
        e.size = d.size;
        e.lastWrite = d.lastWrite;
        e.attributes = d.attributes;
        e.nameKey = CollationKey(d.name);
        e.name = std::move(d.name);
    }
    return rows;
}

void PanelListing::AcceptRows(std::vector<FileEntry> rows, int enumeratedCount, const ReadCarryOver& carry,
                              const std::string& dirPath) {
    entries = std::move(rows);
    path = dirPath;
    depth = PathDepth(path);
    if (!carry.keep.empty()) {
        for (FileEntry& e : entries)
            e.selected = e.kind != KindParent && carry.keep.count(e.name) != 0;
    }
    finishRead(enumeratedCount, carry);
}

void PanelListing::ShowFirstRows(std::vector<FileEntry> rows, const std::string& dirPath) {
    entries = std::move(rows);
    path = dirPath;
    depth = PathDepth(path);
    cursor_ = -1;
}

void PanelListing::AddRows(std::vector<FileEntry> rows) {
    entries.insert(entries.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
}

void PanelListing::AddShownState(ReadCarryOver& carry) const {
    for (const FileEntry& e : entries) {
        if (e.selected && e.kind != KindParent)
            carry.keep.insert(e.name);
    }
    carryCursor(carry);
}

void PanelListing::AcceptRemoteRows(std::vector<FileEntry> rows, int remoteDepth) {
    const ReadCarryOver carry = CarryOver(path);
    entries.clear();
    depth = remoteDepth;
    entries.push_back(parentEntry()); // also at the root: the server decides
    for (FileEntry& e : rows) {
        e.nameKey = CollationKey(e.name);
        entries.push_back(std::move(e));
    }
    Sort(sortFlags);
    finishRead(rowCount(), carry);
}

void PanelListing::finishRead(int enumeratedCount, const ReadCarryOver& carry) {
    cursor_ = -1;
    if (carry.cursorKind >= 0) {
        // A re-read of the same directory: the cursor stays on its entry.
        for (int i = 0; i < rowCount() && cursor_ < 0; ++i) {
            const FileEntry& e = entries[static_cast<size_t>(i)];
            if (e.kind == carry.cursorKind && e.name == carry.cursorName)
                SetCursor(i);
        }
    }
    if (cursor_ < 0)
        restoreCursor(enumeratedCount);
    keepSelection = true;
    UpdateSummary();
}

void PanelListing::restoreCursor(int enumeratedCount) {
    int row = depth < kCursorSlots ? cursorMemory[static_cast<size_t>(depth)] : 0;
    if (row >= enumeratedCount)
        row = enumeratedCount;
    if (row >= rowCount())
        row = rowCount() - 1;
    cursor_ = row < 0 ? -1 : row;
}

std::vector<uint32_t> PanelListing::sortOrder(const std::vector<FileEntry>& rows, int flags) {
    const int key = flags & SortKeyMask;
    const bool desc = (flags & SortDescending) != 0;
    std::vector<std::string> extKeys;
    if (key == SortByExtension) {
        extKeys.reserve(rows.size());
        for (const FileEntry& e : rows)
            extKeys.push_back(extensionKey(e.name));
    }
    std::vector<uint32_t> order(rows.size());
    std::iota(order.begin(), order.end(), 0u);
    auto compare = [&](uint32_t ia, uint32_t ib) {
        const FileEntry& a = rows[ia];
        const FileEntry& b = rows[ib];
        if (a.kind != b.kind)
            return a.kind < b.kind;
        int c = 0;
        switch (key) {
        case SortByDate: c = cmp3(a.lastWrite, b.lastWrite); break;
        case SortBySize: c = cmp3(a.size, b.size); break;
        case SortByExtension: c = extKeys[ia].compare(extKeys[ib]); break;
        default: c = a.nameKey.compare(b.nameKey); break;
        }
        if (desc)
            c = -c;
        if (c == 0 && key != SortByName) // equal keys: keep a readable order
            c = a.nameKey.compare(b.nameKey);
        return c < 0;
    };
    std::sort(order.begin(), order.end(), compare);
    return order;
}

void PanelListing::SortRows(std::vector<FileEntry>& rows, int flags) {
    const std::vector<uint32_t> order = sortOrder(rows, flags);
    std::vector<FileEntry> sorted;
    sorted.reserve(rows.size());
    for (const uint32_t i : order)
        sorted.push_back(std::move(rows[i]));
    rows = std::move(sorted);
}

void PanelListing::Sort(int flags) {
    sortFlags = flags;
    const std::vector<uint32_t> order = sortOrder(entries, flags);
    const int oldCursor = cursor_;
    std::vector<FileEntry> sorted;
    sorted.reserve(entries.size());
    for (size_t i = 0; i < order.size(); ++i) {
        if (static_cast<int>(order[i]) == oldCursor)
            cursor_ = static_cast<int>(i);
        sorted.push_back(std::move(entries[order[i]]));
    }
    entries = std::move(sorted);
}

int PanelListing::ToggledFlags(int current, int key) {
    if ((current & SortKeyMask) == key && !(current & SortDescending))
        return key | SortDescending;
    return key;
}

void PanelListing::SetCursor(int row) {
    if (entries.empty()) {
        cursor_ = -1;
        return;
    }
    cursor_ = std::clamp(row, 0, rowCount() - 1);
    if (depth < kCursorSlots)
        cursorMemory[static_cast<size_t>(depth)] = cursor_;
}

void PanelListing::ClearCursorMemory() {
    cursorMemory.fill(0);
    depth = 0;
}

void PanelListing::SetSelected(int row, bool selected) {
    if (row < 0 || row >= rowCount() || entries[static_cast<size_t>(row)].kind == KindParent)
        return;
    entries[static_cast<size_t>(row)].selected = selected;
    if (!bulkChange)
        UpdateSummary();
}

void PanelListing::ToggleSelected(int row) {
    if (row >= 0 && row < rowCount())
        SetSelected(row, !entries[static_cast<size_t>(row)].selected);
}

void PanelListing::SelectAll(bool select) {
    for (FileEntry& e : entries) {
        if (e.kind == KindParent)
            e.selected = false;
        else if (!select)
            e.selected = false;
        else
            e.selected = !isFtp() || e.kind == KindFile;
    }
    UpdateSummary();
}

void PanelListing::InvertSelection() {
    for (FileEntry& e : entries) {
        if (e.kind != KindParent)
            e.selected = !e.selected;
    }
    UpdateSummary();
}

void PanelListing::SelectByMask(std::string_view mask, bool select) {
    for (FileEntry& e : entries) {
        if (e.kind == KindFile && WildcardMatch(mask, e.name))
            e.selected = select;
    }
    UpdateSummary();
}

bool PanelListing::FocusFileByName(std::string_view name) {
    for (int i = 0; i < rowCount(); ++i) {
        const FileEntry& e = entries[static_cast<size_t>(i)];
        if (e.kind == KindFile && EqualsIgnoreCase(e.name, name)) {
            SetCursor(i);
            return true;
        }
    }
    SetCursor(0);
    return false;
}

bool PanelListing::SelectFileByName(std::string_view name) {
    for (FileEntry& e : entries) {
        if (e.kind == KindFile && EqualsIgnoreCase(e.name, name)) {
            e.selected = true;
            UpdateSummary();
            return true;
        }
    }
    return false;
}

void PanelListing::SelectFilesByName(const std::vector<std::string>& names) {
    // Lower-cases ASCII letters, as EqualsIgnoreCase compares.
    auto fold = [](std::string_view n) {
        std::string out(n);
        for (char& c : out) {
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c + 32);
        }
        return out;
    };
    std::unordered_map<std::string_view, size_t> exact;
    std::unordered_map<std::string, size_t> folded;
    for (size_t i = entries.size(); i-- > 0;) {
        if (entries[i].kind != KindFile)
            continue;
        exact[entries[i].name] = i;
        folded[fold(entries[i].name)] = i; // from the back: the first row wins
    }
    for (const std::string& name : names) {
        if (const auto it = exact.find(name); it != exact.end()) {
            entries[it->second].selected = true;
        } else if (const auto f = folded.find(fold(name)); f != folded.end()) {
            entries[f->second].selected = true;
        }
    }
    UpdateSummary();
}

void PanelListing::ExtendSelection(RangeKey key, int pageRows, int topRow) {
    if (entries.empty())
        return;
    const int last = rowCount() - 1;
    int cur = cursor_ < 0 ? 0 : cursor_;
    int first = -1, lastSel = -1;
    for (int i = 0; i <= last; ++i) {
        if (entries[static_cast<size_t>(i)].selected) {
            if (first < 0)
                first = i;
            lastSel = i;
        }
    }
    if (first < 0)
        first = lastSel = cur;
    pageRows = std::max(1, pageRows);
    int next = cur, anchor = first;
    switch (key) {
    case RangeKey::Down: next = std::min(cur + 1, last); break;
    case RangeKey::Up:
        next = std::max(cur - 1, 0);
        anchor = lastSel;
        break;
    case RangeKey::PageDown: {
        const int pageEnd = topRow + pageRows - 1;
        next = std::min(cur == pageEnd ? cur + pageRows : std::max(pageEnd, cur), last);
        break;
    }
    case RangeKey::PageUp:
        next = cur == topRow ? std::max(cur - pageRows, 0) : std::min(topRow, cur);
        anchor = lastSel;
        break;
    case RangeKey::Home:
        next = 0;
        anchor = lastSel;
        break;
    case RangeKey::End: next = last; break;
    }
    bulkChange = true;
    const int lo = std::min(anchor, next), hi = std::max(anchor, next);
    for (int i = 0; i <= last; ++i) {
        FileEntry& e = entries[static_cast<size_t>(i)];
        e.selected = i >= lo && i <= hi && e.kind != KindParent;
    }
    SetCursor(next);
    bulkChange = false;
    UpdateSummary();
}

std::string PanelListing::FullPath(const FileEntry& e) const { return JoinPath(path, e.name); }

std::string PanelSelection::FullPath(const FileEntry& e) const { return JoinPath(dir, e.name); }

PanelSelection PanelListing::Chosen() const {
    PanelSelection chosen;
    chosen.dir = path;
    chosen.ftp = isFtp();
    for (const FileEntry& e : entries) {
        if (e.selected && e.kind != KindParent)
            chosen.entries.push_back(e);
    }
    if (chosen.entries.empty() && cursor_ >= 0 && cursor_ < rowCount() &&
        entries[static_cast<size_t>(cursor_)].kind != KindParent)
        chosen.entries.push_back(entries[static_cast<size_t>(cursor_)]);
    return chosen;
}

int PanelListing::FirstSelected(int start, bool withDirs, bool useCursor,
                                std::string& outPath) const {
    for (int i = start + 1; i < rowCount(); ++i) {
        const FileEntry& e = entries[static_cast<size_t>(i)];
        if (e.kind == KindParent)
            continue;
        if (useCursor ? i != cursor_ : !e.selected)
            continue;
        if (e.kind == KindDirectory) {
            if (!withDirs)
                continue;
            outPath = FullPath(e) + "/*.*";
        } else {
            outPath = FullPath(e);
        }
        return i;
    }
    outPath.clear();
    return -1;
}

std::string PanelListing::SelectedFilePath() const {
    if (isFtp())
        return {};
    for (const FileEntry& e : entries) {
        if (e.selected && e.kind == KindFile)
            return FullPath(e);
    }
    return {};
}

void PanelListing::UpdateSummary() {
    selectedFiles = selectedDirs = 0;
    selectedBytes = 0;
    for (const FileEntry& e : entries) {
        if (!e.selected || e.kind == KindParent)
            continue;
        if (e.kind == KindDirectory) {
            ++selectedDirs;
        } else {
            ++selectedFiles;
            selectedBytes += e.size;
        }
    }
    std::string text;
    if (selectedFiles == 0)
        text = LoadString(4173);
    else if (selectedFiles == 1)
        text = "1 file, " + FormatThousands(selectedBytes) + " bytes selected";
    else
        text = std::to_string(selectedFiles) + " files, " + FormatThousands(selectedBytes) +
               " bytes selected";
    summaryText = PadLine(std::move(text));
}

int PanelListing::QuickSearch(char32_t c) {
    c = FoldCase(c);
    if (c != lastSearchChar) {
        lastSearchChar = c;
        lastMatch = -1;
        searchFound = false;
    }
    for (FileEntry& e : entries)
        e.selected = false;
    cursor_ = -1;
    int found = -1;
    for (int pass = 0; pass < 2 && found < 0; ++pass) {
        const int from = pass == 0 ? lastMatch + 1 : 0;
        for (int i = from; i < rowCount(); ++i) {
            const FileEntry& e = entries[static_cast<size_t>(i)];
            if (e.kind != KindParent && FoldedFirstCharacter(e.name) == c) {
                found = i;
                break;
            }
        }
        if (!searchFound)
            break; // wrap only after an earlier hit in this search
    }
    if (found >= 0) {
        lastMatch = found;
        searchFound = true;
        entries[static_cast<size_t>(found)].selected = true;
        SetCursor(found);
    }
    UpdateSummary();
    return found;
}

} // namespace km
