#include "archive/rar/RarReader.h"

#include "archive/extract/ExtractTarget.h"
#include "archive/rar/RarCrypt.h"
#include "archive/rar/RarFormat.h"
#include "archive/rar/RarUnpack.h"

#include "platform/ReadAt.h"
#include "resources/StringTable.h"
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace km::rar {

namespace {

constexpr const char* kInvalidArchive = "Invalid archive";
constexpr const char* kCannotOpenOutput = "Could not open output file";
constexpr int kWriteError = 4200; // "Error writing output file"
constexpr size_t kCopyBlock = 0x8000;

class FileSource : public ByteSource {
public:
    explicit FileSource(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st {};
        if (fd_ >= 0 && ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode))
            size_ = static_cast<uint64_t>(st.st_size);
        else
            Close();
    }
    ~FileSource() override { Close(); }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    size_t ReadAt(uint64_t offset, uint8_t* buffer, size_t count) override {
        return km::ReadAt(fd_, offset, buffer, count);
    }
    uint64_t Size() const override { return size_; }

private:
    void Close() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    int fd_ = -1;
    uint64_t size_ = 0;
};

// The packed data of one file, decrypted on the way when a cipher is given.
class EntryInput : public PackedInput {
public:
    EntryInput(ByteSource& source, const FileHeader& file, PackedCipher* cipher)
        : source_(source), pos_(file.dataOffset), left_(file.packSize), cipher_(cipher) {}
    size_t Read(uint8_t* buffer, size_t count) override {
        if (!cipher_)
            return fetch(buffer, count);
        // A block cipher needs whole blocks, whatever the unpacker asks for.
        size_t done = 0;
        while (done < count) {
            if (plainAt_ == plainLen_) {
                const size_t n = fetch(plain_, sizeof plain_);
                if (n == 0)
                    break;
                // A cut last block stays as it came: the CRC catches it.
                cipher_->Decrypt(plain_, n - n % cipher_->BlockSize());
                plainAt_ = 0;
                plainLen_ = n;
            }
            const size_t n = std::min(count - done, plainLen_ - plainAt_);
            std::memcpy(buffer + done, plain_ + plainAt_, n);
            plainAt_ += n;
            done += n;
        }
        return done;
    }

private:
    size_t fetch(uint8_t* buffer, size_t count) {
        const size_t n =
            source_.ReadAt(pos_, buffer, static_cast<size_t>(std::min<uint64_t>(count, left_)));
        pos_ += n;
        left_ -= n;
        return n;
    }

    ByteSource& source_;
    uint64_t pos_;
    uint64_t left_;
    PackedCipher* cipher_;
    uint8_t plain_[1 << 14]; // a multiple of every block size
    size_t plainAt_ = 0, plainLen_ = 0;
};

enum class EntryResult { Ok, Corrupt, CrcError, Aborted };

// Decodes one file through `output`; the CRC is checked over the bytes produced.
EntryResult DecodeEntry(ByteSource& source, const FileHeader& file, Unpacker& unpacker, bool solid,
                        PackedCipher* cipher, const UnpackedOutput& output) {
    EntryInput input(source, file, cipher);
    uint32_t crc = 0xFFFFFFFFu;
    uint64_t produced = 0;
    const UnpackedOutput counted = [&](const uint8_t* data, size_t count) {
        crc = Crc32(crc, data, count);
        produced += count;
        return output(data, count);
    };
    if (file.method == 0x30) {
        std::vector<uint8_t> block(kCopyBlock);
        while (produced < file.unpSize) {
            const size_t n = input.Read(block.data(), block.size());
            if (n == 0)
                return EntryResult::Corrupt;
            // Encrypted stored data is padded; the padding is not part of the file.
            const size_t use = static_cast<size_t>(std::min<uint64_t>(n, file.unpSize - produced));
            if (!counted(block.data(), use))
                return EntryResult::Aborted;
        }
    } else {
        const int version = file.unpVer >= 20 ? 20 : 15;
        switch (unpacker.Unpack(version, solid, file.unpSize, input, counted)) {
        case UnpackResult::Ok:
            break;
        case UnpackResult::Aborted:
            return EntryResult::Aborted;
        case UnpackResult::Corrupt:
            return EntryResult::Corrupt;
        }
    }
    return ~crc == file.crc ? EntryResult::Ok : EntryResult::CrcError;
}

bool SupportedVersion(const FileHeader& file) {
    return file.unpVer >= 13 && file.unpVer <= 20 && file.method >= 0x30 && file.method <= 0x35;
}

// RAR 2.0 files are solid by their own flag; RAR 1.5 ones by the archive's.
bool ContinuesState(const FileHeader& file, bool archiveSolid) {
    return file.unpVer >= 20 ? (file.flags & kFileSolid) != 0 : archiveSolid;
}

std::vector<std::string> SafeParts(const std::string& stored) {
    std::vector<std::string> parts;
    std::string part;
    auto push = [&] {
        if (!part.empty() && part != "." && part != "..")
            parts.push_back(part);
        part.clear();
    };
    for (char c : stored) {
        if (c == '\\' || c == '/')
            push();
        else
            part += c;
    }
    push();
    // "C:" and the like name a drive, not a directory.
    if (!parts.empty() && parts.front().size() >= 2 && parts.front()[1] == ':') {
        parts.front().erase(0, 2);
        if (parts.front().empty())
            parts.erase(parts.begin());
    }
    return parts;
}

class Extraction {
public:
    Extraction(ByteSource& source, const ArchiveExtractOptions& options, ArchiveSink& sink,
               const RarPasswordPrompt& prompt, std::string& message)
        : source_(source), options_(options), sink_(sink), prompt_(prompt), message_(message),
          target_(options.targetDir) {}

    int Run();

private:
    enum class PasswordStep { Ready, Cancelled, Failed };
    PasswordStep GetPassword(const FileHeader& file);
    int writeEntry(const FileHeader& file, const ExtractPath& out, bool solid);
    int Skip(const FileHeader& file, bool solid);
    std::unique_ptr<PackedCipher> CipherFor(const FileHeader& file) const;
    int Fail(const std::string& text) {
        message_ = text;
        return kRarFailed;
    }

    ByteSource& source_;
    const ArchiveExtractOptions& options_;
    ArchiveSink& sink_;
    const RarPasswordPrompt& prompt_;
    std::string& message_;
    ExtractTarget target_;
    std::unique_ptr<Unpacker> unpacker_;
    bool archiveSolid_ = false;
    std::string password_;
    bool havePassword_ = false;
    bool reuseForAll_ = false;
    uint64_t bytesDone_ = 0;
    bool cancelled_ = false;
};

std::unique_ptr<PackedCipher> Extraction::CipherFor(const FileHeader& file) const {
    if (!(file.flags & kFileEncrypted))
        return nullptr;
    return MakePackedCipher(file.unpVer, password_);
}

Extraction::PasswordStep Extraction::GetPassword(const FileHeader& file) {
    if (havePassword_ && !reuseForAll_ && prompt_.askReuse) {
        switch (prompt_.askReuse(file.name)) {
        case PasswordReuse::Yes:
            return PasswordStep::Ready;
        case PasswordReuse::ForAll:
            reuseForAll_ = true;
            return PasswordStep::Ready;
        case PasswordReuse::Cancel:
            return PasswordStep::Cancelled;
        case PasswordReuse::No:
            havePassword_ = false;
            break;
        }
    }
    if (havePassword_)
        return PasswordStep::Ready;
    if (!prompt_.askPassword) {
        message_ = file.name + " is encrypted and no password was given";
        return PasswordStep::Failed;
    }
    std::string typed;
    if (!prompt_.askPassword(file.name, typed))
        return PasswordStep::Cancelled;
    // The dialog's limit.
    if (typed.size() > 128)
        typed.resize(128);
    password_ = typed;
    havePassword_ = true;
    if (archiveSolid_)
        reuseForAll_ = true;
    return PasswordStep::Ready;
}

// Passes over a file; a compressed file of a solid archive is decoded into nothing so the
// files after it decode from the right state.
int Extraction::Skip(const FileHeader& file, bool solid) {
    if (!archiveSolid_ || file.method == 0x30 || file.isDirectory)
        return kRarOk;
    if ((file.flags & kFileEncrypted) && !havePassword_)
        return kRarOk;
    auto cipher = CipherFor(file);
    const EntryResult r =
        DecodeEntry(source_, file, *unpacker_, solid, cipher.get(), [this](const uint8_t*, size_t) {
            return !(cancelled_ = sink_.Progress(bytesDone_));
        });
    if (r == EntryResult::Aborted)
        return kRarCancelled;
    return kRarOk;
}

int Extraction::writeEntry(const FileHeader& file, const ExtractPath& out, bool solid) {
    const std::string outputPath = target_.Describe(out);
    ExtractFile output;
    // Made on Unix, the attributes are the file's mode.
    const int mode = file.hostOs == kHostUnix ? static_cast<int>(file.attributes & 0777) : -1;
    if (target_.OpenFile(out, &output, mode) != 0)
        return Fail(std::string(kCannotOpenOutput) + " " + outputPath);
    bool writeFailed = false;
    auto cipher = CipherFor(file);
    const EntryResult r = DecodeEntry(source_, file, *unpacker_, solid, cipher.get(),
                                      [&](const uint8_t* data, size_t count) {
                                          if (output.Write(data, count) != 0) {
                                              writeFailed = true;
                                              return false;
                                          }
                                          bytesDone_ += count;
                                          cancelled_ = sink_.Progress(bytesDone_);
                                          return !cancelled_;
                                      });
    bool ok = r == EntryResult::Ok && !writeFailed;
    if (ok) {
        EntryAttributes a;
        a.mtime = UnixSecondsFromFileTime(RarDosTimeToFileTime(file.dosTime));
        a.mode = mode;
        writeFailed = output.Commit(a) != 0;
        ok = !writeFailed;
    }
    if (!ok) {
        output.Discard();
        if (r == EntryResult::Aborted && cancelled_)
            return kRarCancelled;
        if (writeFailed || r == EntryResult::Ok)
            return Fail(std::string(LoadString(kWriteError)) + " " + outputPath);
        if (r == EntryResult::CrcError)
            return Fail("CRC error in " + file.name +
                        ((file.flags & kFileEncrypted) ? " (wrong password?)" : ""));
        return Fail(kInvalidArchive);
    }
    return kRarOk;
}

int Extraction::Run() {
    BlockReader reader(source_);
    if (!reader.Open())
        return Fail(kInvalidArchive);
    if (reader.Volume())
        return Fail("Multi-volume archives are not supported");
    archiveSolid_ = reader.Solid();
    unpacker_ = std::make_unique<Unpacker>();
    if (!unpacker_->Valid())
        return Fail(kInvalidArchive);
    FileHeader file;
    for (;;) {
        const BlockStatus status = reader.Next(file);
        if (status == BlockStatus::End)
            return kRarOk;
        if (status == BlockStatus::Corrupt)
            return Fail(kInvalidArchive);
        if (status == BlockStatus::Other)
            continue;
        if (file.flags & kFileContinued)
            return Fail(kInvalidArchive);
        if (sink_.Progress(bytesDone_))
            return kRarCancelled;
        if (file.isDirectory)
            continue;
        if (!SupportedVersion(file))
            return Fail("Unsupported unpack version " + std::to_string(file.unpVer / 10) + "." +
                        std::to_string(file.unpVer % 10) + " of " + file.name);
        const bool solid = ContinuesState(file, archiveSolid_);
        if (!sink_.IsWanted(file.name)) {
            if (const int r = Skip(file, solid); r != kRarOk)
                return r;
            continue;
        }
        const std::vector<std::string> parts = SafeParts(file.name);
        if (parts.empty())
            return Fail(kInvalidArchive);
        // The password first, then the overwrite question.
        if (file.flags & kFileEncrypted) {
            switch (GetPassword(file)) {
            case PasswordStep::Ready:
                break;
            case PasswordStep::Cancelled:
                return kRarCancelled;
            case PasswordStep::Failed:
                return kRarFailed;
            }
        }
        const ExtractPath out = options_.restorePaths ? parts : ExtractPath{parts.back()};
        const ExistingEntry existing = target_.Lookup(out);
        const std::string outputPath = target_.Describe(out);
        if (existing.exists) {
            if (existing.isDirectory)
                return Fail(std::string(kCannotOpenOutput) + " " + outputPath);
            if (!sink_.ConfirmOverwrite(outputPath, file.unpSize,
                                        RarDosTimeToFileTime(file.dosTime))) {
                if (sink_.Progress(bytesDone_))
                    return kRarCancelled;
                if (const int r = Skip(file, solid); r != kRarOk)
                    return r;
                continue;
            }
        }
        sink_.ShowEntry(file.name);
        if (const int r = writeEntry(file, out, solid); r != kRarOk)
            return r;
        if (options_.stopAfterFirst)
            return kRarOk;
    }
}

} // namespace

