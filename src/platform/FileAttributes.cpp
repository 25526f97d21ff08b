#include "platform/FileAttributes.h"

#include <string>
#include <sys/stat.h>
#include <sys/xattr.h>

namespace km {

uint32_t ParseDosAttrib(std::string_view text) {
    // Samba writes "0x20" as text, sometimes with a trailing NUL.
    while (!text.empty() && text.back() == '\0')
        text.remove_suffix(1);
    if (text.size() < 3 || text.size() > 10 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
        return 0;
    uint32_t v = 0;
    for (char c : text.substr(2)) {
        uint32_t d;
        if (c >= '0' && c <= '9')
            d = static_cast<uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            d = static_cast<uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            d = static_cast<uint32_t>(c - 'A' + 10);
        else
            return 0;
        v = v * 16 + d;
    }
    return v;
}

uint32_t ReadAttributes(const char* path, std::string_view baseName, const struct stat& st) {
    uint32_t attrs = 0;
    if ((st.st_mode & S_IWUSR) == 0)
        attrs |= AttrReadOnly;
    if (S_ISDIR(st.st_mode))
        attrs |= AttrDirectory;
    if (!baseName.empty() && baseName[0] == '.')
        attrs |= AttrHidden;
    char buf[32];
    const ssize_t n = getxattr(path, "user.DOSATTRIB", buf, sizeof buf);
    if (n > 0)
        attrs |= ParseDosAttrib(std::string_view(buf, static_cast<size_t>(n))) &
                 (AttrHidden | AttrSystem | AttrArchive);
    return attrs;
}

} // namespace km
