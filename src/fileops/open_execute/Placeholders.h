#pragma once
// The placeholders of application buttons: "&as" "&ap" "&ad" "&an" "&ae" for
// the active panel, the same with b for the other one. Each is replaced at
// its first occurrence only.
#include <string>
#include <vector>

namespace km {

struct PanelPlaceholderSource {
    std::string file;  // the first selected file, empty when none
    std::string dir;   // the panel's directory
    std::string drive; // the mount point that holds the directory
};

struct PlaceholderSources {
    PanelPlaceholderSource active, other;
    // Where a program starts and relative directories resolve: the active
    // panel's directory, or a local one when that panel shows an FTP site.
    std::string workingDir;
};

// `text` with the placeholders replaced. Only the text as written is
// searched, so a file name that itself holds "&bs" is never expanded again.
std::string ExpandPlaceholders(const std::string& text, const PlaceholderSources& s);

// The parameter text split into arguments (blanks separate, quotes group)
// with the placeholders expanded inside them, so a path with blanks stays one
// argument. A word that was only placeholders expanding to nothing is
// dropped: "&as" with no file selected gives no argument.
std::vector<std::string> ExpandParameters(const std::string& parameters, const PlaceholderSources& s);

} // namespace km
