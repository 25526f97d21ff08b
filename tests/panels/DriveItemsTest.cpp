#include "panels/DriveItems.h"

#include "platform/LocaleInfo.h"

#include <gtest/gtest.h>

using namespace km;

TEST(DriveItems, TextPerVolumeTypeFromAMountTable) {
    const auto vols = ParseMountInfo("1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                     "2 1 0:40 / /mnt/share rw - nfs4 server:/export rw\n"
                                     "3 1 0:41 / /mnt/anon rw - cifs none rw\n"
                                     "4 1 11:0 / /media/cd ro - iso9660 /dev/sr0 ro\n");
    ASSERT_EQ(vols.size(), 4u);
    Volume labelled = vols[0];
    labelled.label = "System";
    EXPECT_EQ(DriveItemText(vols[0]), "[-/-]");
    EXPECT_EQ(DriveItemText(labelled), "[-/-] System");
    EXPECT_EQ(DriveItemText(vols[1]), "[-/mnt/share-] server:/export");
    EXPECT_EQ(DriveItemText(vols[2]), "[-/mnt/anon-] Network");
    EXPECT_EQ(DriveItemText(vols[3]), "[-/media/cd-] CD-ROM");
    Volume usb = vols[0];
    usb.mountPoint = "/media/stick";
    usb.type = VolumeType::Removable;
    EXPECT_EQ(DriveItemText(usb), "[-/media/stick-] Removable");
    // A share the desktop mounted goes by the name it gave it.
    Volume share = vols[1];
    share.mountPoint = "/run/user/1000/gvfs/smb-share:server=nas,share=docs";
    share.source = "smb-share:server=nas,share=docs";
    share.label = "docs on nas";
    EXPECT_EQ(DriveItemText(share), "[-/run/user/1000/gvfs/smb-share:server=nas,share=docs-] docs on nas");
}

TEST(DriveItems, InfoLineUses64BitSizesAndPads) {
    LocaleInfo li;
    li.thousandsSeparator = ".";
    SetCurrentLocale(li);
    const std::string text = DriveInfoText({2113470464ull, 1234567890ull});
    EXPECT_EQ(text.substr(0, 44), "2.113.470.464 total, 1.234.567.890 available");
    EXPECT_EQ(text.size(), 120u);
    EXPECT_EQ(DriveInfoText({8ull << 40, 0}).substr(0, 34), "8.796.093.022.208 total, 0 availab");
    // For a narrow line: whole units, at least 100 of them, never rounded up.
    EXPECT_EQ(DriveInfoShortText({2113470464ull, 1234567890ull}), "2.113 MB total, 1.234 MB available");
    EXPECT_EQ(DriveInfoShortText({8ull << 40, 99}), "8.796 GB total, 99 bytes available");
    EXPECT_EQ(DriveInfoShortText({~0ull, 199999}), "18.446 PB total, 199 kB available");
    // 120 characters, whatever the separator takes in bytes.
    li.thousandsSeparator = "\u202f";
    SetCurrentLocale(li);
    const std::string french = DriveInfoText({1234567, 0});
    EXPECT_EQ(french.substr(0, 19), "1\u202f234\u202f567 total");
    EXPECT_EQ(french.size(), 120u + 4u); // two separators of three bytes, each one character
}
