#pragma once
// Records what the open/execute commands tell the user.
#include "fileops/open_execute/OpenExecute.h"

#include <string>
#include <vector>

namespace km::test {

class ScriptedOpenUi : public OpenExecuteUi {
public:
    std::vector<int> warnings;
    std::vector<std::string> messages;
    std::vector<std::string> details; // one per warning
    void Warning(int id, std::string_view detail) override {
        warnings.push_back(id);
        details.emplace_back(detail);
    }
    void Message(std::string_view text, bool) override { messages.emplace_back(text); }
};

} // namespace km::test
