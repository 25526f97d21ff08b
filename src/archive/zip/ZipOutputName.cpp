#include "archive/zip/ZipOutputName.h"

namespace km::zip {

namespace {

bool isDriveSpec(std::string_view c) {
    return c.size() == 2 && c[1] == ':' &&
           ((c[0] >= 'A' && c[0] <= 'Z') || (c[0] >= 'a' && c[0] <= 'z'));
}

} // namespace

std::string OutputName::joined() const {
    std::string s;
    for (const auto& c : components) {
        if (!s.empty())
            s += '/';
        s += c;
    }
    return s;
}

OutputName MapOutputName(std::string_view storedName, bool restoreStructure, bool dosHost) {
    OutputName out;
    const bool directory = storedName.empty() || storedName.back() == '/';
    std::string_view part = storedName;
    if (!restoreStructure) {
        const size_t slash = part.rfind('/');
        if (slash != std::string_view::npos)
            part = part.substr(slash + 1);
    }
    bool first = true;
    while (!part.empty()) {
        const size_t slash = part.find('/');
        const std::string_view c = part.substr(0, slash);
        const bool more = slash != std::string_view::npos;
        part = more ? part.substr(slash + 1) : std::string_view();
        // A leading drive makes the name absolute on DOS systems; it is dropped like '/'.
        const bool drive = dosHost && first && more && isDriveSpec(c);
        first = false;
        if (c.empty() || c == "." || c == ".." || drive)
            continue;
        if (c.find('\0') != std::string_view::npos)
            return OutputName{};
        out.components.emplace_back(c);
    }
    if (directory)
        out.kind = OutputName::Directory;
    else
        out.kind = out.components.empty() ? OutputName::Invalid : OutputName::File;
    return out;
}

} // namespace km::zip
