#include "fileops/compare/Composition.h"

namespace km {

std::vector<DisplaySection> ComposeDisplay(std::vector<CompareSection>& left,
                                           std::vector<CompareSection>& right, size_t leftLines,
                                           size_t rightLines) {
    std::vector<DisplaySection> out;
    size_t i = 0;
    size_t j = 0;
    const auto leftNumber = [&] { return i < left.size() ? left[i].first + 1 : leftLines + 1; };
    const auto rightNumber = [&] { return j < right.size() ? right[j].first + 1 : rightLines + 1; };
    const auto showLeft = [&](int state) {
        out.push_back({state, left[i].first, left[i].last, leftNumber(), rightNumber()});
        left[i++].state = StateOutput;
    };
    const auto showRight = [&](int state) {
        out.push_back({state, right[j].first, right[j].last, leftNumber(), rightNumber()});
        right[j++].state = StateOutput;
    };

    while (i < left.size() || j < right.size()) {
        if (i >= left.size()) {
            showRight(right[j].link != kNoSection ? StateMovedRight : StateRightOnly);
            continue;
        }
        if (j >= right.size()) {
            showLeft(left[i].link != kNoSection ? StateMovedLeft : StateLeftOnly);
            continue;
        }
        CompareSection& p = left[i];
        CompareSection& q = right[j];
        if (p.state == StateLeftOnly) {
            showLeft(StateLeftOnly);
        } else if (p.link != kNoSection) {
            if (right[p.link].state == StateOutput) {
                showLeft(StateMovedLeft);
            } else if (q.link == kNoSection) {
                showRight(q.state);
            } else if (left[q.link].state != StateOutput && p.link == j) {
                out.push_back({StateSame, q.first, q.last, p.first + 1, q.first + 1});
                p.state = StateOutput;
                q.state = StateOutput;
                ++i;
                ++j;
            } else if (left[q.link].state != StateOutput && p.lineCount() < q.lineCount()) {
                showLeft(StateMovedLeft);
            } else {
                showRight(StateMovedRight);
            }
        } else {
            ++i; // blank lines only: nothing to show
        }
    }
    return out;
}

} // namespace km
