#pragma once
// What one panel holds: the ordered rows of a directory, their selection, the
// cursor, the sort order and the counters of the summary line.
#include "panels/FileEntry.h"
#include "panels/SortFlags.h"
#include "platform/DirectoryReader.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace km {

class SettingsStore;

// Which hidden/system entries are listed; read from the store at each re-read.
struct ListingFilter {
    bool showSystemFiles = false;
    bool showHiddenFiles = false;
    bool showSystemDirs = false;
    bool showHiddenDirs = false;
    static ListingFilter FromSettings(SettingsStore& store);
};

// What a re-read carries over from the rows it replaces.
struct ReadCarryOver {
    std::unordered_set<std::string> keep; // names to select again
    std::string cursorName;               // the cursor's entry when the same directory is read again
    int cursorKind = -1;                  // and its kind; -1 when the cursor goes by memory
};

// The entries a command acts on and the directory they were shown in, as one
// value: the selected rows in list order, or the cursor row when none is
// selected; never the parent entry. Rows that arrive later change nothing here.
struct PanelSelection {
    std::string dir;
    bool ftp = false;
    std::vector<FileEntry> entries;
    bool empty() const { return entries.empty(); }
    std::string FullPath(const FileEntry& e) const;
};

// Keyboard range selections (Shift + cursor keys).
enum class RangeKey { Down, Up, PageDown, PageUp, Home, End };

class PanelListing {
public:
    static constexpr int kCursorSlots = 10;

    // --- state ---
    std::string drive; // mount point holding `path`, or "FTP"
    // The directory the rows on show were read from. A read of another
    // directory changes it only when that directory's rows replace these, so
    // a command never joins the rows of one directory to the path of another.
    std::string path = "/";
    std::vector<FileEntry> entries;
    int sortFlags = SortByName;
    int sortColumn = 0;
    bool sortDescending = false;
    int depth = 0;
    std::array<int, kCursorSlots> cursorMemory{};
    int selectedFiles = 0;
    int selectedDirs = 0;
    uint64_t selectedBytes = 0;
    bool keepSelection = false;
    bool bulkChange = false;
    std::string summaryText;
    // quick search
    char32_t lastSearchChar = 0;
    int lastMatch = -1;
    bool searchFound = false;

    bool isFtp() const { return drive == "FTP"; }
    int cursor() const { return cursor_; }
    int rowCount() const { return static_cast<int>(entries.size()); }

    // Re-reads `path` with `mask` applied to files. On failure the rows are
    // left as they were and the error is returned.
    DirReadResult ReadDirectory(const ListingFilter& filter, std::string_view mask);

    // A read in steps, so that the reading can run on other threads:
    // CarryOver() before, StartRows() + MakeRows() per block + SortRows() on
    // any thread, AcceptRows() at the end.
    // `dirPath` is the directory about to be read: the cursor is carried only
    // when it is the one on show.
    ReadCarryOver CarryOver(const std::string& dirPath) const;
    // The rows a read of `dirPath` starts with: the parent entry unless it is a root.
    static std::vector<FileEntry> StartRows(const std::string& dirPath);
    // The rows of a block of directory entries that the filter and the mask let through.
    static std::vector<FileEntry> MakeRows(std::vector<DirEntryInfo>& block, const ListingFilter& filter,
                                           std::string_view mask);
    static void SortRows(std::vector<FileEntry>& rows, int flags);
    // Takes sorted rows of `dirPath`, which becomes `path`: selects the kept
    // names and puts the cursor on the same entry (a re-read) or where the
    // memory of the depth says.
    void AcceptRows(std::vector<FileEntry> rows, int enumeratedCount, const ReadCarryOver& carry,
                    const std::string& dirPath);
    // Rows shown while a read goes on: the first ones of `dirPath` replace the
    // rows of before (no cursor yet, no selection, the memory untouched),
    // later ones are added.
    void ShowFirstRows(std::vector<FileEntry> rows, const std::string& dirPath);
    void AddRows(std::vector<FileEntry> rows);
    // What the user did with the rows shown while reading: selected names and
    // a cursor put somewhere are carried into the complete listing.
    void AddShownState(ReadCarryOver& carry) const;
    // The rows of a remote directory: the parent entry is always added, then
    // sorted, with the cursor remembered for `remoteDepth`.
    void AcceptRemoteRows(std::vector<FileEntry> rows, int remoteDepth);
    // Orders the rows by `flags`; the cursor stays on its entry.
    void Sort(int flags);
    // Toggle rule: ascending on `key` unless already ascending on it.
    static int ToggledFlags(int current, int key);

    // Moves the cursor (clamped) and remembers it for the current depth.
    void SetCursor(int row);
    void ClearCursorMemory();

    void SetSelected(int row, bool selected);
    void ToggleSelected(int row);
    void SelectAll(bool select);
    void InvertSelection();
    // Selects or deselects file rows whose names match `mask`; directories never.
    void SelectByMask(std::string_view mask, bool select);
    bool FocusFileByName(std::string_view name);
    bool SelectFileByName(std::string_view name);
    // Selects the file row of each name: the row of exactly that name, else
    // the first that equals it without regard to case (names here may differ
    // only in case, and the other one is a different file).
    void SelectFilesByName(const std::vector<std::string>& names);
    // Extends the selection as Shift + key does; `pageRows` is the number of
    // fully visible rows and `topRow` the first visible one.
    void ExtendSelection(RangeKey key, int pageRows, int topRow);

    // Next row after `start` that is selected (or the cursor row when
    // `useCursor`); its full path, or path + "/*.*" for a directory when
    // `withDirs` (directories are skipped otherwise). -1 at the end.
    int FirstSelected(int start, bool withDirs, bool useCursor, std::string& outPath) const;
    std::string SelectedFilePath() const;
    std::string FullPath(const FileEntry& e) const;
    // What a command acts on, taken when it is given.
    PanelSelection Chosen() const;

    void UpdateSummary();

    // Typed-character search: deselects everything, then selects and focuses
    // the next directory or file whose name begins with `c` (without case, any
    // script), wrapping once a match was found. Returns the row or -1.
    int QuickSearch(char32_t c);

private:
    void finishRead(int enumeratedCount, const ReadCarryOver& carry);
    static std::vector<uint32_t> sortOrder(const std::vector<FileEntry>& rows, int flags);
    void carryCursor(ReadCarryOver& carry) const;
    int cursor_ = -1;
    void restoreCursor(int enumeratedCount);
};

} // namespace km
