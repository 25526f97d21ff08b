#pragma once
// Writes the chosen attributes and modification time to files and
// directories, reporting failures through the UI interface below.
#include "fileops/attributes/AttributeChanges.h"

#include <string>
#include <string_view>
#include <vector>

namespace km {

// What the engine asks of the user interface; tests record the calls.
class AttributeUi {
public:
    virtual ~AttributeUi() = default;
    // A numbered warning ("Kestrum", warning icon).
    virtual void Warning(int stringId) = 0;
    // The platform's text for an error, with the stop icon.
    virtual void SystemError(std::string_view text) = 0;
};

// One file (or, from the single-file dialog, whatever is under the cursor).
// A read-only file gets its attributes first and then the time, any other
// the time first, so neither step is refused by the other. False after a
// failure, which is reported: one entry with the platform's text, several
// with warning 4172.
bool ApplyToFile(const std::string& path, const AttributeRequest& request, AttributeUi& ui);

// One directory: the attributes, then the time. A time that cannot be set is
// reported with the platform's text in either dialog.
bool ApplyToDirectory(const std::string& path, const AttributeRequest& request, AttributeUi& ui);

// Every path in order; a failure does not stop the others. Returns how many failed.
int ApplyToEntries(const std::vector<std::string>& paths, bool directories,
                   const AttributeRequest& request, AttributeUi& ui);

} // namespace km
