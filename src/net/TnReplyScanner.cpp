#include "net/TnReplyScanner.h"

namespace km {

bool TnReplyScanner::First(std::string_view line) {
    size_t at = 0;
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
        ++at;
    line.remove_prefix(at);
    if (line.size() < 4 || line[3] != '-')
        return false;
    line.copy(code_, 3);
    return true;
}

bool TnReplyScanner::Next(std::string_view line) const {
    const bool ends = line.size() >= 3 && line.compare(0, 3, std::string_view(code_, 3)) == 0 &&
                      (line.size() == 3 || line[3] == ' ');
    return !ends;
}

} // namespace km
