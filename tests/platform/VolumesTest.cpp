#include "platform/Volumes.h"

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
