#pragma once
// What the attribute dialogs ask for: each of the four bits on, off or (in
// the dialogs for several entries) left as it is, and the new time.
#include <cstdint>
#include <optional>

namespace km {

enum class BitChange { Keep, On, Off };

struct AttributeChanges {
    BitChange archive = BitChange::Keep;
    BitChange readOnly = BitChange::Keep;
    BitChange hidden = BitChange::Keep;
    BitChange system = BitChange::Keep;
};

struct AttributeRequest {
    AttributeChanges changes;
    // Several entries: unchecked bits are kept and a failure is a warning.
    bool multi = false;
    std::optional<int64_t> newTime; // seconds since 1970; none = don't change
};

// The attributes to write for an entry that has `current`. One entry: exactly
// the four bits as chosen (a Keep counts as off). Several: `current` with the
// chosen bits set or cleared.
uint32_t NewAttributes(uint32_t current, const AttributeChanges& changes, bool multi);

} // namespace km
