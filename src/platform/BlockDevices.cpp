#include "platform/BlockDevices.h"

#include "platform/JsonValue.h"

#include <algorithm>

namespace km {
namespace {

using Kind = JsonValue::Kind;

// A label is the user's or a stick maker's text: nothing in it may act on the
// list or dialog it is shown in.
std::string cleanText(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (const char c : s)
        out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

std::string textOf(const JsonValue& dev, std::string_view key) {
    const JsonValue* v = dev.Find(key);
    return v && v->kind == Kind::String ? cleanText(v->text) : std::string();
}

std::optional<uint64_t> unsignedOf(const JsonValue& dev, std::string_view key) {
    const JsonValue* v = dev.Find(key);
    uint64_t n = 0;
    if (v && v->ToUnsigned(n))
        return n;
    return std::nullopt;
}

bool flagOf(const JsonValue& dev, std::string_view key) {
    const JsonValue* v = dev.Find(key);
    if (!v)
        return false;
    if (v->kind == Kind::Bool)
        return v->boolean;
    return (v->kind == Kind::String || v->kind == Kind::Number) && v->text == "1";
}

// Every component after /dev/ a real name: no "", "." or "..".
bool plainComponents(std::string_view path) {
    size_t start = 5;
    while (start <= path.size()) {
        const size_t slash = std::min(path.find('/', start), path.size());
        const std::string_view part = path.substr(start, slash - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        start = slash + 1;
    }
    return true;
}

bool usableDevicePath(std::string_view path) {
    return path.size() > 5 && path.starts_with("/dev/") &&
           std::none_of(path.begin(), path.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20; }) &&
           plainComponents(path);
}

bool usableMountPoint(std::string_view path) {
    return path.starts_with('/') && path.find('\0') == std::string_view::npos;
}

void readDevice(const JsonValue& dev, const std::string& parentPath,
                std::vector<BlockDevice>& out) {
    if (dev.kind != Kind::Object)
        return;
    BlockDevice d;
    const JsonValue* name = dev.Find("name");
    const JsonValue* path = dev.Find("path");
    const std::string rawName = name && name->kind == Kind::String ? name->text : std::string();
    if (path && path->kind == Kind::String)
        d.path = path->text;
    else if (rawName.starts_with("/dev/")) // lsblk --paths
        d.path = rawName;
    else if (!rawName.empty() && rawName.find('/') == std::string::npos)
        d.path = "/dev/" + rawName;
    if (!usableDevicePath(d.path))
        return; // and its children: they would hang from a device nobody can name
    d.name = d.path.substr(d.path.rfind('/') + 1);
    d.type = textOf(dev, "type");
    d.fsType = textOf(dev, "fstype");
    d.label = textOf(dev, "label");
    d.uuid = textOf(dev, "uuid");
    d.model = textOf(dev, "model");
    d.size = unsignedOf(dev, "size").value_or(0);
    d.fsUsed = unsignedOf(dev, "fsused");
    d.fsAvail = unsignedOf(dev, "fsavail");
    d.readOnly = flagOf(dev, "ro");
    d.removable = flagOf(dev, "rm");
    d.hotplug = flagOf(dev, "hotplug");
    d.parent = parentPath;
    if (d.parent.empty()) {
        // A flat list names the parent by kernel name only.
        const std::string pk = textOf(dev, "pkname");
        if (pk.starts_with("/dev/") && usableDevicePath(pk))
            d.parent = pk;
        else if (!pk.empty() && pk.find('/') == std::string::npos && usableDevicePath("/dev/" + pk))
            d.parent = "/dev/" + pk;
    }
    if (const JsonValue* mounts = dev.Find("mountpoints"); mounts && mounts->kind == Kind::Array) {
        for (const JsonValue& m : mounts->items) {
            if (m.kind == Kind::String && usableMountPoint(m.text))
                d.mountPoints.push_back(m.text);
        }
    } else if (const JsonValue* m = dev.Find("mountpoint");
               m && m->kind == Kind::String && usableMountPoint(m->text)) {
        d.mountPoints.push_back(m->text);
    }
    // A device on several others (RAID, LVM over two disks) is listed under each.
    const bool seen =
        std::any_of(out.begin(), out.end(), [&](const BlockDevice& o) { return o.path == d.path; });
    const std::string self = d.path;
    if (!seen)
        out.push_back(std::move(d));
    if (const JsonValue* children = dev.Find("children");
        children && children->kind == Kind::Array) {
        for (const JsonValue& child : children->items)
            readDevice(child, self, out);
    }
}

} // namespace

bool ParseLsblkJson(std::string_view text, std::vector<BlockDevice>& out) {
    out.clear();
    JsonValue doc;
    if (!ParseJson(text, doc))
        return false;
    const JsonValue* devices = doc.Find("blockdevices");
    if (!devices || devices->kind != Kind::Array)
        return false;
    for (const JsonValue& dev : devices->items)
        readDevice(dev, std::string(), out);
    return true;
}

std::vector<BlkidEntry> ParseBlkidExport(std::string_view text) {
    std::vector<BlkidEntry> entries;
    BlkidEntry current;
    const auto finish = [&] {
        if (usableDevicePath(current.device))
            entries.push_back(std::move(current));
        current = BlkidEntry();
    };
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t nl = std::min(text.find('\n', pos), text.size());
        const std::string_view line = text.substr(pos, nl - pos);
        pos = nl + 1;
        if (line.empty()) {
            finish();
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos || eq == 0)
            continue;
        const std::string_view key = line.substr(0, eq);
        std::string value;
        for (size_t i = eq + 1; i < line.size(); ++i) {
            if (line[i] == '\\' && i + 1 < line.size())
                ++i;
            value += line[i];
        }
        if (key == "DEVNAME") {
            if (!current.device.empty())
                finish(); // blocks without the blank line between them
            current.device = value;
        } else if (key == "TYPE") {
            current.type = cleanText(value);
        } else if (key == "LABEL") {
            current.label = cleanText(value);
        } else if (key == "UUID") {
            current.uuid = cleanText(value);
        }
    }
    finish();
    return entries;
}

void MergeBlkid(std::vector<BlockDevice>& devices, const std::vector<BlkidEntry>& found) {
    for (BlockDevice& d : devices) {
        if (!d.fsType.empty())
            continue;
        for (const BlkidEntry& e : found) {
            if (e.device != d.path)
                continue;
            d.fsType = e.type;
            if (d.label.empty())
                d.label = e.label;
            if (d.uuid.empty())
                d.uuid = e.uuid;
            break;
        }
    }
}

} // namespace km
