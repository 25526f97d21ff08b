#pragma once
// The readers behind the browser for the formats other than ZIP.
#include "archive/ArchiveSink.h"
#include "archive/browser/ArchiveFormat.h"
#include "archive/rar/RarReader.h"

#include <functional>
#include <string>

namespace km {

// The listing pass: rows through `sink`. False with the text to show when
// the archive cannot be listed; true with a text when the rows end where the
// archive is damaged (they are what could be read).
bool ListArchive(ArchiveFormat format, const std::string& path, ArchiveSink& sink, std::string& message);

// How a pass asks about passwords of encrypted entries.
struct ArchivePasswordPrompts {
    // The password for this entry; false when the user cancelled.
    std::function<bool(const std::string& entryName, std::string& password)> askPassword;
    // Whether the password typed before serves this entry too.
    std::function<rar::PasswordReuse(const std::string& entryName)> askReuse;
};

// The extraction pass of the wanted entries into options.targetDir.
bool ExtractArchive(ArchiveFormat format, const std::string& path, const ArchiveExtractOptions& options,
                    ArchiveSink& sink, std::string& message, const ArchivePasswordPrompts& prompts = {});

} // namespace km
