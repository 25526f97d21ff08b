#include "archive/cab/FdiErrors.h"

namespace km::cab {

const char* FdiErrorText(int code) {
    switch (code) {
    case FDIERROR_NONE:
        return "No error";
    case FDIERROR_CABINET_NOT_FOUND:
        return "Cabinet not found";
    case FDIERROR_NOT_A_CABINET:
        return "Not a cabinet";
    case FDIERROR_UNKNOWN_CABINET_VERSION:
        return "Unknown cabinet version";
    case FDIERROR_CORRUPT_CABINET:
        return "Corrupt cabinet";
    case FDIERROR_ALLOC_FAIL:
        return "Memory allocation failed";
    case FDIERROR_BAD_COMPR_TYPE:
        return "Unknown compression type";
    case FDIERROR_MDI_FAIL:
        return "Failure decompressing data";
    case FDIERROR_TARGET_FILE:
        return "Failure writing to target file";
    case FDIERROR_RESERVE_MISMATCH:
        return "Cabinets in set have different RESERVE sizes";
    case FDIERROR_WRONG_CABINET:
        return "Cabinet returned on fdintNEXT_CABINET is incorrect";
    case FDIERROR_USER_ABORT:
        return "User aborted";
    default:
        return "Unknown error";
    }
}

} // namespace km::cab
