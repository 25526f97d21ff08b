#pragma once
// Turns the two files' section lists into the one ordered list the window
// shows, recognising blocks that were moved: a same section met out of order
// is shown at both of its places as moved (9 on the left, 10 on the right).
#include "fileops/compare/CompareLine.h"

#include <vector>

namespace km {

struct DisplaySection {
    int state = StateSame; // 1, 7, 8, 9 or 10
    // Lines of the right file for states 1, 8 and 10, of the left file for 7 and 9.
    size_t first = 0;
    size_t last = 0;
    // The numbers of the first lines of the two sections in play (for a
    // one-sided section, the other side's is that of its next section, or one
    // past its last line).
    size_t leftNumber = 0;
    size_t rightNumber = 0;
};

// Requires: every link indexes the other list. Marks every section it shows
// with StateOutput. `leftLines` and `rightLines` are the files' line counts. A left same section
// without a link (blank lines passed over when ignoring white space) is not shown.
std::vector<DisplaySection> ComposeDisplay(std::vector<CompareSection>& left,
                                           std::vector<CompareSection>& right, size_t leftLines,
                                           size_t rightLines);

} // namespace km
