#include "fileops/open_execute/CommandLine.h"

#include "fileops/open_execute/AssociationWriter.h"

namespace km {

std::string CommandLineText(const std::string& typed) {
    if (typed.size() <= kCommandLineMax)
        return typed;
    size_t cut = kCommandLineMax;
    while (cut > 0 && (static_cast<unsigned char>(typed[cut]) & 0xC0) == 0x80)
        --cut;
    return typed.substr(0, cut);
}

int RunCommandLine(const std::string& text, const std::string& workingDir, OpenExecuteUi& ui) {
    const std::string line = CommandLineText(text);
    if (line.empty())
        return -1;
    const size_t blank = line.find(' ');
    const std::string program = line.substr(0, blank);
    std::string parameters;
    if (blank != std::string::npos) {
        const size_t rest = line.find_first_not_of(' ', blank);
        if (rest != std::string::npos)
            parameters = line.substr(rest);
    }
    return StartProgram(program, SplitCommandText(parameters), workingDir, ui);
}

} // namespace km
