#pragma once
// Starting programs: always with an argument vector, never through a shell,
// so every argument reaches the program exactly as given.
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

// True for the failures the user is told as "Not enough memory".
bool IsResourceError(int error);

} // namespace km
