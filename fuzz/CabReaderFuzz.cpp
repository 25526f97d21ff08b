// Runs the cabinet decompressor over arbitrary bytes held in memory: header, folder and file
// records, data blocks and every decoder, with each file's data counted and thrown away, and
// the name reduction the extraction applies. A next-cabinet request reopens the same bytes.
#include "archive/cab/CabReader.h"
#include "archive/cab/Fdi.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

const uint8_t* input = nullptr;
size_t inputSize = 0;
constexpr int kHandles = 8;
long positions[kHandles];
bool used[kHandles];
uint64_t written = 0;
int nextCabinetRequests = 0;

void* Allocate(size_t size) {
    return std::malloc(size);
}
void Release(void* p) {
    std::free(p);
}
km::cab::FdiHandle Open(const char*, int, int) {
    for (int i = 1; i < kHandles; ++i) {
        if (!used[i]) {
            used[i] = true;
            positions[i] = 0;
            return i;
        }
    }
    return -1;
}
unsigned Read(km::cab::FdiHandle hf, void* buffer, unsigned count) {
    const long pos = positions[hf];
    if (pos < 0 || static_cast<size_t>(pos) >= inputSize)
        return 0;
    const size_t n = std::min<size_t>(count, inputSize - static_cast<size_t>(pos));
    std::memcpy(buffer, input + pos, n);
    positions[hf] += static_cast<long>(n);
    return static_cast<unsigned>(n);
}
unsigned Write(km::cab::FdiHandle, const void*, unsigned count) {
    // Bounds the work a hostile cabinet can ask for.
    if (written > (8u << 20))
        return 0;
    written += count;
    return count;
}
int Close(km::cab::FdiHandle hf) {
    if (hf > 0 && hf < kHandles)
        used[hf] = false;
    return 0;
}
long Seek(km::cab::FdiHandle hf, long distance, int origin) {
    long base = origin == SEEK_SET   ? 0
                : origin == SEEK_CUR ? positions[hf]
                                     : static_cast<long>(inputSize);
    if (distance < 0 && -distance > base)
        return -1;
    positions[hf] = base + distance;
    return positions[hf];
}

intptr_t Notify(km::cab::FdiNotificationType type, km::cab::FdiNotification* n) {
    switch (type) {
    case km::cab::fdintCOPY_FILE:
        (void)km::cab::CabSafeRelativeName(n->psz1);
        return kHandles + 1;
    case km::cab::fdintCLOSE_FILE_INFO:
        return 1;
    case km::cab::fdintNEXT_CABINET:
        return ++nextCabinetRequests <= 2 ? 0 : -1;
    default:
        return 0;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    input = data;
    inputSize = size;
    written = 0;
    nextCabinetRequests = 0;
    std::memset(used, 0, sizeof used);
    km::cab::Erf erf;
    km::cab::FdiContext* context = km::cab::FDICreate(Allocate, Release, Open, Read, Write, Close,
                                                      Seek, km::cab::kFdiCpu80386, &erf);
    if (!context)
        return 0;
    const km::cab::FdiHandle hf = Open("input.cab", 0, 0);
    km::cab::FdiCabinetInfo info;
    const bool isCabinet = km::cab::FDIIsCabinet(context, hf, &info);
    Close(hf);
    if (isCabinet)
        km::cab::FDICopy(context, "input.cab", "", 0, Notify, nullptr, nullptr);
    km::cab::FDIDestroy(context);
    return 0;
}
