#pragma once
// Where an entry goes below the target directory. Stored names may use "/" or "\" and may
// try to leave the target ("/etc/x", "../x"); the result never does.
#include <string>
#include <vector>

namespace km::tar {

// The components of the output path relative to the target. With `keepPath` the stored
// directories are kept, with empty, "." and ".." components dropped; without it only the
// part after the last separator. Only '/' separates: TAR names come from Unix, where '\'
// is a name character. Empty when nothing writable is left.
std::vector<std::string> OutputComponents(const std::string& storedName, bool keepPath);

std::string JoinComponents(const std::vector<std::string>& components);

// The name a compressed file that holds no tarball decompresses to: its own name without
// the compression's suffix, in any case ("server.log.gz" is "server.log", "x.tgz" is
// "x.tar"); with no such suffix its name with ".out" added, so it never names itself.
std::string DecompressedName(const std::string& archivePath);

} // namespace km::tar
