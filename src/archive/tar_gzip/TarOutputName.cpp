#include "archive/tar_gzip/TarOutputName.h"

namespace km::tar {

std::vector<std::string> OutputComponents(const std::string& storedName, bool keepPath) {
    std::vector<std::string> parts;
    std::string current;
    auto flush = [&] {
        if (!current.empty() && current != "." && current != "..")
            parts.push_back(current);
        current.clear();
    };
    for (char c : storedName) {
        if (c == '/' || c == '\\')
            flush();
        else
            current += c;
    }
    const std::string last = current;
    flush();
    if (keepPath)
        return parts;
    // A name that ends in a separator or in "." / ".." names no file.
    if (last.empty() || last == "." || last == "..")
        return {};
    return {last};
}

std::string JoinComponents(const std::vector<std::string>& components) {
    std::string out;
    for (const auto& c : components) {
        if (!out.empty())
            out += '/';
        out += c;
    }
    return out;
}

} // namespace km::tar
