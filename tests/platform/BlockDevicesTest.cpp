// lsblk's JSON and blkid's export text read into block devices, and the
// devices of this machine read through the real tools (with a loop device of
// our own where we may make one).
#include "platform/BlockDevices.h"
#include "platform/BlockDeviceList.h"
#include "platform/JsonValue.h"

#include "support/LoopVolume.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace km;

namespace {

// `lsblk --json --bytes --output <kLsblkColumns>` on a virtual machine
// (util-linux 2.38.1): a zram device of no size and the root disk.
const char* kMachine = R"({
   "blockdevices": [
      {
         "name": "zram0",
         "path": "/dev/zram0",
         "type": "disk",
         "fstype": null,
         "label": null,
         "uuid": null,
         "size": 0,
         "fsused": null,
         "fsavail": null,
         "mountpoints": [
             null
         ],
         "ro": false,
         "rm": false,
         "hotplug": false,
         "model": null,
         "pkname": null
      },{
         "name": "vda",
         "path": "/dev/vda",
         "type": "disk",
         "fstype": null,
         "label": null,
         "uuid": null,
         "size": 274877906944,
         "fsused": 31821471744,
         "fsavail": 70923808768,
         "mountpoints": [
             "/"
         ],
         "ro": false,
         "rm": false,
         "hotplug": false,
         "model": null,
         "pkname": null
      }
   ]
}
)";

// A laptop disk with partitions and a USB stick, in the same layout: children
// nested, a partition mounted twice, a label with a quote and a non-ASCII letter.
const char* kNested = R"({
   "blockdevices": [
      {"name":"nvme0n1", "path":"/dev/nvme0n1", "type":"disk", "fstype":null, "label":null,
       "uuid":null, "size":512110190592, "fsused":null, "fsavail":null, "mountpoints":[null],
       "ro":false, "rm":false, "hotplug":false, "model":"Samsung SSD 980 ", "pkname":null,
       "children": [
          {"name":"nvme0n1p1", "path":"/dev/nvme0n1p1", "type":"part", "fstype":"vfat",
           "label":"EFI", "uuid":"3A1B-2C4D", "size":536870912, "fsused":6291456,
           "fsavail":530579456, "mountpoints":["/boot/efi"], "ro":false, "rm":false,
           "hotplug":false, "model":null, "pkname":"nvme0n1"},
          {"name":"nvme0n1p2", "path":"/dev/nvme0n1p2", "type":"part", "fstype":"btrfs",
           "label":"Caf\u00e9 \"home\"", "uuid":"0b5e7c1e-0000-4000-8000-000000000001",
           "size":511571820544, "fsused":102400000000, "fsavail":400000000000,
           "mountpoints":["/home", "/"], "ro":false, "rm":false, "hotplug":false,
           "model":null, "pkname":"nvme0n1"}
       ]
      },
      {"name":"sdb", "path":"/dev/sdb", "type":"disk", "fstype":null, "label":null, "uuid":null,
       "size":15518924800, "fsused":null, "fsavail":null, "mountpoints":[null], "ro":false,
       "rm":true, "hotplug":true, "model":"Cruzer Blade", "pkname":null,
       "children": [
          {"name":"sdb1", "path":"/dev/sdb1", "type":"part", "fstype":"exfat", "label":"STICK",
           "uuid":"1234-ABCD", "size":15517876224, "fsused":null, "fsavail":null,
           "mountpoints":[null], "ro":true, "rm":true, "hotplug":true, "model":null,
           "pkname":"sdb"}
       ]
      },
      {"name":"sr0", "path":"/dev/sr0", "type":"rom", "fstype":"iso9660", "label":"DEBIAN 12",
       "uuid":"2023-06-10-10-19-25-00", "size":658505728, "fsused":658505728, "fsavail":0,
       "mountpoints":["/media/cdrom"], "ro":true, "rm":true, "hotplug":false, "model":"DVD-RW",
       "pkname":null}
   ]
})";

