#include "mainwindow/FunctionKeyActions.h"

#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "settings/SettingsStore.h"

#include <cassert>
#include <iterator>
#include <string>

namespace km {
namespace {

struct ActionSource {
    const char* literal;
    int stringId; // 0: the name is the literal
    int command;
};

constexpr ActionSource kSources[] = {
    {"Print", 0, CmdPrint},
    {"View", 0, CmdView},
    {"Edit", 0, CmdEdit},
    {"Copy", 4270, CmdCopy},
    {"RenMove", 4290, CmdRenameMove},
    {"MkDir", 0, CmdMakeDir},
    {"Delete", 4300, CmdDeleteToBin},
    {"ExitWin", 0, CmdExitWindows},
    {"Search", 4850, CmdSearch},
    {"Attributes", 4860, CmdFileAttributes},
    {"Associate", 4870, CmdAssociate},
    {"FileComp", 4880, CmdFileCompare},
    {"DirComp", 4890, CmdDirCompare},
    {"CalcSpace", 4900, CmdCalcSpace},
    {"Refresh", 4910, CmdRefresh},
    {"Invert", 4920, CmdInvertSelection},
    {"Zip", 4830, CmdZip},
    {"FTP sites", 0, CmdFtpSites},
};
constexpr int kCount = static_cast<int>(std::size(kSources));

const std::array<FunctionKeyAction, kCount>& Actions() {
    static const std::array<FunctionKeyAction, kCount> actions = [] {
        std::array<FunctionKeyAction, kCount> a{};
        for (int i = 0; i < kCount; ++i) {
            const ActionSource& src = kSources[i];
            std::string_view name = src.stringId ? LoadString(src.stringId) : std::string_view{};
            // A string table without the number still leaves the key a label.
            if (name.empty())
                name = src.literal;
            a[static_cast<size_t>(i)] = {i, name, src.command};
        }
        return a;
    }();
    return actions;
}

std::string KeyName(size_t k) {
    return "FK" + std::to_string(k + 2);
}

} // namespace

int FunctionKeyCount() {
    return kCount;
}

const FunctionKeyAction& FunctionKeyActionAt(int index) {
    assert(index >= 0 && index < kCount);
    return Actions()[static_cast<size_t>(index)];
}

std::array<int, 8> ReadFunctionKeyAssignment(SettingsStore& store) {
    std::array<int, 8> assignment{};
    for (size_t k = 0; k < assignment.size(); ++k) {
        const int def = static_cast<int>(k);
        const int stored = store.GetInt("FKeys", KeyName(k), def);
        // An index past the list would label and route the key through garbage.
        assignment[k] = stored >= 0 && stored < kCount ? stored : def;
    }
    return assignment;
}

void WriteFunctionKeyAssignment(SettingsStore& store, const std::array<int, 8>& assignment) {
    SettingsStore::Batch batch(store);
    for (size_t k = 0; k < assignment.size(); ++k)
        store.PutInt("FKeys", KeyName(k), assignment[k]);
}

} // namespace km
