#pragma once
// The in-memory form of a REGEDIT4 file: keys in file order, each with its
// values in file order. Names fold ASCII case on lookup and keep the case they
// were first written with.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace km {

bool FoldedEqual(std::string_view a, std::string_view b);
bool FoldedStartsWith(std::string_view text, std::string_view prefix);

struct FoldHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const noexcept;
};
struct FoldEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept {
        return FoldedEqual(a, b);
    }
};
// Keyed by the original-case name; looked up by any spelling without allocating.
using FoldIndex = std::unordered_map<std::string, size_t, FoldHash, FoldEqual>;

enum class RegType { String, Dword, Binary };

// Registry type codes that matter when a hex value is read back.
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegExpandSz = 2;
inline constexpr uint32_t kRegBinary = 3; // written as plain "hex:"

struct RegValue {
    std::string name; // empty is the key's default value ("@")
    RegType type = RegType::String;
    int32_t dword = 0;
    uint32_t hexType = kRegBinary; // Binary only: the N of "hex(N):"
    std::string data;              // String: the text; Binary: the raw bytes
};

class RegKey {
public:
    // Keys under the program's branch are sections. Others (the branch key
    // itself, keys of other programs in an imported export) are kept verbatim
    // so that rewriting the file loses nothing.
    std::string path;    // full path, for keys outside the branch
    std::string section; // path below the branch, for sections
    bool isSection = false;

    const std::vector<RegValue>& values() const { return values_; }
    const RegValue* find(std::string_view name) const;
    // The existing value of that name (its case kept) or a new one at the end.
    RegValue& put(std::string_view name);
    bool remove(std::string_view name);

private:
    std::vector<RegValue> values_;
    FoldIndex index_;
};

class RegDocument {
public:
    // The program's branch; its sub-keys are the sections.
    static constexpr std::string_view kBranch = "HKEY_CURRENT_USER\\Software\\Orlent\\KM";

    const std::vector<RegKey>& keys() const { return keys_; }
    RegKey& keyAt(size_t i) { return keys_[i]; }
    RegKey* findSection(std::string_view name);
    const RegKey* findSection(std::string_view name) const;
    RegKey& section(std::string_view name); // created empty at the end if missing
    bool removeSection(std::string_view name);

    // For the parser: the key at a full path, created if missing, as an index
    // because adding keys moves them.
    size_t keyIndex(std::string_view fullPath);
    // "[-path]": removes the key and every key below it.
    void removeTree(std::string_view fullPath);
    void clear();

    static std::string fullPath(const RegKey& key);

private:
    void reindex();

    std::vector<RegKey> keys_;
    FoldIndex sections_; // section name -> index in keys_
    FoldIndex others_;   // full path -> index in keys_
};

} // namespace km
