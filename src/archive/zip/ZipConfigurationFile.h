#pragma once
// The auto-configuration file both engines can write (neither reads it back).
#include <string>
#include <string_view>

namespace km::zip {

class ZipConfigurationFile {
public:
    // engine: "ZipEngine" or "UnzipEngine", the prefix of every line and of the header.
    explicit ZipConfigurationFile(std::string engine);

    // Each line is introduced by a line break; text lines only appear when the text is set.
    void Text(std::string_view option, std::string_view value);
    void Number(std::string_view option, int value);

    const std::string& text() const { return text_; }
    // Creates or replaces the file (mode 0600 when new: it may hold a password).
    bool Save(const std::string& path) const;

private:
    std::string engine_;
    std::string text_;
};

} // namespace km::zip
