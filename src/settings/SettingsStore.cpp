#include "settings/SettingsStore.h"

#include "settings/AtomicWrite.h"
#include "settings/RegFileParser.h"
#include "settings/RegFileWriter.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace km {

namespace {

enum class ReadResult { Ok, Missing, Failed };

ReadResult ReadWholeFile(const std::string& path, std::string& out, int& err) {
    // O_NONBLOCK so that a FIFO in the file's place cannot hang start-up.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        err = errno;
        return err == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    }
    struct stat st;
    bool statted = ::fstat(fd, &st) == 0;
    if (!statted || !S_ISREG(st.st_mode)) {
        err = !statted ? errno : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        return ReadResult::Failed;
    }
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            err = errno;
            ::close(fd);
            return ReadResult::Failed;
        }
        if (n == 0)
            break;
        out.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return ReadResult::Ok;
}

// Names the file format cannot carry on one line; the registry's C strings could
// not hold a NUL either.
bool StorableName(std::string_view name) {
    return name.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

// What GetInt sees: a dword, or any other value whose data is exactly 4 bytes
// (a little-endian REG_DWORD written as hex). Strings are not numbers here.
std::optional<int32_t> IntOf(const RegValue& v) {
    if (v.type == RegType::Dword)
        return v.dword;
    if (v.type != RegType::Binary || v.data.size() != 4)
        return std::nullopt;
    uint32_t n = 0;
    for (int i = 3; i >= 0; --i)
        n = (n << 8) | static_cast<unsigned char>(v.data[static_cast<size_t>(i)]);
    return static_cast<int32_t>(n);
}

// What GetString sees: a string, or REG_SZ/REG_EXPAND_SZ bytes up to their terminator.
std::optional<std::string_view> TextOf(const RegValue& v) {
    if (v.type == RegType::String)
        return std::string_view(v.data);
    if (v.type == RegType::Binary && (v.hexType == kRegSz || v.hexType == kRegExpandSz)) {
        std::string_view data = v.data;
        return data.substr(0, data.find('\0'));
    }
    return std::nullopt;
}

} // namespace

SettingsStore::SettingsStore(std::string filePath) : path_(std::move(filePath)) {
    try {
        load();
    } catch (...) {
        // Out of memory while loading: do not let a later write replace a file
        // that was never read in full.
        doc_.clear();
        writesBlocked_ = true;
        try {
            loadProblem_ = "The settings file " + path_ + " could not be loaded (out of memory).";
        } catch (...) {
        }
    }
}

SettingsStore::~SettingsStore() {
    if (dirty_ || createdByRead_)
        flush();
}

void SettingsStore::load() {
    std::string text;
    int err = 0;
    ReadResult read = ReadWholeFile(path_, text, err);
    if (read == ReadResult::Missing)
        return;
    std::string why;
    if (read == ReadResult::Failed) {
        why = std::string("could not be read (") + std::strerror(err) + ")";
    } else {
        if (text.empty())
            return; // nothing in it worth keeping aside
        std::string error;
        if (ParseRegFile(text, doc_, error))
            return;
        why = "is damaged (" + error + ")";
    }
    doc_.clear();
    std::string aside = path_ + ".bad";
    if (::rename(path_.c_str(), aside.c_str()) == 0) {
        loadProblem_ = "The settings file " + path_ + " " + why + "; it was moved to " + aside +
                       " and the defaults are used.";
        return;
    }
    writesBlocked_ = true;
    loadProblem_ = "The settings file " + path_ + " " + why + " and could not be moved aside (" +
                   std::strerror(errno) + "); the defaults are used and no setting is saved.";
}

std::string SettingsStore::defaultPath() {
    std::string base;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') { // the XDG rules ignore relative values
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) {
            const passwd* pw = ::getpwuid(::getuid());
            home = pw && pw->pw_dir ? pw->pw_dir : "";
        }
        base = std::string(home) + "/.config";
    }
    return base + "/Orlent/KM.reg";
}

