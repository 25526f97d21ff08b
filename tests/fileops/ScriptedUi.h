#pragma once
// Answers the file engines' questions from a script and records what they said.
#include "fileops/FileOpUi.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace km::test {

class ScriptedUi : public FileOpUi {
public:
    std::deque<int> overwriteAnswers; // default when empty: Yes
    std::deque<bool> yesNoAnswers;    // default when empty: Yes
    std::vector<OverwriteQuestion> overwriteAsked;
    std::vector<std::string> questions;
    std::vector<int> warnings;
    std::vector<std::string> warningDetails; // one per warning
    std::vector<std::string> messages;
    long pumps = 0;
    long cancelAfterPumps = -1;     // Pump reports a cancel from this call on
    std::vector<std::string> shown; // the "from" paths, when recordPaths
    bool recordPaths = false;
    std::function<void(long)> onPump;             // called with the pump's number, before answering
    std::function<void(std::string_view)> onShow; // called with each "from" path shown

    int AskOverwrite(const OverwriteQuestion& q) override {
        overwriteAsked.push_back(q);
        if (overwriteAnswers.empty())
            return OverwriteYes;
        const int a = overwriteAnswers.front();
        overwriteAnswers.pop_front();
        return a;
    }
    bool AskYesNo(std::string_view text) override {
        questions.emplace_back(text);
        if (yesNoAnswers.empty())
            return true;
        const bool a = yesNoAnswers.front();
        yesNoAnswers.pop_front();
        return a;
    }
    using FileOpUi::Warning;
    void Warning(int id, std::string_view detail) override {
        warnings.push_back(id);
        warningDetails.emplace_back(detail);
    }
    void Message(std::string_view text, bool) override { messages.emplace_back(text); }
    void ShowPaths(std::string_view from, std::string_view) override {
        if (onShow)
            onShow(from);
        if (recordPaths)
            shown.emplace_back(from);
    }
    bool Pump() override {
        ++pumps;
        if (onPump)
            onPump(pumps);
        return cancelAfterPumps >= 0 && pumps > cancelAfterPumps;
    }
};

} // namespace km::test
