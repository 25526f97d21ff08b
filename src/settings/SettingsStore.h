#pragma once
// The per-user profile: sections of named 32-bit integers and strings, kept in
// one REGEDIT4-syntax text file so a key exported from the reference registry
// loads unchanged. Names fold case on lookup and keep their case when listed.
#include "settings/RegDocument.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace km {

struct SettingsValue {
    std::string name;     // as first written
    bool isInt = false;   // dword value
    int32_t intValue = 0; // as GetInt reads it (also a 4-byte binary value)
    std::string text;     // as GetString reads it (empty for non-string values)
};

class SettingsStore {
public:
    // Loads `filePath` (missing file = empty store). A file that cannot be parsed
    // is renamed to `filePath + ".bad"`; the store then starts empty and
    // loadProblem() says why.
    explicit SettingsStore(std::string filePath);
    ~SettingsStore(); // flushes sections created by reads

    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // $XDG_CONFIG_HOME/Orlent/KM.reg (XDG_CONFIG_HOME defaults to ~/.config).
    static std::string defaultPath();

    int32_t GetInt(std::string_view section, std::string_view key, int32_t def);
    std::string GetString(std::string_view section, std::string_view key, std::string_view def);
    bool PutInt(std::string_view section, std::string_view key, int32_t value);
    // A null value deletes the value; a null key deletes the whole section.
    bool PutString(std::string_view section, std::optional<std::string_view> key,
                   std::optional<std::string_view> value);
    bool DeleteValue(std::string_view section, std::string_view key);
    std::vector<SettingsValue> ListValues(std::string_view section);
    bool HasSection(std::string_view section) const;

    // Defers file writes until the outermost batch ends (e.g. saving placement).
    class Batch {
    public:
        explicit Batch(SettingsStore& s) : store_(s) { ++store_.batchDepth_; }
        ~Batch() {
            if (--store_.batchDepth_ == 0 && store_.dirty_)
                store_.flush();
        }
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        SettingsStore& store_;
    };

    // Writes the file if anything changed since the last write; false on failure.
    // A failed write keeps the change in memory, so the next write retries it.
    bool flush();
    const std::string& filePath() const { return path_; }
    const std::string& loadProblem() const { return loadProblem_; }

    // Parses REGEDIT4 text; exposed for tests and the fuzz target. Returns false
    // (with `error` set) on text that is not a well-formed export.
    using Parsed = RegDocument;
    static bool parse(std::string_view text, Parsed& out, std::string& error);

private:
    void load();
    // The section for an access, created if missing; null for a name that
    // cannot be stored (empty, or holding a line break or NUL).
    RegKey* open(std::string_view section, bool forWrite);
    // Writes now unless a batch is open; the result of the access.
    bool commit();

    RegDocument doc_;
    std::string path_;
    std::string loadProblem_;
    int batchDepth_ = 0;
    bool dirty_ = false;         // changed by a write since the file was last written
    bool createdByRead_ = false; // sections made by reads, saved with the next write
    bool writesBlocked_ = false; // the file on disk could not be read or moved aside
    friend class Batch;
};

} // namespace km