// util-linux before 2.33 quoted every value and had MOUNTPOINT only; --list
// flattens the tree and names the parent in PKNAME.
const char* kOldFlat = R"({
   "blockdevices": [
      {"name": "sda", "type": "disk", "fstype": null, "label": null, "uuid": null,
       "size": "500107862016", "mountpoint": null, "ro": "0", "rm": "0", "model": "ST500   ",
       "pkname": null},
      {"name": "sda1", "type": "part", "fstype": "ext4", "label": "root", "uuid": "u-1",
       "size": "500106813440", "mountpoint": "/", "ro": "0", "rm": "0", "model": null,
       "pkname": "sda"},
      {"name": "fd0", "type": "disk", "fstype": null, "label": null, "uuid": null,
       "size": "1474560", "mountpoint": null, "ro": "0", "rm": "1", "model": null,
       "pkname": null}
   ]
})";

std::vector<BlockDevice> parse(const std::string& text) {
    std::vector<BlockDevice> out;
    EXPECT_TRUE(ParseLsblkJson(text, out)) << text;
    return out;
}

} // namespace

TEST(LsblkJson, ReadsEveryFieldOfThisMachinesOutput) {
    const auto d = parse(kMachine);
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0].name, "zram0");
    EXPECT_EQ(d[0].size, 0u);
    EXPECT_TRUE(d[0].mountPoints.empty()); // [null] is "not mounted"
    EXPECT_FALSE(d[0].fsUsed.has_value());
    const BlockDevice& vda = d[1];
    EXPECT_EQ(vda.name, "vda");
    EXPECT_EQ(vda.path, "/dev/vda");
    EXPECT_EQ(vda.type, "disk");
    EXPECT_EQ(vda.size, 274877906944u);
    EXPECT_EQ(vda.fsUsed, 31821471744u);
    EXPECT_EQ(vda.fsAvail, 70923808768u);
    EXPECT_EQ(vda.mountPoints, std::vector<std::string>{"/"});
    EXPECT_TRUE(vda.fsType.empty() && vda.label.empty() && vda.uuid.empty() && vda.model.empty());
    EXPECT_FALSE(vda.readOnly || vda.removable || vda.hotplug);
    EXPECT_TRUE(vda.parent.empty());
    EXPECT_EQ(vda.disk(), "/dev/vda");
}

TEST(LsblkJson, NestedChildrenKeepTheirDiskAndFlags) {
    const auto d = parse(kNested);
    ASSERT_EQ(d.size(), 6u);
    EXPECT_EQ(d[0].model, "Samsung SSD 980"); // trailing blanks of the vendor's field go
    EXPECT_EQ(d[1].name, "nvme0n1p1");
    EXPECT_EQ(d[1].parent, "/dev/nvme0n1");
    EXPECT_EQ(d[1].disk(), "/dev/nvme0n1");
    EXPECT_EQ(d[1].fsType, "vfat");
    EXPECT_EQ(d[1].uuid, "3A1B-2C4D");
    EXPECT_EQ(d[2].label, "Caf\xc3\xa9 \"home\"");
    EXPECT_EQ(d[2].mountPoints, (std::vector<std::string>{"/home", "/"}));
    EXPECT_EQ(d[3].name, "sdb");
    EXPECT_TRUE(d[3].isRemovable());
    EXPECT_EQ(d[4].parent, "/dev/sdb");
    EXPECT_TRUE(d[4].readOnly);
    EXPECT_TRUE(d[5].isOptical());
    EXPECT_EQ(d[5].fsAvail, 0u);
}

TEST(LsblkJson, OldQuotedValuesAndFlatListWithParentNames) {
    const auto d = parse(kOldFlat);
    ASSERT_EQ(d.size(), 3u);
    EXPECT_EQ(d[0].path, "/dev/sda"); // no PATH column: made from the name
    EXPECT_EQ(d[0].size, 500107862016u);
    EXPECT_EQ(d[0].model, "ST500");
    EXPECT_EQ(d[1].parent, "/dev/sda");
    EXPECT_EQ(d[1].mountPoints, std::vector<std::string>{"/"});
    EXPECT_TRUE(d[2].removable);
    EXPECT_FALSE(d[1].removable);
}

