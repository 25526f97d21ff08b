#pragma once
// The password of one pass, asked when libarchive first wants one and then kept. libarchive
// calls back again after a wrong password; each entry gets the kept password once, so a
// wrong one ends in libarchive's error instead of a loop of questions.
#include "archive/other/OtherArchiveReader.h"

#include <string>

struct archive;

namespace km {

class PassphrasePrompt {
public:
    explicit PassphrasePrompt(OtherPasswordFn askPassword) : ask_(std::move(askPassword)) {}
    PassphrasePrompt(const PassphrasePrompt&) = delete;
    PassphrasePrompt& operator=(const PassphrasePrompt&) = delete;

    // Registers the callback on a reader not yet opened.
    void Install(struct archive* reader);
    // The entry that the next request is for (its name for the question).
    void BeginEntry(const std::string& name);

    // libarchive asked at least once in this pass: it can decrypt this format.
    bool Asked() const { return asked_; }
    bool Cancelled() const { return cancelled_; }
    // Asked, but there was nobody to answer.
    bool Unanswered() const { return asked_ && !ask_; }

private:
    static const char* Callback(struct archive*, void* self);
    const char* next();

    OtherPasswordFn ask_;
    std::string entry_;
    std::string password_;
    bool known_ = false;
    bool givenForEntry_ = false;
    bool asked_ = false;
    bool cancelled_ = false;
};

} // namespace km
