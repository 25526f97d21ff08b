#pragma once
// Starting programs: always with an argument vector, never through a shell,
// so every argument reaches the program exactly as given.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace km {

// `program` as execvp would find it: a name holding '/' as it stands, any
// other name in $PATH. Empty when there is no such executable file.
std::string FindProgram(std::string_view program);

// Starts argv[0] with `argv` in `workingDir` (unchanged when empty) and does
// not wait for it. A double fork hands the program to init at once, so no
// zombie is left and no SIGCHLD handling is needed. Returns 0 once the
// program is running, else the errno of what failed: ENOENT (no such
// program), ENOEXEC (not a program), EACCES, ENOMEM or EAGAIN (no resources).
int LaunchDetached(const std::vector<std::string>& argv, const std::string& workingDir);

struct RunResult {
    int error = 0;       // errno when the program could not be started
    int exitStatus = -1; // the exit code; -1 when it did not exit normally
    std::string output;  // standard output and error, at most the first 64 KiB
};

// Runs argv and waits for it to end; standard input is /dev/null.
RunResult RunAndWait(const std::vector<std::string>& argv, const std::string& workingDir);

struct ConversationResult {
    int error = 0;           // errno when the program could not be started
    int exitStatus = -1;     // the exit code; -1 when it did not exit normally
    bool cancelled = false;  // ended because `keepGoing` said so
    std::string output;      // standard output, at most the first 1 MiB
    std::string errorOutput; // standard error, at most the first 1 MiB
};

// Runs argv with its standard input, output and error on pipes, for programs
// that ask on their output and read the answers on their input (gio mount).
// `onOutput` gets each piece of standard output as it comes and returns what
// to write to the program's input; std::nullopt closes the input, so the
// program reads end of file. Without `onOutput` the input is closed at once.
// `keepGoing` is called at least every 50 ms while the program runs; false
// ends it (SIGTERM, SIGKILL a second later) and the result says cancelled.
// `environment` changes what the program inherits: "NAME=value" sets NAME,
// a bare "NAME" removes it.
ConversationResult
RunConversation(const std::vector<std::string>& argv, const std::string& workingDir,
                const std::vector<std::string>& environment,
                const std::function<std::optional<std::string>(std::string_view)>& onOutput,
                const std::function<bool()>& keepGoing);

// True for the failures the user is told as "Not enough memory".
bool IsResourceError(int error);

} // namespace km
