#include "panels/DriveItems.h"

#include "panels/CellText.h"
#include "resources/StringTable.h"
#include "ui_services/FormatThousands.h"

#include <iterator>

namespace km {

std::string DriveItemText(const Volume& v) {
    std::string text = "[-" + v.mountPoint + "-]";
    switch (v.type) {
    case VolumeType::Removable: text += " Removable"; break;
    case VolumeType::Fixed:
        if (!v.label.empty())
            text += " " + v.label;
        break;
    case VolumeType::Remote:
        // A share the desktop mounted has a name users know it by.
        if (!v.label.empty())
            text += " " + v.label;
        else
            text += (v.source.empty() || v.source == "none") ? std::string(LoadString(4222)) : " " + v.source;
        break;
    case VolumeType::CdRom: text += v.label.empty() ? std::string(" CD-ROM") : " " + v.label; break;
    case VolumeType::Other: break;
    }
    return text;
}

namespace {

// At least 100 of the largest unit (powers of 1000, as the desktop's file
// managers count), rounded down: free space is never overstated.
std::string compactSize(uint64_t bytes) {
    static constexpr const char* kUnits[] = {" bytes", " kB", " MB", " GB", " TB", " PB", " EB"};
    size_t unit = 0;
    uint64_t scale = 1;
    while (unit + 1 < std::size(kUnits) && bytes / (scale * 1000) >= 100) {
        scale *= 1000;
        ++unit;
    }
    return FormatThousands(bytes / scale) + kUnits[unit];
}

} // namespace

std::string DriveInfoShortText(const DiskSpace& space) {
    return compactSize(space.total) + std::string(LoadString(4213)) + compactSize(space.free) +
           std::string(LoadString(4214));
}

std::string DriveInfoText(const DiskSpace& space) {
    return PadLine(FormatThousands(space.total) + std::string(LoadString(4213)) +
                   FormatThousands(space.free) + std::string(LoadString(4214)));
}

} // namespace km
