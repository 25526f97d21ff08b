#pragma once
// The readers behind the browser for the formats other than ZIP.
#include "archive/ArchiveSink.h"
#include "archive/browser/ArchiveFormat.h"

#include <functional>
#include <string>

namespace km {

// The listing pass: rows through `sink`. False with the text to show when
// the archive cannot be listed; true with a text when the rows end where the
// archive is damaged (they are what could be read).
bool ListArchive(ArchiveFormat format, const std::string& path, ArchiveSink& sink, std::string& message);

// Asks for the password of an encrypted entry; false when the user cancelled.
using ArchivePasswordFn = std::function<bool(const std::string& entryName, std::string& password)>;

// The extraction pass of the wanted entries into options.targetDir.
bool ExtractArchive(ArchiveFormat format, const std::string& path, const ArchiveExtractOptions& options,
                    ArchiveSink& sink, std::string& message, const ArchivePasswordFn& askPassword = {});

} // namespace km
