#include "archive/browser/ArchiveReaders.h"

#include "archive/cab/CabReader.h"
#include "archive/other/OtherArchiveReader.h"
#include "archive/rar/RarReader.h"
#include "archive/tar_gzip/TarReader.h"
#include "resources/StringTable.h"

namespace km {
namespace {

std::string invalidArchive() { return std::string(LoadString(15002)); }

// The stream a tarball format comes in; None for the other formats.
tar::Compression compressionOf(ArchiveFormat format) {
    switch (format) {
    case ArchiveFormat::Gzip: return tar::Compression::Gzip;
    case ArchiveFormat::Xz: return tar::Compression::Xz;
    case ArchiveFormat::Bzip2: return tar::Compression::Bzip2;
    case ArchiveFormat::Zstd: return tar::Compression::Zstd;
    default: return tar::Compression::None;
    }
}

bool isTarball(ArchiveFormat format) {
    return format == ArchiveFormat::Tar || compressionOf(format) != tar::Compression::None;
}

// The first output problem of a TAR pass as the user reads it.
std::string tarProblemText(const TarReport& report, int result) {
    for (const TarProblem& p : report.problems) {
        if (p.code == kTarInvalidArchive)
            return invalidArchive();
        return std::string(LoadString(p.code)) + " " + p.name;
    }
    return result == kTarNotEnoughMemory ? std::string(LoadString(4177)) : invalidArchive();
}

} // namespace

bool ListArchive(ArchiveFormat format, const std::string& path, ArchiveSink& sink, std::string& message) {
    if (isTarball(format)) {
        const int r = ListTarArchive(path, compressionOf(format), sink);
        if (r == kTarOk)
            return true;
        message = r == kTarNotEnoughMemory ? std::string(LoadString(4177)) : invalidArchive();
        return r == kTarDamaged;
    }
    if (format == ArchiveFormat::Cab)
        return cab::ListCabinet(path, sink, message) == cab::kCabOk;
    if (format == ArchiveFormat::Rar) {
        if (rar::ListRarArchive(path, sink) == rar::kRarOk)
            return true;
        message = invalidArchive();
        return false;
    }
    if (format == ArchiveFormat::Other)
        return ListOtherArchive(path, sink, message);
    message = invalidArchive();
    return false;
}

bool ExtractArchive(ArchiveFormat format, const std::string& path, const ArchiveExtractOptions& options,
                    ArchiveSink& sink, std::string& message, const ArchivePasswordPrompts& prompts) {
    if (isTarball(format)) {
        TarReport report;
        const int r = ExtractTarArchive(path, compressionOf(format), options, sink, &report);
        if (r == kTarOk || r == kTarCancelled)
            return true;
        message = tarProblemText(report, r);
        return false;
    }
    if (format == ArchiveFormat::Cab) {
        // Cabinet names keep their directories; they are made, or the files
        // would have nowhere to go.
        ArchiveExtractOptions cabOptions = options;
        cabOptions.restorePaths = true;
        cabOptions.stopAfterFirst = false; // a cabinet pass writes every wanted file
        const int r = cab::ExtractCabinet(path, cabOptions, sink, message);
        return r == cab::kCabOk || r == cab::kCabCancelled;
    }
    if (format == ArchiveFormat::Rar) {
        rar::RarPasswordPrompt prompt;
        prompt.askPassword = prompts.askPassword;
        prompt.askReuse = prompts.askReuse;
        const int r = rar::ExtractRarArchive(path, options, sink, message, prompt);
        return r == rar::kRarOk || r == rar::kRarCancelled;
    }
    if (format == ArchiveFormat::Other)
        return ExtractOtherArchive(path, options, sink, message, prompts.askPassword);
    message = invalidArchive();
    return false;
}

} // namespace km
