#include "fileops/attributes/AttributeChanges.h"

#include "platform/FileAttributes.h"

namespace km {

uint32_t NewAttributes(uint32_t current, const AttributeChanges& changes, bool multi) {
    uint32_t result = multi ? current : 0;
    const auto apply = [&result](BitChange change, uint32_t bit) {
        if (change == BitChange::On)
            result |= bit;
        else if (change == BitChange::Off)
            result &= ~bit;
    };
    apply(changes.archive, AttrArchive);
    apply(changes.readOnly, AttrReadOnly);
    apply(changes.hidden, AttrHidden);
    apply(changes.system, AttrSystem);
    return result & kWritableAttributes;
}

} // namespace km
