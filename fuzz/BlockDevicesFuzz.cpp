// lsblk's JSON and blkid's export text from any source: whatever the text,
// every device kept has a path under /dev/ that names it safely (it is handed
// to disk utilities as an argument), shown texts hold no control character,
// mount points are absolute, and no device is listed twice.
#include "platform/BlockDevices.h"
#include "platform/JsonValue.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

namespace {

bool safePath(const std::string& p) {
    if (!p.starts_with("/dev/") || p.size() <= 5)
        return false;
    if (std::any_of(p.begin(), p.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
        return false;
    return p.find("/../") == std::string::npos && !p.ends_with("/..");
}

bool plainText(const std::string& s) {
    return std::none_of(s.begin(), s.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    km::JsonValue value;
    if (km::ParseJson(text, value) && value.kind == km::JsonValue::Kind::Object &&
        value.keys.size() != value.items.size())
        std::abort();

    std::vector<km::BlockDevice> devices;
    if (km::ParseLsblkJson(text, devices)) {
        std::set<std::string> paths;
        for (const km::BlockDevice& d : devices) {
            if (!safePath(d.path) || d.name.empty() ||
                d.path.substr(d.path.rfind('/') + 1) != d.name)
                std::abort();
            if (!paths.insert(d.path).second)
                std::abort();
            if (!d.parent.empty() && !safePath(d.parent))
                std::abort();
            for (const std::string* s : {&d.type, &d.fsType, &d.label, &d.uuid, &d.model})
                if (!plainText(*s))
                    std::abort();
            for (const std::string& m : d.mountPoints)
                if (!m.starts_with('/') || m.find('\0') != std::string::npos)
                    std::abort();
        }
    } else if (!devices.empty()) {
        std::abort();
    }

    const std::vector<km::BlkidEntry> found = km::ParseBlkidExport(text);
    for (const km::BlkidEntry& e : found) {
        if (!safePath(e.device) || !plainText(e.type) || !plainText(e.label) || !plainText(e.uuid))
            std::abort();
    }
    km::MergeBlkid(devices, found);
    return 0;
}