FileTime RarDosTimeToFileTime(uint32_t dosTime) {
    std::tm tm{};
    tm.tm_year = static_cast<int>((dosTime >> 25) & 0x7F) + 80;
    tm.tm_mon = static_cast<int>((dosTime >> 21) & 0x0F) - 1;
    tm.tm_mday = static_cast<int>((dosTime >> 16) & 0x1F);
    tm.tm_hour = static_cast<int>((dosTime >> 11) & 0x1F);
    tm.tm_min = static_cast<int>((dosTime >> 5) & 0x3F);
    tm.tm_sec = 0;
    tm.tm_isdst = -1;
    const time_t t = std::mktime(&tm);
    return FileTimeFromUnix(t == static_cast<time_t>(-1) ? 0 : t, 0);
}

std::string RarSafeRelativeName(const std::string& stored) {
    std::string out;
    for (const std::string& part : SafeParts(stored))
        out += (out.empty() ? "" : "/") + part;
    return out;
}

int ListRarSource(ByteSource& source, ArchiveSink& sink) {
    BlockReader reader(source);
    if (!reader.Open() || reader.Volume())
        return kRarFailed;
    FileHeader file;
    for (;;) {
        switch (reader.Next(file)) {
        case BlockStatus::End:
            return kRarOk;
        case BlockStatus::Corrupt:
            return kRarFailed;
        case BlockStatus::Other:
            break;
        case BlockStatus::File:
            if (!file.isDirectory)
                sink.AddEntry(file.name, RarDosTimeToFileTime(file.dosTime), file.unpSize);
            break;
        }
    }
}