TEST(LsblkJson, DevicesThatCannotBeNamedSafelyAreLeftOutWithTheirChildren) {
    const auto d = parse(R"({"blockdevices":[
        {"name":"../../etc/passwd"},
        {"name":"x", "path":"/dev/../etc/shadow", "children":[{"name":"y"}]},
        {"name":"n", "path":"/dev/a\u0000b"},
        {"name":"t", "path":"/tmp/sda"},
        {"path":"/dev/zram/"}, {"path":"/dev//sda"}, {"path":"/dev/./sda"}, {"path":"/dev/"},
        {"path":"/dev/sdc", "size":{"a":1}, "ro":"yes", "rm":2, "label":["x"],
         "mountpoints":["relative", "/ok\u0000no", "/media/c"], "fsused":"-1",
         "fsavail":99999999999999999999},
        {"name":"sdd", "label":"a\nb\u001bc"},
        "not an object"
    ]})");
    ASSERT_EQ(d.size(), 2u);
    const BlockDevice& c = d[0];
    EXPECT_EQ(c.path, "/dev/sdc");
    EXPECT_EQ(c.name, "sdc");
    EXPECT_EQ(c.size, 0u);
    EXPECT_FALSE(c.readOnly || c.removable);
    EXPECT_TRUE(c.label.empty());
    EXPECT_EQ(c.mountPoints, std::vector<std::string>{"/media/c"});
    EXPECT_FALSE(c.fsUsed.has_value());
    EXPECT_FALSE(c.fsAvail.has_value()); // larger than 64 bits
    EXPECT_EQ(d[1].label, "a?b?c");
}

TEST(LsblkJson, ADeviceUnderTwoParentsIsListedOnce) {
    const auto d = parse(R"({"blockdevices":[
        {"name":"sda", "children":[{"name":"md0", "type":"raid1"}]},
        {"name":"sdb", "children":[{"name":"md0", "type":"raid1"}]}]})");
    ASSERT_EQ(d.size(), 3u);
    EXPECT_EQ(d[1].name, "md0");
    EXPECT_EQ(d[1].parent, "/dev/sda");
    EXPECT_EQ(d[2].name, "sdb");
}

TEST(LsblkJson, TextThatIsNoDeviceListIsRefused) {
    std::vector<BlockDevice> out;
    for (const std::string bad :
         {"", "{", "[]", R"({"blockdevices":{}})", R"({"blockdevices":[{"name":"sda"}]} x)",
          R"({"blockdevices":[{"name":"sda",}]})", R"({"blockdevices":[{"name":"sd)",
          R"({"blockdevices":[{"name":"sda", "size":01}]})", "lsblk: unknown column: MOUNTPOINTS"})
        EXPECT_FALSE(ParseLsblkJson(bad, out)) << bad;
    std::string deep = R"({"blockdevices":[)";
    for (int i = 0; i < 40; ++i)
        deep += R"({"name":"d", "children":[)";
    EXPECT_FALSE(ParseLsblkJson(deep + std::string(80, ']'), out)); // unbalanced
    std::string balanced = R"({"blockdevices":[)";
    for (int i = 0; i < 40; ++i)
        balanced += R"({"name":"d", "children":[)";
    for (int i = 0; i < 40; ++i)
        balanced += "]}";
    EXPECT_FALSE(ParseLsblkJson(balanced + "]}", out)); // deeper than any lsblk tree
}

