#pragma once
// What "About this computer" shows, read from the kernel's and the
// firmware's own files.
#include <cstdint>
#include <string>
#include <string_view>

namespace km {

struct ComputerInfo {
    std::string processor;    // the first "model name"
    uint64_t physicalKiB = 0; // MemTotal
    uint64_t swapKiB = 0;     // SwapTotal, the counterpart of a paging file
    std::string bios;         // version, date; "?" when unknown
    std::string system;       // the distribution's PRETTY_NAME and the kernel release
};

std::string CpuModelOf(std::string_view cpuinfo);
uint64_t MemInfoKiB(std::string_view meminfo, std::string_view key);
std::string OsReleaseName(std::string_view osRelease);

ComputerInfo ReadComputerInfo();

} // namespace km
