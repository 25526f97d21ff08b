#pragma once
// The cabinet decompressor, with the calls and notifications of the published cabinet SDK's
// FDI: the caller supplies memory and file functions on numeric handles, and a notification
// callback that decides, file by file, where the data goes.
#include "archive/cab/FdiErrors.h"

#include <cstddef>
#include <cstdint>

namespace km::cab {

using FdiHandle = intptr_t;
using PfnFdiAlloc = void* (*)(size_t size);
using PfnFdiFree = void (*)(void* memory);
using PfnFdiOpen = FdiHandle (*)(const char* name, int flags, int mode);
using PfnFdiRead = unsigned (*)(FdiHandle hf, void* buffer, unsigned count);
using PfnFdiWrite = unsigned (*)(FdiHandle hf, const void* buffer, unsigned count);
using PfnFdiClose = int (*)(FdiHandle hf);
using PfnFdiSeek = long (*)(FdiHandle hf, long distance, int origin);

constexpr int kFdiCpu80386 = 1;
// The size of the path buffer a next-cabinet notification may rewrite.
constexpr size_t kFdiPathMax = 1024;

// The error record: operation code (an FdiError), type (a system error number) and flag.
struct Erf {
    int erfOper = 0;
    int erfType = 0;
    bool fError = false;
};

struct FdiCabinetInfo {
    uint32_t cbCabinet = 0;
    uint16_t cFolders = 0;
    uint16_t cFiles = 0;
    uint16_t setID = 0;
    uint16_t iCabinet = 0;
    bool fReserve = false;
    bool hasprev = false;
    bool hasnext = false;
};

enum FdiNotificationType {
    fdintCABINET_INFO = 0,
    fdintPARTIAL_FILE = 1,
    fdintCOPY_FILE = 2,
    fdintCLOSE_FILE_INFO = 3,
    fdintNEXT_CABINET = 4,
    fdintENUMERATE = 5,
};

// Fields by notification:
//  CABINET_INFO   psz1 next cabinet, psz2 next disk, psz3 cabinet path, setID, iCabinet
//  PARTIAL_FILE   psz1 file name, psz2 first cabinet of the file, psz3 its disk
//  COPY_FILE      psz1 file name, cb size, date, time, attribs, iFolder;
//                 answer 0 to skip, -1 to abort, or the handle the data is written to
//  CLOSE_FILE_INFO psz1 file name, hf, date, time, attribs; answer 1 to go on
//  NEXT_CABINET   psz1 next cabinet name, psz2 its disk, psz3 the cabinet path (a buffer of
//                 kFdiPathMax bytes the callback may rewrite), fdie the error of the last try;
//                 answer 0 to have it opened, -1 to abort
struct FdiNotification {
    uint32_t cb = 0;
    const char* psz1 = "";
    const char* psz2 = "";
    char* psz3 = nullptr;
    void* pv = nullptr; // the caller's data from FDICopy
    FdiHandle hf = 0;
    uint16_t date = 0;
    uint16_t time = 0;
    uint16_t attribs = 0;
    uint16_t setID = 0;
    uint16_t iCabinet = 0;
    uint16_t iFolder = 0;
    int fdie = FDIERROR_NONE;
};

using PfnFdiNotify = intptr_t (*)(FdiNotificationType type, FdiNotification* notification);

struct FdiContext;

// Null when the context cannot be made (the error record says why).
FdiContext* FDICreate(PfnFdiAlloc alloc, PfnFdiFree free, PfnFdiOpen open, PfnFdiRead read,
                      PfnFdiWrite write, PfnFdiClose close, PfnFdiSeek seek, int cpuType, Erf* erf);

// Whether the open file `hf` is a cabinet; fills `info` when it is.
bool FDIIsCabinet(FdiContext* context, FdiHandle hf, FdiCabinetInfo* info);

// Extracts through `notify` from the cabinet `cabinetPath` + `cabinetName`. On failure the
// context's error record holds the code; a file being written when the failure came is closed
// through the close function without a CLOSE_FILE_INFO notification.
bool FDICopy(FdiContext* context, const char* cabinetName, const char* cabinetPath, int flags,
             PfnFdiNotify notify, void* decrypt, void* user);

bool FDIDestroy(FdiContext* context);

} // namespace km::cab
