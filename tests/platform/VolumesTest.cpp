#include "platform/Volumes.h"

#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace km;

namespace {
const char* kMountInfo =
    "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
    "23 22 0:5 / /proc rw shared:2 - proc proc rw\n"
    "24 22 0:21 / /sys rw - sysfs sysfs rw\n"
    "25 22 0:22 / /run rw - tmpfs tmpfs rw\n"
    "26 22 8:17 / /media/usb\\040stick rw shared:9 - vfat /dev/sdb1 rw\n"
    "27 22 0:40 / /mnt/share rw - nfs4 server:/export rw\n"
    "28 22 11:0 / /media/cdrom ro - iso9660 /dev/sr0 ro\n"
    "29 22 0:23 / /tmp rw - tmpfs tmpfs rw\n"
    "garbage line without separator\n"
    "30 22 0:41 / /mnt/share rw - cifs //nas/music rw\n";
}

TEST(Volumes, ParsesTypesSkipsPseudoAndUnescapes) {
    const auto v = ParseMountInfo(kMountInfo);
    ASSERT_EQ(v.size(), 5u);
    EXPECT_EQ(v[0].mountPoint, "/");
    EXPECT_EQ(v[0].type, VolumeType::Fixed);
    EXPECT_EQ(v[1].mountPoint, "/media/usb stick");
    EXPECT_EQ(v[1].source, "/dev/sdb1");
    // A later mount on the same point hides the earlier one.
    EXPECT_EQ(v[2].mountPoint, "/mnt/share");
    EXPECT_EQ(v[2].fsType, "cifs");
    EXPECT_EQ(v[2].type, VolumeType::Remote);
    EXPECT_EQ(v[3].type, VolumeType::CdRom);
    EXPECT_EQ(v[4].mountPoint, "/tmp");
}

TEST(Volumes, MountPointForPathTakesLongestComponentPrefix) {
    const auto v = ParseMountInfo(kMountInfo);
    EXPECT_EQ(MountPointForPath(v, "/media/usb stick/photos"), "/media/usb stick");
    EXPECT_EQ(MountPointForPath(v, "/media/usb sticker"), "/");
    EXPECT_EQ(MountPointForPath(v, "/mnt/share"), "/mnt/share");
    EXPECT_EQ(MountPointForPath({}, "/x"), "/");
}

TEST(Volumes, DiskSpaceOfRootIsNonZeroAndMissingIsZero) {
    const DiskSpace root = QueryDiskSpace("/");
    EXPECT_GT(root.total, 0u);
    EXPECT_LE(root.free, root.total);
    const DiskSpace none = QueryDiskSpace("/no/such/dir");
    EXPECT_EQ(none.total, 0u);
    EXPECT_EQ(none.free, 0u);
}

TEST(Volumes, TruncatedAndHostileLinesDoNotCrash) {
    EXPECT_TRUE(ParseMountInfo("").empty());
    EXPECT_TRUE(ParseMountInfo("1 2 3 4 /x - ").empty());
    EXPECT_TRUE(ParseMountInfo("- - - - - - -").empty());
    const auto v = ParseMountInfo("1 2 3 / /a\\ rw - ext4");
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0].mountPoint, "/a\\");
}

TEST(Volumes, UserFuseMountsAreDrivesButTheDesktopsOwnAreNot) {
    const char* text =
        "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
        "40 25 0:50 / /run/user/1000 rw - tmpfs tmpfs rw,mode=700\n"
        "41 40 0:51 / /run/user/1000/gvfs rw - fuse.gvfsd-fuse gvfsd-fuse rw,user_id=1000\n"
        "42 40 0:52 / /run/user/1000/doc rw - fuse.portal portal rw,user_id=1000\n"
        "43 40 0:53 / /run/user/1000/mnt/box rw - fuse.sshfs bob@box:/home/bob rw\n"
        "44 22 0:54 / /home/bob/cloud rw - fuse.rclone drive: rw\n"
        "45 22 0:55 / /home/bob/.gvfs rw - fuse.gvfs-fuse-daemon gvfs-fuse-daemon rw\n";
    const auto v = ParseMountInfo(text);
    ASSERT_EQ(v.size(), 3u);
    EXPECT_EQ(v[0].mountPoint, "/");
    EXPECT_EQ(v[1].mountPoint, "/run/user/1000/mnt/box");
    EXPECT_EQ(v[1].type, VolumeType::Remote);
    EXPECT_EQ(v[2].mountPoint, "/home/bob/cloud");
    EXPECT_EQ(v[2].type, VolumeType::Remote);
    EXPECT_EQ(MountPointForPath(v, "/run/user/1000/mnt/box/src"), "/run/user/1000/mnt/box");

    EXPECT_EQ(GvfsMountPoints(text),
              (std::vector<std::string>{"/run/user/1000/gvfs", "/home/bob/.gvfs"}));
    EXPECT_TRUE(GvfsMountPoints(kMountInfo).empty());
}

