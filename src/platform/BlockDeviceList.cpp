#include "platform/BlockDeviceList.h"

#include "fileops/open_execute/ProcessLauncher.h"

#include <algorithm>
#include <cstring>

namespace km {

std::vector<BlockDevice> ReadBlockDevices(const std::function<bool()>& keepGoing,
                                          std::string& error) {
    error.clear();
    std::vector<BlockDevice> devices;
    // Newest columns first: an older lsblk refuses a column it does not know.
    static const char* const kColumnSets[] = {
        kLsblkColumns, kLsblkColumnsOld, "NAME,TYPE,FSTYPE,LABEL,UUID,SIZE,MOUNTPOINT,RO,RM,MODEL"};
    bool parsed = false;
    for (const char* columns : kColumnSets) {
        const ConversationResult r = RunConversation(
            {"lsblk", "--json", "--bytes", "--output", columns}, {}, {}, {}, keepGoing);
        if (r.error != 0) {
            error = std::string("lsblk: ") + std::strerror(r.error);
            return {};
        }
        if (r.cancelled) {
            error = "lsblk did not answer";
            return {};
        }
        if (r.exitStatus == 0 && ParseLsblkJson(r.output, devices)) {
            parsed = true;
            break;
        }
        error = r.errorOutput.substr(0, r.errorOutput.find('\n'));
    }
    if (!parsed) {
        if (error.empty())
            error = "lsblk gave no device list";
        return {};
    }
    error.clear();
    // Without udev lsblk knows no file systems; blkid reads them from the devices.
    std::vector<std::string> unknown;
    for (const BlockDevice& d : devices) {
        const bool holdsOthers =
            std::any_of(devices.begin(), devices.end(),
                        [&](const BlockDevice& o) { return o.parent == d.path; });
        if (d.fsType.empty() && d.size > 0 && !holdsOthers)
            unknown.push_back(d.path);
    }
    if (!unknown.empty() && !FindProgram("blkid").empty()) {
        std::vector<std::string> argv = {"blkid", "-o", "export"};
        argv.insert(argv.end(), unknown.begin(), unknown.end());
        const ConversationResult r = RunConversation(argv, {}, {}, {}, keepGoing);
        // blkid exits 2 when one of the devices holds nothing it knows.
        if (r.error == 0 && !r.cancelled)
            MergeBlkid(devices, ParseBlkidExport(r.output));
    }
    return devices;
}

} // namespace km
