#include "archive/cab/Fdi.h"

#include "archive/cab/CabFolderReader.h"

#include "platform/NameMatch.h"
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <string>

namespace km::cab {

struct FdiContext {
    PfnFdiAlloc alloc;
    PfnFdiFree free;
    PfnFdiWrite write;
    FdiIo io;
    Erf* erf;
};

namespace {

bool Fail(FdiContext* context, int code) {
    if (context->erf) {
        context->erf->erfOper = code;
        context->erf->erfType = 0;
        context->erf->fError = code != FDIERROR_NONE;
    }
    return false;
}

// One FDICopy run: the first cabinet, any later cabinets a folder continues into, and the
// reader of the folder being extracted.
class CopyRun {
public:
    CopyRun(FdiContext& context, PfnFdiNotify notify, void* user, std::string path)
        : context_(context), notify_(notify), user_(user), path_(std::move(path)),
          reader_(context.io, [this](const CabinetImage& current, CabinetImage*& next) {
              return OpenNext(current, next);
          }) {}

    ~CopyRun() {
        for (auto& c : later_)
            context_.io.close(c->handle);
        if (first_.handle != -1)
            context_.io.close(first_.handle);
    }

    int Run(const std::string& name);

private:
    int OpenNext(const CabinetImage& current, CabinetImage*& next);
    int Extract(const CabFileRecord& file, FdiHandle hf);
    intptr_t Notify(FdiNotificationType type, FdiNotification& n) {
        n.pv = user_;
        return notify_(type, &n);
    }

    FdiContext& context_;
    PfnFdiNotify notify_;
    void* user_;
    std::string path_;
    CabinetImage first_;
    std::vector<std::unique_ptr<CabinetImage>> later_;
    CabFolderReader reader_;
    std::vector<uint8_t> buffer_;
};

int CopyRun::Run(const std::string& name) {
    const std::string full = path_ + name;
    const FdiHandle hf = context_.io.open(full.c_str(), O_RDONLY, 0);
    if (hf == -1)
        return FDIERROR_CABINET_NOT_FOUND;
    int rc = LoadCabinet(context_.io, hf, first_, true);
    if (rc != FDIERROR_NONE)
        return rc;

    std::string pathBuffer = path_;
    FdiNotification info;
    info.psz1 = first_.header.nextCabinet.c_str();
    info.psz2 = first_.header.nextDisk.c_str();
    info.psz3 = pathBuffer.data();
    info.setID = first_.header.setId;
    info.iCabinet = first_.header.cabinetIndex;
    if (Notify(fdintCABINET_INFO, info) == -1)
        return FDIERROR_USER_ABORT;

    for (const CabFileRecord& file : first_.files) {
        FdiNotification n;
        n.psz1 = file.name.c_str();
        n.date = file.date;
        n.time = file.time;
        n.attribs = file.attributes;
        n.iFolder = file.folder;
        if (file.folder == kFolderContinuedFromPrev || file.folder == kFolderContinuedPrevAndNext) {
            n.psz2 = first_.header.prevCabinet.c_str();
            n.psz3 = const_cast<char*>(first_.header.prevDisk.c_str());
            if (Notify(fdintPARTIAL_FILE, n) == -1)
                return FDIERROR_USER_ABORT;
            continue;
        }
        n.cb = file.size;
        const intptr_t answer = Notify(fdintCOPY_FILE, n);
        if (answer == -1)
            return FDIERROR_USER_ABORT;
        if (answer == 0)
            continue;
        rc = Extract(file, answer);
        if (rc != FDIERROR_NONE) {
            context_.io.close(answer);
            return rc;
        }
        FdiNotification closing = n;
        closing.cb = 0;
        closing.hf = answer;
        if (Notify(fdintCLOSE_FILE_INFO, closing) != 1)
            return FDIERROR_USER_ABORT;
    }
    return FDIERROR_NONE;
}

int CopyRun::Extract(const CabFileRecord& file, FdiHandle hf) {
    const size_t folder = FolderIndexOf(file, first_.header);
    if (!reader_.started() || reader_.firstCabinet() != &first_ ||
        reader_.firstFolder() != folder || reader_.position() > file.folderOffset) {
        const int rc = reader_.Start(&first_, folder);
        if (rc != FDIERROR_NONE)
            return rc;
    }
    int rc = reader_.Skip(file.folderOffset - reader_.position());
    if (rc != FDIERROR_NONE)
        return rc;
    buffer_.resize(kMaxBlockUncompressed);
    uint64_t left = file.size;
    while (left > 0) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(left, buffer_.size()));
        rc = reader_.Read(buffer_.data(), n);
        if (rc != FDIERROR_NONE)
            return rc;
        if (context_.write(hf, buffer_.data(), static_cast<unsigned>(n)) != n)
            return FDIERROR_TARGET_FILE;
        left -= n;
    }
    return FDIERROR_NONE;
}

