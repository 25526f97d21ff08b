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
    void Warning(int id) override { warnings.push_back(id); }
    void Message(std::string_view text, bool) override { messages.emplace_back(text); }
};

} // namespace km::test
