#pragma once
// Reads the uncompressed stream of one folder: its data blocks in order, checked and decoded,
// continuing into the next cabinet of a set when the folder goes on there.
#include "archive/cab/CabDecoder.h"
#include "archive/cab/CabFormat.h"
#include "archive/cab/Fdi.h"

#include <functional>
#include <memory>
#include <vector>

namespace km::cab {

struct FdiIo {
    PfnFdiOpen open = nullptr;
    PfnFdiRead read = nullptr;
    PfnFdiClose close = nullptr;
    PfnFdiSeek seek = nullptr;
};

// One open cabinet with its directory.
struct CabinetImage {
    FdiHandle handle = -1;
    uint64_t fileSize = 0;
    CabHeader header;
    std::vector<CabFolder> folders;
    std::vector<CabFileRecord> files;
};

// Reads `count` bytes at `offset`; false on a short read.
bool ReadAt(const FdiIo& io, FdiHandle hf, uint64_t offset, uint8_t* buffer, size_t count);

// Reads and parses the header (and with `directory` the folders and files) of an open file.
int LoadCabinet(const FdiIo& io, FdiHandle hf, CabinetImage& out, bool directory);

class CabFolderReader {
public:
    // Supplies the next cabinet of the set, or an FDI error code.
    using NextCabinet = std::function<int(const CabinetImage& current, CabinetImage*& next)>;

    CabFolderReader(const FdiIo& io, NextCabinet next) : io_(io), next_(std::move(next)) {}

    int Start(CabinetImage* cabinet, size_t folder);
    int Skip(uint64_t count);
    // Fills `out` with `count` bytes of the stream.
    int Read(uint8_t* out, size_t count);

    bool started() const { return cabinet_ != nullptr; }
    CabinetImage* firstCabinet() const { return firstCabinet_; }
    size_t firstFolder() const { return firstFolder_; }
    uint64_t position() const { return position_; }

private:
    int LoadBlock();

    FdiIo io_;
    NextCabinet next_;
    CabinetImage* firstCabinet_ = nullptr;
    size_t firstFolder_ = 0;
    CabinetImage* cabinet_ = nullptr;
    size_t folder_ = 0;
    unsigned block_ = 0;
    uint64_t blockOffset_ = 0;
    uint16_t compression_ = 0;
    std::unique_ptr<CabDecoder> decoder_;
    std::vector<uint8_t> input_;
    std::vector<uint8_t> output_;
    size_t outputPos_ = 0;
    uint64_t position_ = 0;
};

} // namespace km::cab
