#pragma once
// Texts an editor could not ask about when the session ended (SIGTERM, a
// session manager that allows no questions) are kept here instead of being
// lost, and the next start says where they are.
#include <string>
#include <string_view>
#include <vector>

namespace km {

struct RecoveredText {
    std::string original; // the file the editor had open
    std::string kept;     // where its unsaved text is now
};

// $XDG_STATE_HOME/Orlent/KM/recovery (~/.local/state/...); made private to
// the user when it is created.
std::string RecoveryDirectory();

struct UnsavedText {
    std::string path;  // the editor's file
    std::string bytes; // what Save would write
};

// Writes each text to its own file in a new folder of `recoveryDir`, synced
// to the disk, with an index of where each came from. 0, or the errno of
// the first step that failed (what was written before it stays).
int KeepForRecovery(const std::string& recoveryDir, const std::vector<UnsavedText>& texts,
                    std::vector<RecoveredText>& kept);

// The texts kept since the last call; each is reported once.
std::vector<RecoveredText> TakeUnreportedRecoveries(const std::string& recoveryDir);

} // namespace km
