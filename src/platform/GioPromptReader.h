#pragma once
// Reading what `gio mount` prints: the questions it asks on its standard
// output (it reads the answers, one line each, from its standard input) and
// the message it leaves on its standard error when it fails. Its texts are
// read untranslated (the program runs with LC_MESSAGES=C).
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace km {

struct GioPrompt {
    enum class Kind { User, Domain, Password, Choice, Other };
    Kind kind = Kind::Other;
    std::string label;                // as printed, without the ": " ("User")
    std::string defaultValue;         // the text in brackets after the label ("User [joe]: ")
    std::string message;              // the lines printed since the last question, joined by '\n'
    std::vector<std::string> choices; // a Choice's "[1] Log In Anyway" lines, in order
};

class GioPromptReader {
public:
    // Adds a piece of output. Returns the question when the output now ends in
    // one ("User: ", "Password: ", "Choice: " or any short "Label: " at the
    // start of a line); reading then starts afresh.
    std::optional<GioPrompt> Feed(std::string_view output);

private:
    std::string pending_; // printed since the last question
};

// gio's message from its standard error: the "gio: <location>: " lines without
// that prefix, or else the last line that is not a GLib log line; empty when
// there is none.
std::string GioErrorText(std::string_view errorOutput, std::string_view location);

} // namespace km
