#include "platform/ComputerInfo.h"

#include <fstream>
#include <sstream>
#include <sys/utsname.h>

namespace km {
namespace {

std::string readFile(const char* path) {
    std::ifstream in(path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string trim(std::string_view s) {
    const size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string_view::npos)
        return {};
    const size_t b = s.find_last_not_of(" \t\r\n");
    return std::string(s.substr(a, b - a + 1));
}

// The value after "key:" on the line that starts with key.
std::string fieldOf(std::string_view text, std::string_view key, char separator) {
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(at, end - at);
        if (line.substr(0, key.size()) == key) {
            const size_t sep = line.find(separator, key.size());
            if (sep != std::string_view::npos && trim(line.substr(key.size(), sep - key.size())).empty())
                return trim(line.substr(sep + 1));
        }
        at = end + 1;
    }
    return {};
}

} // namespace

std::string CpuModelOf(std::string_view cpuinfo) { return fieldOf(cpuinfo, "model name", ':'); }

uint64_t MemInfoKiB(std::string_view meminfo, std::string_view key) {
    const std::string v = fieldOf(meminfo, key, ':');
    return std::strtoull(v.c_str(), nullptr, 10);
}

std::string OsReleaseName(std::string_view osRelease) {
    std::string v = fieldOf(osRelease, "PRETTY_NAME", '=');
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return v;
}

ComputerInfo ReadComputerInfo() {
    ComputerInfo info;
    info.processor = CpuModelOf(readFile("/proc/cpuinfo"));
    const std::string mem = readFile("/proc/meminfo");
    info.physicalKiB = MemInfoKiB(mem, "MemTotal");
    info.swapKiB = MemInfoKiB(mem, "SwapTotal");
    const std::string version = trim(readFile("/sys/class/dmi/id/bios_version"));
    const std::string date = trim(readFile("/sys/class/dmi/id/bios_date"));
    info.bios = version.empty() ? (date.empty() ? std::string("?") : date) : (date.empty() ? version : version + ", " + date);
    info.system = OsReleaseName(readFile("/etc/os-release"));
    utsname u{};
    if (uname(&u) == 0)
        info.system += (info.system.empty() ? "" : ", ") + std::string(u.sysname) + " " + u.release;
    return info;
}

} // namespace km