RegKey* SettingsStore::open(std::string_view section, bool forWrite) {
    if (section.empty() || !StorableName(section))
        return nullptr;
    if (RegKey* key = doc_.findSection(section))
        return key;
    RegKey& key = doc_.section(section);
    if (!forWrite)
        createdByRead_ = true;
    return &key;
}

bool SettingsStore::commit() {
    dirty_ = true;
    return batchDepth_ > 0 || flush();
}

int32_t SettingsStore::GetInt(std::string_view section, std::string_view key, int32_t def) {
    try {
        const RegKey* s = open(section, false);
        const RegValue* v = s ? s->find(key) : nullptr;
        return v ? IntOf(*v).value_or(def) : def;
    } catch (...) {
        return def;
    }
}

std::string SettingsStore::GetString(std::string_view section, std::string_view key,
                                     std::string_view def) {
    try {
        const RegKey* s = open(section, false);
        const RegValue* v = s ? s->find(key) : nullptr;
        return std::string(v ? TextOf(*v).value_or(def) : def);
    } catch (...) {
        return std::string(def);
    }
}

bool SettingsStore::PutInt(std::string_view section, std::string_view key, int32_t value) {
    if (writesBlocked_ || !StorableName(key))
        return false;
    try {
        RegKey* s = open(section, true);
        if (!s)
            return false;
        RegValue& v = s->put(key);
        v.type = RegType::Dword;
        v.dword = value;
        v.data.clear();
        return commit();
    } catch (...) {
        return false;
    }
}

bool SettingsStore::PutString(std::string_view section, std::optional<std::string_view> key,
                              std::optional<std::string_view> value) {
    if (writesBlocked_)
        return false;
    try {
        if (!key) {
            if (section.empty() || !StorableName(section))
                return false;
            doc_.removeSection(section);
            return commit();
        }
        if (!StorableName(*key))
            return false;
        RegKey* s = open(section, true);
        if (!s)
            return false;
        if (!value) {
            s->remove(*key);
        } else {
            // A registry string ends at its first NUL.
            RegValue& v = s->put(*key);
            v.type = RegType::String;
            v.data = std::string(value->substr(0, value->find('\0')));
        }
        return commit();
    } catch (...) {
        return false;
    }
}

bool SettingsStore::DeleteValue(std::string_view section, std::string_view key) {
    if (writesBlocked_)
        return false;
    try {
        RegKey* s = open(section, false);
        if (!s || !s->remove(key))
            return false;
        return commit();
    } catch (...) {
        return false;
    }
}

std::vector<SettingsValue> SettingsStore::ListValues(std::string_view section) {
    std::vector<SettingsValue> out;
    try {
        const RegKey* s = open(section, false);
        if (!s)
            return out;
        out.reserve(s->values().size());
        for (const RegValue& v : s->values()) {
            out.push_back(SettingsValue{v.name, v.type == RegType::Dword, IntOf(v).value_or(0),
                                        std::string(TextOf(v).value_or(""))});
        }
    } catch (...) {
        out.clear();
    }
    return out;
}

bool SettingsStore::HasSection(std::string_view section) const {
    return doc_.findSection(section) != nullptr;
}

bool SettingsStore::flush() {
    if (writesBlocked_)
        return false;
    if (!dirty_ && !createdByRead_)
        return true;
    try {
        std::string error;
        if (!AtomicWrite(path_, WriteRegFile(doc_), error))
            return false; // the change stays in memory and goes out with the next write
        dirty_ = false;
        createdByRead_ = false;
        return true;
    } catch (...) {
        return false;
    }
}

bool SettingsStore::parse(std::string_view text, Parsed& out, std::string& error) {
    try {
        return ParseRegFile(text, out, error);
    } catch (...) {
        out.clear();
        error = "out of memory";
        return false;
    }
}

} // namespace km
