#include "archive/other/OtherExtractor.h"

#include "archive/other/OtherArchive.h"
#include "archive/other/OtherEntry.h"
#include "archive/other/SparseOutput.h"
#include "archive/tar_gzip/TarOutputName.h"
#include "platform/ReplacementFile.h"
#include "resources/StringTable.h"

#include <archive_entry.h>
#include <cerrno>
#include <ctime>

namespace km {

using tar::JoinComponents;
using tar::OutputComponents;

namespace {

constexpr int kCannotOpenOutput = 4198;
constexpr int kWriteError = 4200;

EntryAttributes attributesOf(struct archive_entry* e) {
    EntryAttributes a;
    if (archive_entry_mtime_is_set(e)) {
        a.mtime = archive_entry_mtime(e);
        a.mtimeNanoseconds = archive_entry_mtime_nsec(e);
    } else {
        a.mtime = std::time(nullptr); // no stored time: the file is as new as its extraction
    }
    a.mode = StoredMode(e);
    return a;
}

} // namespace

OtherExtractor::OtherExtractor(OtherArchive& archive, PassphrasePrompt& prompt,
                               const ArchiveExtractOptions& options, ArchiveSink& sink)
    : archive_(archive), prompt_(prompt), options_(options), sink_(sink),
      target_(options.targetDir) {}

bool OtherExtractor::Run(std::string& message) {
    message.clear();
    while (!checkCancel()) {
        const OtherStep step = archive_.NextHeader();
        if (step == OtherStep::End)
            break;
        if (step != OtherStep::Ok) {
            const std::string line = archive_.HeaderProblem();
            if (line.empty())
                cancelled_ = true; // the password prompt was cancelled
            problem(line);
            if (step == OtherStep::Fatal)
                break;
            continue;
        }
        if (entry() == Flow::Stop)
            break;
    }
    if (cancelled_)
        return true;
    message = firstProblem_;
    return firstProblem_.empty();
}

OtherExtractor::Flow OtherExtractor::entry() {
    struct archive_entry* e = archive_.Entry();
    const std::string name = ListedName(e);
    if (name.empty()) {
        problem(archive_.Label() + ": " + kNamelessEntry);
        return Flow::Next;
    }
    if (!sink_.IsWanted(name))
        return Flow::Next;
    const OtherEntryKind kind = KindOf(e);
    if (kind == OtherEntryKind::Directory)
        return directory(e, name);
    if (kind == OtherEntryKind::Other)
        return Flow::Next;
    const bool hardLink = kind == OtherEntryKind::HardLink && !CarriesData(e);
    const bool isLink = hardLink || kind == OtherEntryKind::Symlink;
    // View, edit and execute want a file to open, not a link.
    if (isLink && options_.stopAfterFirst)
        return Flow::Next;

    const ExtractPath parts = OutputComponents(name, options_.restorePaths);
    if (parts.empty()) {
        outputProblem(kCannotOpenOutput, target_.Describe({name}));
        return Flow::Next;
    }
    outputPath_ = target_.Describe(parts);
    if (!mayWrite(parts, e))
        return checkCancel() ? Flow::Stop : Flow::Next; // the answer may have been Cancel
    sink_.ShowEntry(JoinComponents(parts));
    return isLink ? link(e, parts, hardLink) : file(e, parts, name);
}

OtherExtractor::Flow OtherExtractor::directory(struct archive_entry* e, const std::string& name) {
    if (!options_.restorePaths)
        return Flow::Next;
    const ExtractPath parts = OutputComponents(name, true);
    if (parts.empty())
        return Flow::Next;
    if (target_.CreateDirectories(parts))
        target_.SetDirectoryAttributes(parts, attributesOf(e));
    else
        outputProblem(kCannotOpenOutput, target_.Describe(parts));
    return Flow::Next;
}

OtherExtractor::Flow OtherExtractor::link(struct archive_entry* e, const ExtractPath& parts,
                                          bool hard) {
    int err = 0;
    if (hard) {
        // A second name for a file extracted before, below the target only.
        const ExtractPath existing = OutputComponents(HardLinkName(e), options_.restorePaths);
        err = existing.empty() ? EINVAL : target_.MakeHardLink(parts, existing);
    } else {
        // Written as the link it is; no later entry is ever written through it.
        err = target_.MakeSymlink(parts, SymlinkText(e));
    }
    if (err != 0)
        outputProblem(kCannotOpenOutput, outputPath_);
    return Flow::Next;
}

OtherExtractor::Flow OtherExtractor::file(struct archive_entry* e, const ExtractPath& parts,
                                          const std::string& name) {
    const bool encrypted = archive_.EntryEncrypted();
    ExtractFile out;
    if (target_.OpenFile(parts, &out, StoredMode(e)) != 0) {
        outputProblem(kCannotOpenOutput, outputPath_);
        return Flow::Next;
    }
    SparseOutput sparse(out);
    Data result = copy(sparse, encrypted);
    const int64_t size = archive_entry_size_is_set(e) ? archive_entry_size(e) : -1;
    if (result == Data::Done && sparse.Finish(size) != 0)
        result = Data::WriteFailed;
    if (result != Data::Done) {
        out.Discard();
        return afterDataProblem(result, name);
    }
    if (out.Commit(attributesOf(e)) != 0) {
        outputProblem(kWriteError, outputPath_);
        return Flow::Next;
    }
    written_.insert(JoinComponents(parts));
    if (KindOf(e) == OtherEntryKind::HardLink)
        relink(e, parts);
    return options_.stopAfterFirst ? Flow::Stop : Flow::Next;
}

OtherExtractor::Data OtherExtractor::copy(SparseOutput& out, bool encrypted) {
    bool damaged = false;
    for (bool first = true;; first = false) {
        const void* data = nullptr;
        size_t size = 0;
        int64_t offset = 0;
        const OtherStep step = archive_.ReadBlock(data, size, offset);
        // A reader that decrypts asks for the password before the first block. One that
        // never asked either gave up or hands out the cipher text as the file's bytes.
        if (first && encrypted && !prompt_.Asked())
            return Data::Undecryptable;
        if (step == OtherStep::End)
            return damaged ? Data::Failed : Data::Done;
        if (step == OtherStep::Failed)
            return Data::Failed;
        if (step == OtherStep::Fatal)
            return Data::Fatal;
        // Read on to the entry's end, so the archive stays in step, but never keep it.
        damaged = damaged || step == OtherStep::Damaged;
        if (out.Put(offset, data, size) != 0)
            return Data::WriteFailed; // the old file stays; libarchive skips the rest
        bytesDone_ += size;
        if (sink_.Progress(bytesDone_))
            return Data::Cancelled;
    }
}

OtherExtractor::Flow OtherExtractor::afterDataProblem(Data result, const std::string& name) {
    if (result == Data::Cancelled || prompt_.Cancelled()) {
        cancelled_ = true;
        return Flow::Stop;
    }
    const std::string label = archive_.Label();
    if (result == Data::WriteFailed)
        outputProblem(kWriteError, outputPath_);
    else if (result == Data::Undecryptable)
        problem(label + ": " + name + " is encrypted; decrypting " + label +
                " archives is not supported");
    else
        problem(label + ": " + name + ": " + archive_.Reason());
    // After a fatal step the next header says so and ends the pass.
    return Flow::Next;
}

void OtherExtractor::relink(struct archive_entry* e, const ExtractPath& parts) {
    // cpio keeps a file's bytes with its last name; the names before it were written empty.
    // Only a name this pass wrote is made to share the bytes, never a file that was there.
    const ExtractPath earlier = OutputComponents(HardLinkName(e), options_.restorePaths);
    if (earlier.empty() || earlier == parts || written_.count(JoinComponents(earlier)) == 0)
        return;
    if (target_.MakeHardLink(earlier, parts, true) != 0)
        outputProblem(kCannotOpenOutput, target_.Describe(earlier));
}

bool OtherExtractor::mayWrite(const ExtractPath& parts, struct archive_entry* e) {
    const ExistingEntry existing = target_.Lookup(parts);
    if (!existing.exists)
        return true;
    // A directory is not replaced, nor a file its owner protected, whatever the answer.
    if (existing.isDirectory || (!existing.isLink && !MayReplace(outputPath_))) {
        outputProblem(kCannotOpenOutput, outputPath_);
        return false;
    }
    return sink_.ConfirmOverwrite(outputPath_, ListedSize(e), ListedTime(e));
}

void OtherExtractor::problem(const std::string& line) {
    if (firstProblem_.empty())
        firstProblem_ = line;
}

void OtherExtractor::outputProblem(int stringId, const std::string& path) {
    problem(std::string(LoadString(stringId)) + " " + path);
}

bool OtherExtractor::checkCancel() {
    if (!cancelled_ && sink_.Progress(bytesDone_))
        cancelled_ = true;
    return cancelled_;
}

} // namespace km
