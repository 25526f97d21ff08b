#include "platform/DiskUtility.h"

#include "fileops/open_execute/ProcessLauncher.h"

namespace km {

std::vector<std::string> DiskUtilityCommand(DiskAction action, const BlockDevice& device,
                                            const std::string& windowId) {
    if (const std::string disks = FindProgram("gnome-disks"); !disks.empty()) {
        std::vector<std::string> argv = {disks, "--block-device", device.path};
        if (action == DiskAction::Format) {
            argv.emplace_back("--format-device");
            if (!windowId.empty()) {
                argv.emplace_back("--xid");
                argv.push_back(windowId);
            }
        }
        return argv;
    }
    // It manages whole disks; the partition is chosen inside it.
    if (const std::string manager = FindProgram("partitionmanager"); !manager.empty())
        return {manager, device.disk()};
    return {};
}

std::string_view NoDiskUtilityText() {
    return "This command needs a disk utility. Install GNOME Disks (package "
           "gnome-disk-utility) or KDE Partition Manager (package partitionmanager).";
}

} // namespace km
