#include "platform/Volumes.h"

#include "platform/NetworkLocation.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sys/statvfs.h>

namespace km {
namespace {

std::string unescape(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '3' &&
            s[i + 2] >= '0' && s[i + 2] <= '7' && s[i + 3] >= '0' && s[i + 3] <= '7') {
            out +=
                static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

// udev writes a space in a label as "\x20".
std::string unescapeHex(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x' &&
            std::isxdigit(static_cast<unsigned char>(s[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(s[i + 3]))) {
            out += static_cast<char>(std::stoi(std::string(s.substr(i + 2, 2)), nullptr, 16));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::vector<std::string_view> splitSpaces(std::string_view line) {
    std::vector<std::string_view> f;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ')
            ++i;
        size_t j = i;
        while (j < line.size() && line[j] != ' ')
            ++j;
        if (j > i)
            f.push_back(line.substr(i, j - i));
        i = j;
    }
    return f;
}

bool isPseudo(std::string_view fs, std::string_view mountPoint) {
    static constexpr std::array<std::string_view, 28> pseudo = {
        "proc",        "sysfs",     "devtmpfs", "devpts",   "cgroup",      "cgroup2",
        "pstore",      "bpf",       "tracefs",  "debugfs",  "securityfs",  "mqueue",
        "hugetlbfs",   "configfs",  "fusectl",  "autofs",   "binfmt_misc", "efivarfs",
        "rpc_pipefs",  "nsfs",      "ramfs",    "squashfs", "overlay",     "fuse.gvfsd-fuse",
        "fuse.portal", "selinuxfs", "tmpfs",    "nfsd"};
    if (fs == "fuse.xdg-document-portal" || fs == "fuse.gvfs-fuse-daemon") // older names
        return true;
    if (fs == "tmpfs") // /tmp on tmpfs is a real place to keep files
        return !(mountPoint == "/tmp" || mountPoint.starts_with("/media") ||
                 mountPoint.starts_with("/mnt"));
    if (fs == "overlay") // a container's root is still where the files are
        return mountPoint != "/";
    // Not /run/user as a whole: sshfs or rclone mounts there hold real files.
    if (mountPoint.starts_with("/proc") || mountPoint.starts_with("/sys") ||
        mountPoint.starts_with("/dev"))
        return true;
    return std::find(pseudo.begin(), pseudo.end(), fs) != pseudo.end();
}

bool isRemote(std::string_view fs) {
    return fs == "nfs" || fs == "nfs4" || fs == "cifs" || fs == "smb3" || fs == "smbfs" ||
           fs == "fuse.sshfs" || fs == "9p" || fs == "afs" || fs == "ceph" || fs == "fuse.rclone" ||
           fs == "davfs" || fs == "fuse.davfs2";
}

bool isGvfs(std::string_view fs) {
    return fs == "fuse.gvfsd-fuse" || fs == "fuse.gvfs-fuse-daemon";
}

// Calls `fn` with the mount point, type and source of every well-formed line.
template <typename Fn>
void forEachMount(std::string_view text, Fn fn) {
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        if (nl == std::string_view::npos)
            nl = text.size();
        const std::string_view line = text.substr(pos, nl - pos);
        pos = nl + 1;
        // id parent major:minor root mountpoint options [optional...] - fstype source superopts
        const auto f = splitSpaces(line);
        size_t dash = 0;
        for (size_t i = 6; i < f.size(); ++i) {
            if (f[i] == "-") {
                dash = i;
                break;
            }
        }
        if (dash == 0 || dash + 1 >= f.size())
            continue;
        Volume v;
        v.mountPoint = unescape(f[4]);
        v.fsType = std::string(f[dash + 1]);
        v.source = dash + 2 < f.size() ? unescape(f[dash + 2]) : std::string();
        fn(std::move(v));
    }
}

std::string readSmallFile(const std::string& path) {
    std::ifstream in(path);
    std::string s((std::istreambuf_iterator<char>(in)), {});
    while (!s.empty() && (s.back() == '\n' || s.back() == ' '))
        s.pop_back();
    return s;
}

// /dev/sdb1 -> "sdb"; used to ask sysfs whether the disk is removable.
std::string diskOfDevice(std::string_view dev) {
    if (!dev.starts_with("/dev/"))
        return {};
    std::string name(dev.substr(5));
    if (name.starts_with("nvme") || name.starts_with("mmcblk")) {
        const auto p = name.rfind('p');
        if (p != std::string::npos && p > 4)
            name.resize(p);
        return name;
    }
    while (!name.empty() && name.back() >= '0' && name.back() <= '9')
        name.pop_back();
    return name;
}

} // namespace

std::vector<Volume> ParseMountInfo(std::string_view text) {
    std::vector<Volume> vols;
    forEachMount(text, [&](Volume v) {
        if (v.mountPoint.empty() || v.mountPoint[0] != '/' || isPseudo(v.fsType, v.mountPoint))
            return;
        if (v.fsType == "iso9660" || v.fsType == "udf")
            v.type = VolumeType::CdRom;
        else if (isRemote(v.fsType) ||
                 (v.fsType.starts_with("fuse.") && v.source.find(':') != std::string::npos))
            v.type = VolumeType::Remote;
        else if (v.source.starts_with("/dev/") || v.fsType == "overlay" || v.fsType == "tmpfs" ||
                 v.fsType == "zfs" || v.fsType == "btrfs")
            v.type = VolumeType::Fixed;
        else
            v.type = VolumeType::Other;
        auto same = std::find_if(vols.begin(), vols.end(),
                                 [&](const Volume& o) { return o.mountPoint == v.mountPoint; });
        if (same != vols.end())
            *same = std::move(v);
        else
            vols.push_back(std::move(v));
    });
    return vols;
}

std::vector<std::string> GvfsMountPoints(std::string_view mountInfoText) {
    std::vector<std::string> points;
    forEachMount(mountInfoText, [&](Volume v) {
        if (isGvfs(v.fsType) && v.mountPoint.starts_with('/') &&
            std::find(points.begin(), points.end(), v.mountPoint) == points.end())
            points.push_back(std::move(v.mountPoint));
    });
    return points;
}

std::string GvfsDisplayName(std::string_view entry) {
    const std::string raw(entry);
    const auto parsed = ParseGvfsEntry(entry);
    if (!parsed)
        return raw;
    const auto get = [&](std::string_view key) {
        for (const auto& [k, v] : parsed->keys)
            if (k == key)
                return v;
        return std::string();
    };
    std::string host = get("host");
    if (!host.empty() && !get("port").empty())
        host += ":" + get("port");
    const std::string user = get("user");
    const std::string& scheme = parsed->scheme;
    std::string name;
    if (scheme == "smb-share") {
        if (!get("share").empty() && !get("server").empty())
            name = get("share") + " on " + get("server");
    } else if (scheme == "smb-server") {
        name = get("server");
    } else if (scheme == "afp-volume") {
        if (!get("volume").empty() && !host.empty())
            name = get("volume") + " on " + host;
    } else if (scheme == "google-drive") {
        if (!user.empty() && !host.empty())
            name = user + "@" + get("host");
    } else if (scheme == "sftp" || scheme == "ftp" || scheme == "ftps" || scheme == "ftpis" ||
               scheme == "dav" || scheme == "davs") {
        if (!host.empty())
            name = user.empty() || user == "anonymous" ? host : user + " on " + host;
    } else if (scheme == "afp-server" || scheme == "mtp" || scheme == "gphoto2" ||
               scheme == "cdda") {
        name = host;
    }
    return name.empty() ? raw : name;
}

std::vector<Volume> ListGvfsVolumes(const std::string& gvfsDir) {
    std::vector<Volume> vols;
    DIR* dir = opendir(gvfsDir.c_str());
    if (!dir)
        return vols;
    while (const dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        // gvfsd-fuse gives no types, and a stat would wake the share's backend (a server
        // that may not answer); only mounts live at its top, so an untyped entry is one.
        if (e->d_type != DT_DIR && e->d_type != DT_UNKNOWN)
            continue;
        Volume v;
        v.mountPoint = gvfsDir + (gvfsDir.ends_with('/') ? "" : "/") + name;
        v.source = name;
        v.fsType = "fuse.gvfsd-fuse";
        v.label = GvfsDisplayName(name);
        const auto parsed = ParseGvfsEntry(name);
        const std::string scheme = parsed ? parsed->scheme : std::string();
        v.type = scheme == "mtp" || scheme == "gphoto2" ? VolumeType::Removable
                 : scheme == "cdda"                     ? VolumeType::CdRom
                                                        : VolumeType::Remote;
        vols.push_back(std::move(v));
    }
    closedir(dir);
    std::sort(vols.begin(), vols.end(),
              [](const Volume& a, const Volume& b) { return a.mountPoint < b.mountPoint; });
    return vols;
}

std::vector<Volume> ReadVolumes() {
    const std::string mountInfo = readSmallFile("/proc/self/mountinfo") + "\n";
    std::vector<Volume> vols = ParseMountInfo(mountInfo);
    for (const std::string& gvfs : GvfsMountPoints(mountInfo)) {
        std::vector<Volume> shares = ListGvfsVolumes(gvfs);
        std::move(shares.begin(), shares.end(), std::back_inserter(vols));
    }
    for (Volume& v : vols) {
        const std::string disk = diskOfDevice(v.source);
        if (!disk.empty() && readSmallFile("/sys/block/" + disk + "/removable") == "1" &&
            v.type == VolumeType::Fixed)
            v.type = VolumeType::Removable;
    }
    // Labels come from the udev symlinks /dev/disk/by-label/<label> -> ../../sdb1.
    std::error_code ec;
    for (const auto& link : std::filesystem::directory_iterator("/dev/disk/by-label", ec)) {
        std::error_code ec2;
        const auto target = std::filesystem::canonical(link.path(), ec2);
        if (ec2)
            continue;
        for (Volume& v : vols) {
            if (v.source == target.string())
                v.label = unescapeHex(link.path().filename().string());
        }
    }
    std::sort(vols.begin(), vols.end(),
              [](const Volume& a, const Volume& b) { return a.mountPoint < b.mountPoint; });
    return vols;
}

std::string MountPointForPath(const std::vector<Volume>& volumes, std::string_view path) {
    std::string best = "/";
    for (const Volume& v : volumes) {
        const std::string& m = v.mountPoint;
        const bool holds = m == "/" || path == m ||
                           (path.size() > m.size() && path.starts_with(m) && path[m.size()] == '/');
        if (holds && m.size() > best.size())
            best = m;
    }
    return best;
}

DiskSpace QueryDiskSpace(const std::string& path) {
    struct statvfs s;
    if (statvfs(path.c_str(), &s) != 0)
        return {};
    return {static_cast<uint64_t>(s.f_blocks) * s.f_frsize,
            static_cast<uint64_t>(s.f_bfree) * s.f_frsize};
}

bool IsOnRemovableVolume(const std::string& path) {
    const std::vector<Volume> volumes = ReadVolumes();
    const std::string mount = MountPointForPath(volumes, path);
    for (const Volume& v : volumes)
        if (v.mountPoint == mount)
            return v.type == VolumeType::Removable;
    return false;
}

} // namespace km
