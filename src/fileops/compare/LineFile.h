#pragma once
// A file as the compare sees it: its bytes cut into lines of at most 512
// bytes. A line ends after a line feed; 512 bytes without one form a line of
// their own; what is left at the end of the file is the last line.
#include "fileops/compare/CompareLine.h"

#include <string>
#include <string_view>
#include <vector>

namespace km {

class LineFile {
public:
    static constexpr size_t kMaxLineBytes = 512;

    // Reads the regular file at `path` (a byte string). CompareCannotOpen when
    // it cannot be opened or read or is something else (a pipe or device
    // would block or never end); CompareNoMemory when it does not fit.
    // On failure the file has no lines and loaded() is false.
    int Read(const std::string& path);
    // Takes `bytes` as the file's contents.
    int Assign(std::string bytes);

    bool loaded() const { return loaded_; }
    size_t size() const { return lines_.size(); }
    bool empty() const { return lines_.empty(); }
    // Requires: i < size().
    CompareLine& line(size_t i) { return lines_[i]; }
    const CompareLine& line(size_t i) const { return lines_[i]; }
    std::string_view text(size_t i) const {
        return std::string_view(bytes_).substr(lines_[i].offset, lines_[i].length);
    }
    // Line numbers count the pieces from 1.
    static size_t number(size_t i) { return i + 1; }

private:
    void clear();

    std::string bytes_;
    std::vector<CompareLine> lines_;
    bool loaded_ = false;
};

} // namespace km
