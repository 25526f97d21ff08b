#include "panels/DriveItems.h"

#include "panels/CellText.h"
#include "resources/StringTable.h"
#include "ui_services/FormatThousands.h"

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

std::string DriveInfoText(const DiskSpace& space) {
    return PadLine(FormatThousands(space.total) + std::string(LoadString(4213)) +
                   FormatThousands(space.free) + std::string(LoadString(4214)));
}

} // namespace km
