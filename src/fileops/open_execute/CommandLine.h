#pragma once
// A command typed at the prompt: the program up to the first blank, its
// arguments after it. Nothing is interpreted by a shell; quotes only group
// words, so `less "two words.txt"` passes one argument.
#include "fileops/open_execute/OpenExecute.h"

#include <string>

namespace km {

constexpr size_t kCommandLineMax = 127; // the prompt uses this much of the text

// The part of a typed text that is used: the first kCommandLineMax bytes,
// never ending inside a UTF-8 sequence.
std::string CommandLineText(const std::string& typed);

// Starts the command in `workingDir` (the active panel's directory). Returns
// 0 when it started (the caller then adds it to the history), else the
// warning shown (4171, 4177); -1 for an empty text, which does nothing.
int RunCommandLine(const std::string& text, const std::string& workingDir, OpenExecuteUi& ui);

} // namespace km
