#pragma once
// Which of libarchive's readers this bridge enables, and what the user calls each.
#include <cstddef>
#include <string>

struct archive;

namespace km {

// Enables every format beyond the program's own readers, with the filters they come in.
void EnableOtherFormats(struct archive* reader);

// How many formats EnableOtherFormats enables; EnableOneOtherFormat enables the one at
// `index` alone (with the same filters) and returns its code. For naming a format whose
// first header could not be read: libarchive sets the code only with a header.
size_t OtherFormatCount();
int EnableOneOtherFormat(struct archive* reader, size_t index);

// "7-Zip", "RAR 5", "RPM", "ar (deb)" ... for libarchive's format code; empty for a code
// not enabled here. `rpm`: the RPM filter unwrapped the payload; `firstEntry`: the name of
// the archive's first entry (a .deb starts with "debian-binary").
std::string OtherFormatLabel(int formatCode, bool rpm, const std::string& firstEntry);

// True when one of the reader's filters is RPM.
bool HasRpmFilter(struct archive* reader);

} // namespace km
