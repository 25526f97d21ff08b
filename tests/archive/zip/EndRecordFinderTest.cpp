#include "archive/zip/EndRecordFinder.h"

#include "archive/zip/ZipBytes.h"

#include <gtest/gtest.h>
#include <string>

namespace km::zip {
namespace {

std::string Record(uint16_t commentLength, uint32_t cdOffset) {
    std::string r(22, '\0');
    auto* p = reinterpret_cast<uint8_t*>(r.data());
    PutLe32(p, kEndRecordSig);
    PutLe32(p + 16, cdOffset);
    PutLe16(p + 20, commentLength);
    return r;
}

EndSearchResult Find(const std::string& bytes, EndRecord* r, uint64_t window = 0) {
    ZipMemoryAccess in(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return FindEndRecord(in, window, r);
}

TEST(EndRecordFinder, TheRecordEndingAtTheEndWinsOverCommentText) {
    // The comment holds a record of its own whose comment would run past the end.
    const std::string inner = Record(500, 7);
    const std::string comment = inner + "more";
    const std::string bytes =
        std::string(40000, 'x') + Record(static_cast<uint16_t>(comment.size()), 1) + comment;
    EndRecord r;
    ASSERT_EQ(Find(bytes, &r), EndSearchResult::Found);
    EXPECT_EQ(r.position, 40000u);
    EXPECT_EQ(r.centralOffset, 1u);
    EXPECT_TRUE(r.endsAtEnd);
}

TEST(EndRecordFinder, SignaturesAcrossBlockBoundariesAndFallback) {
    // 16 KiB blocks overlap so a record straddling a boundary is still found.
    for (size_t tail = 16384 - 25; tail < 16384 + 5; ++tail) {
        const std::string bytes = std::string(70000, 'y') + Record(static_cast<uint16_t>(tail), 3) +
                                  std::string(tail, 'c');
        EndRecord r;
        ASSERT_EQ(Find(bytes, &r), EndSearchResult::Found) << tail;
        EXPECT_EQ(r.position, 70000u) << tail;
    }
    // No record ends at the end: the last one found (furthest to the front) is used.
    const std::string bytes = Record(0, 1) + "junk" + Record(0, 2) + "trailing";
    EndRecord r;
    ASSERT_EQ(Find(bytes, &r), EndSearchResult::Found);
    EXPECT_EQ(r.centralOffset, 1u);
    EXPECT_FALSE(r.endsAtEnd);
    // A signature in the last 21 bytes cannot be a record.
    EXPECT_EQ(Find("abc" + Record(0, 0).substr(0, 10), &r), EndSearchResult::NotFound);
    // Outside the search window it is not seen.
    EXPECT_EQ(Find(Record(0, 0) + std::string(80000, 'z'), &r, 70000), EndSearchResult::NotFound);
}

} // namespace
} // namespace km::zip
