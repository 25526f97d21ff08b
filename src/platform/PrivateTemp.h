#pragma once
// The user's own temporary directory, $TMPDIR/km-<uid> (mode 0700): listing
// files and local copies of remote files go there, never under a fixed name
// in a directory other users can write.
#include <string>

namespace km {

// The directory, made when missing; empty (with errno set) when it cannot be
// made or is not a directory of this user that only this user can enter.
std::string PrivateTempDir();

// A new empty file there, "<stem>-XXXXXX" with a unique tail, so that two
// runs of the program (or two tests at once) never share a listing or list
// file. Empty when it cannot be made.
std::string PrivateTempFile(const std::string& stem);

} // namespace km
