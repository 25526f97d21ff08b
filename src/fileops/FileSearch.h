#pragma once
// Finding files by a wildcard pattern ("/data/*.txt"), below its
// directory when asked, and only those containing a text when one is given.
#include "fileops/FileOpUi.h"
#include "fileops/TextMatcher.h"

#include <string>
#include <vector>

namespace km {

struct SearchRequest {
    std::string pathPattern; // a directory and a wildcard name
    std::string currentDir;    // what a relative pattern starts from
    std::string text;          // empty: names only
    bool caseInsensitive = true;
    bool subdirectories = true;
    bool showHidden = false; // the panels' "Hidden" and "System" filters
    bool showSystem = false;
};

struct SearchOutcome {
    std::vector<std::string> found; // full paths, sorted without regard to case
    bool cancelled = false;
};

// Visits the files of each directory before its subdirectories. Hidden and
// system files are found only when the filters show them, but every
// subdirectory is searched. Links to directories are not followed, so a link
// loop cannot make the search endless. `ui` shows each path and is pumped
// before each file, directory and block; a cancel ends the search with what
// was found so far.
SearchOutcome SearchFiles(const SearchRequest& request, FileOpUi& ui);

enum class ContainsResult { No, Yes, Cancelled };

// Reads a regular file in 16 KiB blocks; a file that cannot be read does not
// contain the text. Devices and pipes are never opened.
ContainsResult FileContainsText(const std::string& path, const TextMatcher& matcher, FileOpUi& ui);

// The text a search uses of what was typed: at most 16 bytes, never ending
// inside a UTF-8 sequence.
std::string SearchTextOf(const std::string& typed);

} // namespace km
