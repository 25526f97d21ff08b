#pragma once
// Where a reply of a text protocol (FTP, RFC 959 section 4.2) ends. A first line
// whose fourth character after leading blanks is '-' opens a multi-line reply;
// it ends at the first later line that begins with the same three characters
// followed by a blank (or nothing). Lines in between are free text.
#include <string_view>

namespace km {

class TnReplyScanner {
public:
    // The first line of a reply (without CR LF); true when the reply continues.
    bool First(std::string_view line);
    // A later line; true when the reply continues after it.
    bool Next(std::string_view line) const;

private:
    char code_[3] = {};
};

} // namespace km
