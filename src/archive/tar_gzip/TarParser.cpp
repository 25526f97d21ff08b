#include "archive/tar_gzip/TarParser.h"

#include <algorithm>
#include <cstring>

namespace km::tar {

namespace {

// Long names and pax headers are held in memory; real ones are a few hundred bytes.
constexpr uint64_t kMaxMetaSize = 1u << 20;
// A sparse map in the data (one line per number) may be longer.
constexpr uint64_t kMaxMapText = 16u << 20;

uint32_t PaddingOf(uint64_t size) {
    return static_cast<uint32_t>((kTarBlockSize - size % kTarBlockSize) % kTarBlockSize);
}

} // namespace

bool TarEntryHandler::Hole(uint64_t length) {
    static const uint8_t kZeros[64 * 1024] = {};
    while (length > 0) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(length, sizeof kZeros));
        if (!Data(kZeros, n))
            return false;
        length -= n;
    }
    return true;
}

TarStatus TarParser::Feed(const uint8_t* data, size_t size) {
    while (size > 0 && status_ == TarStatus::More) {
        size_t used = 0;
        switch (state_) {
        case State::Header:
        case State::Extension:
            used = std::min(size, kTarBlockSize - filled_);
            std::memcpy(block_ + filled_, data, used);
            filled_ += used;
            if (filled_ == kTarBlockSize) {
                filled_ = 0;
                if (state_ == State::Header)
                    HandleHeader();
                else
                    HandleExtension();
            }
            break;
        case State::SparseMapText:
            used = static_cast<size_t>(std::min<uint64_t>(
                {size, remaining_, kTarBlockSize - metaData_.size() % kTarBlockSize}));
            remaining_ -= used;
            HandleSparseMapText(data, used);
            break;
        case State::Data:
            used = static_cast<size_t>(std::min<uint64_t>(size, remaining_));
            remaining_ -= used;
            if (receiving_ &&
                !(entry_.sparse ? DeliverSparse(data, used) : handler_.Data(data, used))) {
                status_ = TarStatus::Stopped;
                break;
            }
            if (remaining_ == 0)
                EndOfData();
            break;
        case State::Meta:
            used = static_cast<size_t>(std::min<uint64_t>(size, remaining_));
            metaData_.insert(metaData_.end(), data, data + used);
            remaining_ -= used;
            if (remaining_ == 0)
                EndOfData();
            break;
        case State::Padding:
            used = std::min<size_t>(size, padding_);
            padding_ -= static_cast<uint32_t>(used);
            if (padding_ == 0)
                state_ = State::Header;
            break;
        }
        data += used;
        size -= used;
    }
    return status_;
}

TarStatus TarParser::Finish() {
    if (status_ != TarStatus::More)
        return status_;
    // Without any header this is no archive; a partial block is a truncated one unless
    // it is where the end marker starts.
    const bool atBoundary = state_ == State::Header && (filled_ == 0 || block_[0] == 0);
    status_ = atBoundary && seenHeader_ ? TarStatus::Ended : TarStatus::Invalid;
    return status_;
}

void TarParser::HandleHeader() {
    if (block_[0] == 0) {
        // The first block must be a real header or the zero block of an empty archive.
        status_ = seenHeader_ || IsZeroBlock(block_) ? TarStatus::Ended : TarStatus::Invalid;
        seenHeader_ = true;
        return;
    }
    if (!TarChecksumMatches(block_)) {
        // Past a damaged header nothing can be trusted, the sizes included.
        status_ = TarStatus::Invalid;
        return;
    }
    seenHeader_ = true;
    const TarHeader header = ParseTarHeader(block_);
    if (!header.numbersValid) {
        // A size that is no number leaves the next header's place unknown, as above.
        status_ = TarStatus::Invalid;
        return;
    }
    padding_ = PaddingOf(header.size);
    remaining_ = header.size;
    receiving_ = false;

    switch (header.typeFlag) {
    case 'L': // GNU long name of the next entry
    case 'K': // GNU long link target of the next entry
    case 'x': // pax header of the next entry
        if (header.size > kMaxMetaSize) {
            status_ = TarStatus::Invalid;
            return;
        }
        meta_ = header.typeFlag == 'L'   ? Meta::LongName
                : header.typeFlag == 'K' ? Meta::LongLink
                                         : Meta::Pax;
        metaData_.clear();
        state_ = State::Meta;
        if (remaining_ == 0)
            EndOfData();
        return;
    case 'g': // pax global header: nothing in it is used
    case 'V': // GNU volume label
        SkipData();
        return;
    default:
        break;
    }

    TarEntry& entry = entry_;
    entry = TarEntry{};
    entry.name = header.name;
    entry.size = header.size;
    entry.mtime = header.mtime;
    entry.typeFlag = header.typeFlag;
    entry.mode = header.mode;
    entry.linkName = header.linkName;
    if (!longName_.empty())
        entry.name = longName_;
    if (!longLink_.empty())
        entry.linkName = longLink_;
    if (pax_.path)
        entry.name = *pax_.path;
    if (pax_.linkPath)
        entry.linkName = *pax_.linkPath;
    if (pax_.size) {
        entry.size = *pax_.size;
        remaining_ = entry.size;
        padding_ = PaddingOf(entry.size);
    }
    if (pax_.mtime) {
        entry.mtime = *pax_.mtime;
        entry.mtimeNanoseconds = pax_.mtimeNanoseconds;
    }
    const PaxValues pax = std::move(pax_);
    longName_.clear();
    longLink_.clear();
    pax_ = PaxValues{};
    meta_ = Meta::None;
    sparse_.clear();

    if (header.typeFlag == 'S') {
        entry.sparse = true;
        entry.size = header.realSize;
        sparse_ = header.sparse;
        if (header.sparseExtended) {
            state_ = State::Extension;
            return;
        }
    } else if (pax.sparseRealSize && (entry.IsFile() || pax.sparseMajor >= 0)) {
        entry.sparse = true;
        entry.size = *pax.sparseRealSize;
        if (pax.sparseName)
            entry.name = *pax.sparseName;
        if (pax.sparseMajor == 1) {
            // The map opens the data.
            metaData_.clear();
            state_ = remaining_ > 0 ? State::SparseMapText : State::Data;
            if (remaining_ == 0)
                status_ = TarStatus::Invalid;
            return;
        }
        if (!pax.sparseMapGiven) {
            status_ = TarStatus::Invalid;
            return;
        }
        sparse_ = pax.sparseMap;
    }
    BeginEntry();
}

