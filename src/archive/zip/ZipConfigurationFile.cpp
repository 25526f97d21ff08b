#include "archive/zip/ZipConfigurationFile.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace km::zip {

ZipConfigurationFile::ZipConfigurationFile(std::string engine) : engine_(std::move(engine)) {
    text_ = "; Auto-Configuration file\n; Created by " + engine_ + " v0.7\n";
}

void ZipConfigurationFile::Text(std::string_view option, std::string_view value) {
    if (value.empty())
        return;
    text_ += '\n';
    text_ += engine_;
    text_ += '_';
    text_ += option;
    text_ += '=';
    text_ += value;
}

void ZipConfigurationFile::Number(std::string_view option, int value) {
    text_ += '\n';
    text_ += engine_;
    text_ += '_';
    text_ += option;
    text_ += '=';
    text_ += std::to_string(value);
}

bool ZipConfigurationFile::Save(const std::string& path) const {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const char* p = text_.data();
    size_t left = text_.size();
    bool ok = true;
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return ::close(fd) == 0 && ok;
}

} // namespace km::zip
