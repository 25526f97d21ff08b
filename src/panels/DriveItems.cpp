#include "panels/DriveItems.h"

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
        text += (v.source.empty() || v.source == "none") ? std::string(LoadString(4222)) : " " + v.source;
        break;
    case VolumeType::CdRom: text += v.label.empty() ? std::string(" CD-ROM") : " " + v.label; break;
    case VolumeType::Other: break;
    }
    return text;
}

std::string DriveInfoText(const DiskSpace& space) {
    std::string text = FormatThousands(space.total) + std::string(LoadString(4213)) +
                       FormatThousands(space.free) + std::string(LoadString(4214));
    if (text.size() < 120)
        text.resize(120, ' ');
    return text;
}

} // namespace km
