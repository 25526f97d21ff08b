#pragma once
// What the copy, move and delete engines ask of the user interface. The Qt
// side answers with real dialogs and the progress window; tests script it.
#include <cstdint>
#include <string>
#include <string_view>

namespace km {

enum OverwriteAnswer : int { OverwriteYes = 1, OverwriteYesToAll = 2, OverwriteCancel = 3, OverwriteNo = 4 };

struct OverwriteQuestion {
    std::string targetPath;
    uint64_t targetSize = 0;
    int64_t targetTime = 0; // seconds since 1970
    uint64_t sourceSize = 0;
    int64_t sourceTime = 0;
    bool allowYesToAll = false;
};

class FileOpUi {
public:
    virtual ~FileOpUi() = default;
    virtual int AskOverwrite(const OverwriteQuestion& q) = 0;
    // A Yes/No question with the exclamation icon; true for Yes.
    virtual bool AskYesNo(std::string_view text) = 0;
    // A numbered warning ("Kestrum", warning icon). `detail`, on a line of
    // its own, names the file it is about and, where the system gave one, why.
    virtual void Warning(int stringId, std::string_view detail) = 0;
    void Warning(int stringId) { Warning(stringId, {}); }
    // A text in an exclamation box, or with the stop icon for system errors.
    virtual void Message(std::string_view text, bool stopIcon) = 0;
    // Progress fields: "From:"/"Deleting:" and "To:".
    virtual void ShowPaths(std::string_view from, std::string_view to) = 0;
    // Lets the window breathe; true when the user cancelled.
    virtual bool Pump() = 0;
};

} // namespace km
