#include "archive/cab/CabFolderReader.h"

#include "archive/cab/CabChecksum.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace km::cab {

bool ReadAt(const FdiIo& io, FdiHandle hf, uint64_t offset, uint8_t* buffer, size_t count) {
    if (offset > static_cast<uint64_t>(INT64_MAX) ||
        io.seek(hf, static_cast<long>(offset), SEEK_SET) != static_cast<long>(offset))
        return false;
    while (count > 0) {
        const unsigned chunk = static_cast<unsigned>(std::min<size_t>(count, 1u << 20));
        const unsigned got = io.read(hf, buffer, chunk);
        if (got == 0 || got == static_cast<unsigned>(-1) || got > chunk)
            return false;
        buffer += got;
        count -= got;
    }
    return true;
}

int LoadCabinet(const FdiIo& io, FdiHandle hf, CabinetImage& out, bool directory) {
    const long end = io.seek(hf, 0, SEEK_END);
    if (end < 0)
        return FDIERROR_NOT_A_CABINET;
    out.handle = hf;
    out.fileSize = static_cast<uint64_t>(end);
    // The variable header is at most the reserve area and four 256-byte names long.
    const size_t headerSpan = kCabFixedHeaderSize + 4 + 65535 + 4 * 256;
    std::vector<uint8_t> bytes(static_cast<size_t>(std::min<uint64_t>(out.fileSize, headerSpan)));
    if (!ReadAt(io, hf, 0, bytes.data(), bytes.size()))
        return FDIERROR_NOT_A_CABINET;
    int rc = ParseCabHeader(bytes.data(), bytes.size(), out.header);
    if (rc != FDIERROR_NONE || !directory)
        return rc;

    const CabHeader& h = out.header;
    const uint64_t foldersEnd =
        h.foldersOffset + static_cast<uint64_t>(h.folderCount) * (8u + h.folderReserve);
    const uint64_t filesEnd = static_cast<uint64_t>(h.filesOffset) + h.fileCount * (16u + 256u);
    const uint64_t want = std::min<uint64_t>(out.fileSize, std::max(foldersEnd, filesEnd));
    if (want > bytes.size()) {
        bytes.resize(static_cast<size_t>(want));
        if (!ReadAt(io, hf, 0, bytes.data(), bytes.size()))
            return FDIERROR_CORRUPT_CABINET;
    }
    return ParseCabDirectory(bytes.data(), bytes.size(), h, out.folders, out.files);
}

int CabFolderReader::Start(CabinetImage* cabinet, size_t folder) {
    cabinet_ = nullptr;
    decoder_.reset();
    if (folder >= cabinet->folders.size())
        return FDIERROR_CORRUPT_CABINET;
    const CabFolder& f = cabinet->folders[folder];
    int rc = FDIERROR_NONE;
    decoder_ = MakeCabDecoder(f.compression, rc);
    if (!decoder_)
        return rc;
    firstCabinet_ = cabinet_ = cabinet;
    firstFolder_ = folder_ = folder;
    compression_ = f.compression;
    block_ = 0;
    blockOffset_ = f.dataOffset;
    output_.clear();
    outputPos_ = 0;
    position_ = 0;
    return FDIERROR_NONE;
}

int CabFolderReader::LoadBlock() {
    input_.clear();
    for (;;) {
        const CabFolder* folder = &cabinet_->folders[folder_];
        if (block_ >= folder->blockCount) {
            // Only the last folder of a cabinet goes on in the next one.
            const bool continues = (cabinet_->header.flags & kFlagNextCabinet) &&
                                   folder_ + 1 == cabinet_->folders.size();
            if (!continues)
                return FDIERROR_CORRUPT_CABINET;
            CabinetImage* next = nullptr;
            const int rc = next_ ? next_(*cabinet_, next) : FDIERROR_CORRUPT_CABINET;
            if (rc != FDIERROR_NONE)
                return rc;
            if (next->folders.empty() || next->folders[0].compression != compression_)
                return FDIERROR_WRONG_CABINET;
            cabinet_ = next;
            folder_ = 0;
            block_ = 0;
            blockOffset_ = next->folders[0].dataOffset;
            continue;
        }

        const size_t headerSize = 8 + static_cast<size_t>(cabinet_->header.dataReserve);
        uint8_t header[8 + 255];
        if (!ReadAt(io_, cabinet_->handle, blockOffset_, header, headerSize))
            return FDIERROR_CORRUPT_CABINET;
        const CabDataHeader dh = ParseDataHeader(header);
        const size_t start = input_.size();
        input_.resize(start + dh.compressedSize);
        if (!ReadAt(io_, cabinet_->handle, blockOffset_ + headerSize, input_.data() + start,
                    dh.compressedSize))
            return FDIERROR_CORRUPT_CABINET;
        if (dh.checksum != 0 &&
            CabDataBlockChecksum(header, input_.data() + start, dh.compressedSize) != dh.checksum)
            return FDIERROR_CORRUPT_CABINET;
        blockOffset_ += headerSize + dh.compressedSize;
        ++block_;
        if (dh.uncompressedSize == 0) {
            // A block split across cabinets: its rest starts the next cabinet's first folder.
            const bool lastOfCabinet = block_ == folder->blockCount &&
                                       folder_ + 1 == cabinet_->folders.size() &&
                                       (cabinet_->header.flags & kFlagNextCabinet);
            if (!lastOfCabinet || dh.compressedSize == 0)
                return FDIERROR_CORRUPT_CABINET;
            continue;
        }
        if (dh.uncompressedSize > kMaxBlockUncompressed)
            return FDIERROR_CORRUPT_CABINET;
        output_.resize(dh.uncompressedSize);
        if (!decoder_->DecodeBlock(input_.data(), input_.size(), output_.data(), output_.size()))
            return FDIERROR_MDI_FAIL;
        outputPos_ = 0;
        return FDIERROR_NONE;
    }
}

int CabFolderReader::Skip(uint64_t count) {
    while (count > 0) {
        if (outputPos_ == output_.size()) {
            const int rc = LoadBlock();
            if (rc != FDIERROR_NONE)
                return rc;
        }
        const size_t n =
            static_cast<size_t>(std::min<uint64_t>(count, output_.size() - outputPos_));
        outputPos_ += n;
        position_ += n;
        count -= n;
    }
    return FDIERROR_NONE;
}

int CabFolderReader::Read(uint8_t* out, size_t count) {
    while (count > 0) {
        if (outputPos_ == output_.size()) {
            const int rc = LoadBlock();
            if (rc != FDIERROR_NONE)
                return rc;
        }
        const size_t n = std::min(count, output_.size() - outputPos_);
        std::memcpy(out, output_.data() + outputPos_, n);
        outputPos_ += n;
        position_ += n;
        out += n;
        count -= n;
    }
    return FDIERROR_NONE;
}

} // namespace km::cab