int TestRarSource(ByteSource& source, const std::string& password, std::string& message) {
    BlockReader reader(source);
    if (!reader.Open() || reader.Volume()) {
        message = kInvalidArchive;
        return kRarFailed;
    }
    Unpacker unpacker;
    if (!unpacker.Valid()) {
        message = kInvalidArchive;
        return kRarFailed;
    }
    FileHeader file;
    for (;;) {
        const BlockStatus status = reader.Next(file);
        if (status == BlockStatus::End)
            return kRarOk;
        if (status == BlockStatus::Corrupt) {
            message = kInvalidArchive;
            return kRarFailed;
        }
        if (status == BlockStatus::Other || file.isDirectory)
            continue;
        if (!SupportedVersion(file) || (file.flags & kFileContinued)) {
            message = "Unsupported " + file.name;
            return kRarFailed;
        }
        std::unique_ptr<PackedCipher> cipher;
        if (file.flags & kFileEncrypted)
            cipher = MakePackedCipher(file.unpVer, password);
        const EntryResult r =
            DecodeEntry(source, file, unpacker, ContinuesState(file, reader.Solid()), cipher.get(),
                        [](const uint8_t*, size_t) { return true; });
        if (r != EntryResult::Ok) {
            message =
                (r == EntryResult::CrcError ? "CRC error in " : "Corrupt data in ") + file.name;
            return kRarFailed;
        }
    }
}

int ListRarArchive(const std::string& path, ArchiveSink& sink) {
    FileSource source(path);
    if (!source.IsOpen())
        return kRarFailed;
    return ListRarSource(source, sink);
}

int ExtractRarArchive(const std::string& path, const ArchiveExtractOptions& options,
                      ArchiveSink& sink, std::string& message, const RarPasswordPrompt& prompt) {
    message.clear();
    FileSource source(path);
    if (!source.IsOpen()) {
        message = kInvalidArchive;
        return kRarFailed;
    }
    Extraction extraction(source, options, sink, prompt, message);
    return extraction.Run();
}

} // namespace km::rar
