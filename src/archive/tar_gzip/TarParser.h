#pragma once
// The TAR reader as a state machine over pieces of input of any size: header, data,
// padding to the block boundary, and the GNU long-name and pax headers that qualify the
// entry after them. What happens to an entry is up to the handler.
#include "archive/tar_gzip/TarHeader.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace km::tar {

struct TarEntry {
    std::string name; // as stored (long name or pax path when given), separators kept
    uint64_t size = 0;     // the file's length (a sparse file's with its holes)
    bool sizeKnown = true; // false: the length is known only when the data has ended
    int64_t mtime = -1;
    long mtimeNanoseconds = 0;
    char typeFlag = '0';
    int mode = -1;        // permission bits as stored; -1: none
    std::string linkName; // '1': an earlier entry's name; '2': the link's text
    bool sparse = false;  // the data comes with holes (TarEntryHandler::Hole)

    bool IsHardLink() const { return typeFlag == '1'; }
    bool IsSymlink() const { return typeFlag == '2'; }
    bool IsDirectory() const { return typeFlag == '5' || (!name.empty() && name.back() == '/'); }
    // Plain files: '0', the old zero flag, contiguous files ('7') and old GNU sparse ones.
    bool IsFile() const {
        return !IsDirectory() &&
               (typeFlag == '0' || typeFlag == '\0' || typeFlag == '7' || typeFlag == 'S');
    }
};

enum class TarAction { Skip, Receive, Stop };

class TarEntryHandler {
public:
    virtual ~TarEntryHandler() = default;
    // A header was read. Receive: the data follows through Data() and then End().
    virtual TarAction Begin(const TarEntry& entry) = 0;
    // A piece of the received entry's data; false stops the reader.
    virtual bool Data(const uint8_t* data, size_t size) = 0;
    // A hole of a sparse entry: `length` zero bytes at this point of the data.
    // By default they are handed on as data.
    virtual bool Hole(uint64_t length);
    // The received entry's data is complete; false stops the reader.
    virtual bool End() = 0;
};

enum class TarStatus {
    More,    // waiting for input
    Ended,   // the end-of-archive block was read
    Stopped, // the handler stopped the reader
    Invalid, // bad header or truncated input
};

class TarParser {
public:
    explicit TarParser(TarEntryHandler& handler) : handler_(handler) {}

    // Takes the next piece of the archive.
    TarStatus Feed(const uint8_t* data, size_t size);
    // The input has ended. An archive may end at a header boundary without its zero
    // blocks; anywhere else it is truncated.
    TarStatus Finish();

    TarStatus status() const { return status_; }

private:
    enum class State { Header, Extension, SparseMapText, Data, Meta, Padding };
    enum class Meta { None, LongName, LongLink, Pax };

    void HandleHeader();
    void HandleExtension();
    void HandleSparseMapText(const uint8_t* data, size_t size);
    // The entry's header (and map) are complete: the handler hears of it.
    void BeginEntry();
    bool DeliverSparse(const uint8_t* data, size_t size);
    void EndOfData();
    // An entry of any kind whose data is only read past.
    void SkipData();

    TarEntryHandler& handler_;
    TarStatus status_ = TarStatus::More;
    State state_ = State::Header;
    uint8_t block_[kTarBlockSize];
    size_t filled_ = 0;
    bool seenHeader_ = false;
    uint64_t remaining_ = 0; // data bytes of the current entry still to come
    uint32_t padding_ = 0;   // bytes up to the next block boundary
    bool receiving_ = false;
    Meta meta_ = Meta::None;
    std::vector<uint8_t> metaData_;
    std::string longName_;
    std::string longLink_;
    PaxValues pax_;

    TarEntry entry_; // between its header and BeginEntry
    // The data of a sparse entry: its chunks, the next one, the position in the file.
    SparseMap sparse_;
    size_t chunk_ = 0;
    uint64_t position_ = 0;
};

} // namespace km::tar