void TarParser::HandleExtension() {
    if (!ParseSparseExtension(block_, sparse_))
        BeginEntry();
}

void TarParser::HandleSparseMapText(const uint8_t* data, size_t size) {
    metaData_.insert(metaData_.end(), data, data + size);
    // The map is read block by block: it ends at a block boundary.
    if (metaData_.size() % kTarBlockSize != 0 && remaining_ > 0)
        return;
    size_t length = 0;
    switch (ParseSparseMapText(metaData_.data(), metaData_.size(), sparse_, length)) {
    case SparseMapResult::Complete:
        metaData_.clear();
        BeginEntry();
        return;
    case SparseMapResult::NeedMore:
        if (remaining_ > 0 && metaData_.size() < kMaxMapText)
            return;
        [[fallthrough]];
    case SparseMapResult::Invalid:
        status_ = TarStatus::Invalid;
        return;
    }
}

void TarParser::BeginEntry() {
    TarEntry& entry = entry_;
    if (entry.sparse && !SparseMapFits(sparse_, entry.size, remaining_)) {
        status_ = TarStatus::Invalid;
        return;
    }
    chunk_ = 0;
    position_ = 0;
    state_ = State::Data;
    const TarAction action = handler_.Begin(entry);
    if (action == TarAction::Stop) {
        status_ = TarStatus::Stopped;
        return;
    }
    receiving_ = action == TarAction::Receive;
    if (remaining_ == 0)
        EndOfData();
}

bool TarParser::DeliverSparse(const uint8_t* data, size_t size) {
    while (size > 0) {
        // SparseMapFits made sure the stored bytes end with the last chunk.
        if (chunk_ >= sparse_.size())
            return false;
        const SparseChunk& c = sparse_[chunk_];
        if (position_ < c.offset) {
            if (!handler_.Hole(c.offset - position_))
                return false;
            position_ = c.offset;
        }
        const size_t take = static_cast<size_t>(std::min<uint64_t>(size, c.offset + c.size - position_));
        if (take > 0 && !handler_.Data(data, take))
            return false;
        position_ += take;
        data += take;
        size -= take;
        if (position_ == c.offset + c.size)
            ++chunk_;
    }
    return true;
}

void TarParser::SkipData() {
    meta_ = Meta::None;
    state_ = State::Data;
    if (remaining_ == 0)
        EndOfData();
}

void TarParser::EndOfData() {
    if (meta_ == Meta::LongName || meta_ == Meta::LongLink) {
        const auto zero = std::find(metaData_.begin(), metaData_.end(), uint8_t{0});
        (meta_ == Meta::LongName ? longName_ : longLink_).assign(metaData_.begin(), zero);
    } else if (meta_ == Meta::Pax) {
        // A malformed pax header keeps what could be read; the ustar fields still apply.
        ParsePaxRecords(metaData_.data(), metaData_.size(), pax_);
    }
    meta_ = Meta::None;
    metaData_.clear();
    state_ = padding_ ? State::Padding : State::Header;
    if (receiving_) {
        receiving_ = false;
        // A sparse file may end in a hole.
        const bool ok = !entry_.sparse || position_ >= entry_.size ||
                        handler_.Hole(entry_.size - position_);
        if (!ok || !handler_.End())
            status_ = TarStatus::Stopped;
    }
}

} // namespace km::tar
