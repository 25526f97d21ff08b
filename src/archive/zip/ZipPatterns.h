#pragma once
// Include and exclude patterns of the engines and how they select stored names.
#include <string>
#include <string_view>
#include <vector>

namespace km::zip {

class ZipPatternList {
public:
    // Patterns separated by '|'; empty pieces are skipped.
    void AddBarSeparated(std::string_view text);
    // One pattern a line; CRs ignored, ';' lines are comments, empty lines skipped.
    // False when the file cannot be read.
    bool AddListFile(const std::string& path);
    void AddListText(std::string_view text);

    bool empty() const { return patterns_.empty(); }
    const std::vector<std::string>& patterns() const { return patterns_; }

private:
    std::vector<std::string> patterns_;
};

// The include list for an exact selection: the files as they are ("-" turns
// recursion off, and a line naming an existing file then means that file
// alone), then each directory's whole tree ("+" and "dir/*.*").
std::string ZipSelectionListText(const std::vector<std::string>& files,
                                 const std::vector<std::string>& directories);

// The match itself: '?' one character, '*' any run (separators too), "[...]" a class with
// ranges, '!' or '^' negation and '\' quoting inside it; everything else case-insensitive.
// Outside a class '\' stands for the separator '/', so DOS-style patterns still work.
bool ZipWildcardMatch(std::string_view pattern, std::string_view subject);

// One pattern against a stored name ('/' separators): with restoreStructure, a pattern
// without a separator sees only the name after the last '/'. A pattern ending in "*.*" also
// matches names without a dot; one ending in "*." only names without a dot.
bool ZipPatternMatches(std::string_view pattern, std::string_view storedName,
                       bool restoreStructure);

// Selected when an include pattern matches (none means "*.*") and no exclude pattern does.
bool ZipNameSelected(const ZipPatternList& include, const ZipPatternList& exclude,
                     std::string_view storedName, bool restoreStructure);

} // namespace km::zip
