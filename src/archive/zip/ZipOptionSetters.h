#pragma once
// The option conventions both engines share: texts are copied, flags take any non-zero
// value as 1, numbers outside their domain leave the option unchanged, list files must exist.
#include <string>
#include <sys/stat.h>

namespace km::zip {

inline int SetTextOption(std::string& option, const char* text) {
    option = text ? text : "";
    return 1;
}

// A directory option gets its trailing separator.
inline int SetDirectoryOption(std::string& option, const char* text) {
    SetTextOption(option, text);
    if (!option.empty() && option.back() != '/')
        option += '/';
    return 1;
}

inline int SetFlagOption(bool& option, int flag) {
    option = flag != 0;
    return option ? 1 : 0;
}

inline int SetRangeOption(int& option, int value, int low, int high) {
    if (value >= low && value <= high)
        option = value;
    return option;
}

// Refused (0) when the file does not exist.
inline int SetListFileOption(std::string& option, const char* path) {
    struct stat st;
    if (!path || ::stat(path, &st) != 0 || S_ISDIR(st.st_mode))
        return 0;
    option = path;
    return 1;
}

} // namespace km::zip
