#pragma once
// The shared MIME-info database as update-mime-database leaves it in each
// mime directory (globs2, aliases, subclasses, types, <type>.xml): which type
// a file name has, what the type is called and which types it belongs to.
#include "fileops/open_execute/XdgDirs.h"

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace km {

class MimeDatabase {
public:
    explicit MimeDatabase(const XdgDirs& dirs);

    // By the file name's globs; empty when none matches.
    std::string TypeForName(std::string_view fileName) const;
    // By name, else by a look at the first bytes: text/plain for text (and an
    // empty file), application/octet-stream for anything else.
    std::string TypeForFile(const std::string& path) const;

    // Defined by some package (or an alias of one that is).
    bool IsKnownType(std::string_view type) const;
    // The type's description (<comment> without a language); empty when unknown.
    std::string Comment(std::string_view type) const;
    std::string Canonical(std::string_view type) const;
    // The type itself, then its parent types, nearest first; every text/*
    // type ends with text/plain.
    std::vector<std::string> BroaderTypes(std::string_view type) const;

    // Appends one globs2 file's lines (exposed for tests).
    void AddGlobs(std::string_view text, std::set<std::string>& noGlobs,
                  const std::set<std::string>& noGlobsAbove);

private:
    struct Glob {
        int weight = 50;
        std::string type;
        std::string pattern; // lower case unless caseSensitive
        bool caseSensitive = false;
    };

    std::vector<std::string> mimeDirs_; // most important first
    std::vector<Glob> globs_;
    std::map<std::string, std::string, std::less<>> aliases_;
    std::multimap<std::string, std::string, std::less<>> parents_;
    std::set<std::string, std::less<>> types_;
};

// Reads a small text file whole; empty when it is missing or too large.
std::string ReadSmallFile(const std::string& path, size_t limit = 16u << 20);

} // namespace km
