#pragma once
// The printed directory listing: `ls -l` (tree: `-lR`) of the panel's
// directory, with the filter mask applied to its entries the way the panel
// applies it.
#include <string>
#include <string_view>
#include <vector>

namespace km {

// The argument vector of the listing; names are escaped (`\ `, `\n`, octal)
// so that every entry is one line and FilterListing can read it back.
std::vector<std::string> ListingCommand(const std::string& dir, bool tree);

// Whether the mask lets every name through ("*", "*.*"), so no filtering is needed.
bool MaskTakesAll(std::string_view mask);

// `listing` (ListingCommand's output) with only the entries whose names match
// `mask`; directory headings and blank lines stay, the "total" lines (which
// would count the dropped entries too) go.
std::string FilterListing(std::string_view listing, std::string_view mask);

} // namespace km