int CopyRun::OpenNext(const CabinetImage& current, CabinetImage*& next) {
    // The callback may fix the path and try again; a few refusals end the copy.
    int lastError = FDIERROR_NONE;
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::string pathBuffer = path_;
        pathBuffer.resize(kFdiPathMax, '\0');
        FdiNotification n;
        n.psz1 = current.header.nextCabinet.c_str();
        n.psz2 = current.header.nextDisk.c_str();
        n.psz3 = pathBuffer.data();
        n.setID = current.header.setId;
        n.iCabinet = static_cast<uint16_t>(current.header.cabinetIndex + 1);
        n.fdie = lastError;
        if (Notify(fdintNEXT_CABINET, n) == -1)
            return FDIERROR_USER_ABORT;
        pathBuffer[kFdiPathMax - 1] = '\0';
        path_ = pathBuffer.c_str();

        // The set may have been copied with other letter case than its headers name.
        const std::string full = MatchPathIgnoringCase(path_ + current.header.nextCabinet);
        const FdiHandle hf = context_.io.open(full.c_str(), O_RDONLY, 0);
        if (hf == -1) {
            lastError = FDIERROR_CABINET_NOT_FOUND;
            continue;
        }
        auto image = std::make_unique<CabinetImage>();
        const int rc = LoadCabinet(context_.io, hf, *image, true);
        if (rc != FDIERROR_NONE) {
            context_.io.close(hf);
            lastError = rc;
            continue;
        }
        const CabHeader& h = image->header;
        if (h.setId != current.header.setId || h.cabinetIndex != current.header.cabinetIndex + 1) {
            context_.io.close(hf);
            lastError = FDIERROR_WRONG_CABINET;
            continue;
        }
        if (h.folderReserve != current.header.folderReserve ||
            h.dataReserve != current.header.dataReserve) {
            context_.io.close(hf);
            return FDIERROR_RESERVE_MISMATCH;
        }
        later_.push_back(std::move(image));
        next = later_.back().get();
        return FDIERROR_NONE;
    }
    return lastError;
}

} // namespace

FdiContext* FDICreate(PfnFdiAlloc alloc, PfnFdiFree free, PfnFdiOpen open, PfnFdiRead read,
                      PfnFdiWrite write, PfnFdiClose close, PfnFdiSeek seek, int, Erf* erf) {
    if (erf)
        *erf = Erf{};
    if (!alloc || !free || !open || !read || !write || !close || !seek) {
        if (erf)
            *erf = Erf{FDIERROR_ALLOC_FAIL, 0, true};
        return nullptr;
    }
    void* memory = alloc(sizeof(FdiContext));
    if (!memory) {
        if (erf)
            *erf = Erf{FDIERROR_ALLOC_FAIL, 0, true};
        return nullptr;
    }
    return new (memory) FdiContext{alloc, free, write, FdiIo{open, read, close, seek}, erf};
}

bool FDIIsCabinet(FdiContext* context, FdiHandle hf, FdiCabinetInfo* info) {
    if (!context)
        return false;
    try {
        CabinetImage image;
        const int rc = LoadCabinet(context->io, hf, image, false);
        if (rc != FDIERROR_NONE)
            return Fail(context, rc);
        if (info) {
            const CabHeader& h = image.header;
            info->cbCabinet = h.cabinetSize;
            info->cFolders = h.folderCount;
            info->cFiles = h.fileCount;
            info->setID = h.setId;
            info->iCabinet = h.cabinetIndex;
            info->fReserve = (h.flags & kFlagReservePresent) != 0;
            info->hasprev = (h.flags & kFlagPrevCabinet) != 0;
            info->hasnext = (h.flags & kFlagNextCabinet) != 0;
        }
        return true;
    } catch (const std::bad_alloc&) {
        return Fail(context, FDIERROR_ALLOC_FAIL);
    }
}

bool FDICopy(FdiContext* context, const char* cabinetName, const char* cabinetPath, int,
             PfnFdiNotify notify, void*, void* user) {
    if (!context)
        return false;
    if (!cabinetName || !cabinetPath || !notify)
        return Fail(context, FDIERROR_CABINET_NOT_FOUND);
    int rc;
    try {
        CopyRun run(*context, notify, user, cabinetPath);
        rc = run.Run(cabinetName);
    } catch (const std::bad_alloc&) {
        rc = FDIERROR_ALLOC_FAIL;
    } catch (const std::length_error&) {
        rc = FDIERROR_ALLOC_FAIL;
    }
    if (rc != FDIERROR_NONE)
        return Fail(context, rc);
    Fail(context, FDIERROR_NONE);
    return true;
}

bool FDIDestroy(FdiContext* context) {
    if (!context)
        return false;
    PfnFdiFree free = context->free;
    context->~FdiContext();
    free(context);
    return true;
}

} // namespace km::cab