TEST(JsonValue, StringsDecodeEscapesAndSurrogates) {
    JsonValue v;
    ASSERT_TRUE(ParseJson(
        R"(["a\"\\\/\b\f\n\r\t", "\u00e9\u20ac", "\ud83d\ude00", "\ud83d!", "\ude00"])", v));
    ASSERT_EQ(v.items.size(), 5u);
    EXPECT_EQ(v.items[0].text, "a\"\\/\b\f\n\r\t");
    EXPECT_EQ(v.items[1].text, "\xc3\xa9\xe2\x82\xac");
    EXPECT_EQ(v.items[2].text, "\xf0\x9f\x98\x80");
    EXPECT_EQ(v.items[3].text, "\xef\xbf\xbd!"); // a lone half becomes U+FFFD
    EXPECT_EQ(v.items[4].text, "\xef\xbf\xbd");
    for (const char* bad : {"\"\x01\"", R"("\x")", R"("\u12")", R"("\u12G4")", "\"abc", "tru", "-",
                            "1.", "1e", "+1", "[1,]", "{\"a\" 1}", "nul"})
        EXPECT_FALSE(ParseJson(bad, v)) << bad;
    uint64_t n = 0;
    ASSERT_TRUE(ParseJson("18446744073709551615", v));
    EXPECT_TRUE(v.ToUnsigned(n));
    EXPECT_EQ(n, UINT64_MAX);
    ASSERT_TRUE(ParseJson("18446744073709551616", v));
    EXPECT_FALSE(v.ToUnsigned(n));
    for (const char* notUnsigned : {"-1", "1.5", "1e3", "\"12a\"", "\"\"", "true"}) {
        ASSERT_TRUE(ParseJson(notUnsigned, v));
        EXPECT_FALSE(v.ToUnsigned(n)) << notUnsigned;
    }
}

TEST(BlkidExport, BlocksByDeviceWithQuotedValuesFillWhatLsblkLacked) {
    const auto found = ParseBlkidExport("DEVNAME=/dev/loop3\nLABEL=KM\\ Test\\\\1\n"
                                        "UUID=ecde193f-864a\nBLOCK_SIZE=1024\nTYPE=ext4\n\n"
                                        "DEVNAME=/dev/sdz\nTYPE=vfat\n"
                                        "DEVNAME=/etc/passwd\nTYPE=x\n\nTYPE=orphan\n");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].device, "/dev/loop3");
    EXPECT_EQ(found[0].label, "KM Test\\1");
    EXPECT_EQ(found[0].uuid, "ecde193f-864a");
    EXPECT_EQ(found[0].type, "ext4");
    EXPECT_EQ(found[1].device, "/dev/sdz");

    std::vector<BlockDevice> devices(3);
    devices[0].path = "/dev/loop3";
    devices[1].path = "/dev/sdz";
    devices[1].fsType = "ntfs"; // lsblk's word stands
    devices[1].label = "Keep";
    devices[2].path = "/dev/sdy";
    MergeBlkid(devices, found);
    EXPECT_EQ(devices[0].fsType, "ext4");
    EXPECT_EQ(devices[0].label, "KM Test\\1");
    EXPECT_EQ(devices[1].fsType, "ntfs");
    EXPECT_EQ(devices[1].label, "Keep");
    EXPECT_TRUE(devices[2].fsType.empty());
}

// A loop device on a small ext4 image made here: unmounted, it is listed
// with its file system, label, UUID and size.
TEST(BlockDeviceList, AnUnmountedLoopDeviceIsListedWithItsFileSystem) {
    test::LoopVolume loop;
    if (loop.device().empty())
        GTEST_SKIP() << loop.skipReason();
    const std::string& device = loop.device();
    std::string error;
    const auto devices = ReadBlockDevices([] { return true; }, error);
    EXPECT_TRUE(error.empty()) << error;
    const auto it = std::find_if(devices.begin(), devices.end(),
                                 [&](const BlockDevice& d) { return d.path == device; });
    ASSERT_NE(it, devices.end()) << device << " not listed";
    EXPECT_EQ(it->type, "loop");
    EXPECT_EQ(it->size, test::LoopVolume::kSize);
    EXPECT_EQ(it->fsType, "ext4");
    EXPECT_EQ(it->label, "KM Test");
    EXPECT_EQ(it->uuid.size(), 36u);
    EXPECT_TRUE(it->mountPoints.empty());
    EXPECT_FALSE(it->fsUsed.has_value());
}
