#include "archive/other/PassphrasePrompt.h"

#include <archive.h>

namespace km {

void PassphrasePrompt::Install(struct archive* reader) {
    archive_read_set_passphrase_callback(reader, this, &PassphrasePrompt::Callback);
}

void PassphrasePrompt::BeginEntry(const std::string& name) {
    entry_ = name;
    givenForEntry_ = false;
}

const char* PassphrasePrompt::Callback(struct archive*, void* self) {
    // Called from C: nothing may unwind through libarchive.
    try {
        return static_cast<PassphrasePrompt*>(self)->next();
    } catch (...) {
        return nullptr;
    }
}

const char* PassphrasePrompt::next() {
    asked_ = true;
    if (cancelled_ || givenForEntry_ || !ask_)
        return nullptr;
    givenForEntry_ = true;
    if (!known_) {
        std::string typed;
        if (!ask_(entry_, typed)) {
            cancelled_ = true;
            return nullptr;
        }
        password_ = typed;
        known_ = true;
    }
    // libarchive refuses an empty passphrase; returning none ends its tries cleanly.
    return password_.empty() ? nullptr : password_.c_str();
}

} // namespace km