TEST(Volumes, GvfsEntriesGetTheDesktopsNames) {
    EXPECT_EQ(GvfsDisplayName("smb-share:server=nas,share=docs"), "docs on nas");
    EXPECT_EQ(GvfsDisplayName("smb-share:domain=WG,server=nas,share=my%20files,user=bob"),
              "my files on nas");
    EXPECT_EQ(GvfsDisplayName("smb-server:server=nas"), "nas");
    EXPECT_EQ(GvfsDisplayName("sftp:host=example.org,user=bob"), "bob on example.org");
    EXPECT_EQ(GvfsDisplayName("sftp:host=example.org,port=2222"), "example.org:2222");
    EXPECT_EQ(GvfsDisplayName("ftp:host=ftp.example.org"), "ftp.example.org");
    EXPECT_EQ(GvfsDisplayName("ftp:host=ftp.example.org,user=anonymous"), "ftp.example.org");
    EXPECT_EQ(GvfsDisplayName("dav:host=h,ssl=true,prefix=%2Fremote.php"), "h");
    EXPECT_EQ(GvfsDisplayName("afp-volume:host=h,volume=v"), "v on h");
    EXPECT_EQ(GvfsDisplayName("google-drive:host=gmail.com,user=x"), "x@gmail.com");
    EXPECT_EQ(GvfsDisplayName("gphoto2:host=%5Busb%3A001%2C007%5D"), "[usb:001,007]");
    EXPECT_EQ(GvfsDisplayName("mtp:host=Phone_1234"), "Phone_1234");
    // Unknown, malformed or incomplete: the entry's own name.
    for (const char* raw : {"archive:host=file%253A%252F%252F%252Fa.zip", "plain", ":host=h",
                            "sftp:host", "smb-share:server=nas", "sftp:user=bob", "ftp:host=",
                            "smb-share:share=a%2"})
        EXPECT_EQ(GvfsDisplayName(raw), raw);
    // A bad escape is not of gvfs's own making: the entry's own name too.
    EXPECT_EQ(GvfsDisplayName("smb-share:server=nas,share=a%2"), "smb-share:server=nas,share=a%2");
}

TEST(Volumes, ListsTheDirectoriesOfAGvfsMount) {
    test::TempDir gvfs;
    for (const char* d : {"smb-share:server=nas,share=docs", "mtp:host=Phone", "cdda:host=sr0",
                          "whatever"})
        std::filesystem::create_directory(gvfs.file(d));
    test::WriteAll(gvfs.file("ftp:host=not-a-mount"), "");
    const auto v = ListGvfsVolumes(gvfs.path());
    ASSERT_EQ(v.size(), 4u);
    EXPECT_EQ(v[0].mountPoint, gvfs.file("cdda:host=sr0"));
    EXPECT_EQ(v[0].type, VolumeType::CdRom);
    EXPECT_EQ(v[1].source, "mtp:host=Phone");
    EXPECT_EQ(v[1].label, "Phone");
    EXPECT_EQ(v[1].type, VolumeType::Removable);
    EXPECT_EQ(v[2].label, "docs on nas");
    EXPECT_EQ(v[2].fsType, "fuse.gvfsd-fuse");
    EXPECT_EQ(v[2].type, VolumeType::Remote);
    EXPECT_EQ(v[3].label, "whatever");
    EXPECT_EQ(MountPointForPath(v, gvfs.file("smb-share:server=nas,share=docs/a/b")),
              gvfs.file("smb-share:server=nas,share=docs"));
    EXPECT_TRUE(ListGvfsVolumes(gvfs.file("missing")).empty());
}
