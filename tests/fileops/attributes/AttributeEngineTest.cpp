#include "fileops/attributes/AttributeEngine.h"
#include "platform/FileAttributes.h"
#include "support/TempDir.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace km;
using km::test::TempDir;
using km::test::WriteAll;

namespace {

class RecordingUi : public AttributeUi {
public:
    void Warning(int stringId) override { warnings.push_back(stringId); }
    void SystemError(std::string_view text) override { errors.emplace_back(text); }
    std::vector<int> warnings;
    std::vector<std::string> errors;
};

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

struct stat StatOf(const std::string& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return st;
}

uint32_t AttributesOf(const std::string& path) {
    uint32_t a = 0;
    EXPECT_EQ(ReadPathAttributes(path, a), 0) << path;
    return a & kWritableAttributes;
}

std::string StoredText(const std::string& path) {
    char buf[64];
    const ssize_t n = getxattr(path.c_str(), "user.DOSATTRIB", buf, sizeof buf);
    return n < 0 ? std::string() : std::string(buf, static_cast<size_t>(n));
}

void SetTimes(const std::string& path, time_t access, time_t modified) {
    struct timespec t[2] = {{access, 0}, {modified, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), t, 0), 0);
}

class AttributeFiles : public ::testing::Test {
protected:
    std::string make(const std::string& name, mode_t mode = 0664) {
        const std::string p = dir.file(name);
        WriteAll(p, name);
        chmod(p.c_str(), mode);
        return p;
    }
    // Skips the test where the temporary file system keeps no user attributes.
    void requireUserXattrs() {
        const std::string probe = make("probe");
        if (setxattr(probe.c_str(), "user.km-probe", "1", 1, 0) != 0)
            GTEST_SKIP() << "no user extended attributes here: " << std::strerror(errno);
    }

    TempDir dir;
    RecordingUi ui;
};

TEST(NewAttributes, OneEntrySetsExactlyTheChosenBits) {
    AttributeChanges c;
    c.archive = BitChange::On;
    c.readOnly = BitChange::Off;
    c.hidden = BitChange::Off;
    c.system = BitChange::On;
    EXPECT_EQ(NewAttributes(AttrReadOnly | AttrHidden | AttrDirectory | 0x80, c, false),
              AttrArchive | AttrSystem);
    // In the several-entries form an unchecked bit stays as each entry has it.
    AttributeChanges onlyHidden;
    onlyHidden.hidden = BitChange::On;
    EXPECT_EQ(NewAttributes(AttrReadOnly | AttrArchive, onlyHidden, true),
              AttrReadOnly | AttrArchive | AttrHidden);
    EXPECT_EQ(NewAttributes(AttrSystem, onlyHidden, true), AttrSystem | AttrHidden);
    AttributeChanges clearAll{BitChange::Off, BitChange::Off, BitChange::Off, BitChange::Off};
    EXPECT_EQ(NewAttributes(kWritableAttributes, clearAll, true), 0u);
}

TEST_F(AttributeFiles, ReadOnlyIsTheOwnerWriteBit) {
    const std::string f = make("f", 0664);
    ASSERT_EQ(WriteAttributes(f, AttrReadOnly), 0);
    EXPECT_EQ(ModeOf(f), 0444u); // every write bit goes
    EXPECT_EQ(AttributesOf(f), static_cast<uint32_t>(AttrReadOnly));
    ASSERT_EQ(WriteAttributes(f, AttrReadOnly), 0);
    EXPECT_EQ(ModeOf(f), 0444u);
    ASSERT_EQ(WriteAttributes(f, 0), 0);
    EXPECT_EQ(ModeOf(f), 0644u); // only the owner's comes back
    const std::string d = dir.file("d");
    ASSERT_EQ(mkdir(d.c_str(), 0775), 0);
    chmod(d.c_str(), 0775);
    ASSERT_EQ(WriteAttributes(d, AttrReadOnly), 0);
    EXPECT_EQ(ModeOf(d), 0555u);
}

TEST_F(AttributeFiles, ClearingBitsNeedsNoAttributeSupport) {
    // Nothing stored and nothing to store: nothing is written, so this holds
    // on any file system.
    const std::string f = make("plain");
    EXPECT_EQ(WriteAttributes(f, 0), 0);
    EXPECT_EQ(StoredText(f), "");
    const std::string dot = make(".profile");
    EXPECT_EQ(WriteAttributes(dot, AttrHidden), 0);
    EXPECT_EQ(StoredText(dot), "") << "the dot hides it already";
    EXPECT_EQ(AttributesOf(dot), static_cast<uint32_t>(AttrHidden));
    // Only a rename could make it visible.
    EXPECT_EQ(WriteAttributes(dot, AttrArchive), EPERM);
    EXPECT_EQ(StoredText(dot), "");
}

TEST_F(AttributeFiles, StoredBitsRoundTripThroughTheAttribute) {
    requireUserXattrs();
    const std::string f = make("f");
    ASSERT_EQ(WriteAttributes(f, AttrHidden | AttrSystem | AttrArchive), 0);
    EXPECT_EQ(StoredText(f), "0x26");
    EXPECT_EQ(AttributesOf(f), static_cast<uint32_t>(AttrHidden | AttrSystem | AttrArchive));
    ASSERT_EQ(WriteAttributes(f, AttrArchive), 0);
    EXPECT_EQ(AttributesOf(f), static_cast<uint32_t>(AttrArchive));

    // Bits another program stored beside ours are kept.
    const std::string d = dir.file("shared");
    ASSERT_EQ(mkdir(d.c_str(), 0755), 0);
    ASSERT_EQ(setxattr(d.c_str(), "user.DOSATTRIB", "0x30", 4, 0), 0);
    ASSERT_EQ(WriteAttributes(d, AttrHidden), 0);
    EXPECT_EQ(StoredText(d), "0x12");
}

TEST_F(AttributeFiles, ReadOnlyFileTakesStoredBitsAndStaysReadOnly) {
    requireUserXattrs();
    const std::string f = make("ro", 0444);
    ASSERT_EQ(WriteAttributes(f, AttrReadOnly | AttrSystem), 0);
    EXPECT_EQ(AttributesOf(f), static_cast<uint32_t>(AttrReadOnly | AttrSystem));
    EXPECT_EQ(ModeOf(f), 0444u);
}

TEST_F(AttributeFiles, ModificationTimeKeepsTheAccessTime) {
    const std::string f = make("t");
    SetTimes(f, 1000000000, 1100000000);
    ASSERT_EQ(SetModificationTime(f, 946684800), 0);
    const struct stat st = StatOf(f);
    EXPECT_EQ(st.st_mtim.tv_sec, 946684800);
    EXPECT_EQ(st.st_atim.tv_sec, 1000000000);
    EXPECT_EQ(SetModificationTime(dir.file("gone"), 946684800), ENOENT);
}

TEST_F(AttributeFiles, ReadOnlyFileGetsANewTimeAndStaysReadOnly) {
    const std::string f = make("ro", 0444);
    AttributeRequest r;
    r.changes = {BitChange::Off, BitChange::On, BitChange::Off, BitChange::Off};
    r.newTime = 915148800;
    EXPECT_TRUE(ApplyToFile(f, r, ui));
    EXPECT_EQ(StatOf(f).st_mtim.tv_sec, 915148800);
    EXPECT_EQ(ModeOf(f), 0444u);
    // Cleared in the same step, the time still lands.
    r.changes.readOnly = BitChange::Off;
    r.newTime = 915148860;
    EXPECT_TRUE(ApplyToFile(f, r, ui));
    EXPECT_EQ(StatOf(f).st_mtim.tv_sec, 915148860);
    EXPECT_EQ(ModeOf(f), 0644u);
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(AttributeFiles, SeveralFilesTakeOnlyTheCheckedBits) {
    requireUserXattrs();
    const std::string a = make("a", 0444);
    const std::string b = make("b");
    ASSERT_EQ(WriteAttributes(b, AttrArchive), 0);
    AttributeRequest r;
    r.multi = true;
    r.changes.hidden = BitChange::On;
    EXPECT_EQ(ApplyToEntries({a, b}, false, r, ui), 0);
    EXPECT_EQ(AttributesOf(a), static_cast<uint32_t>(AttrReadOnly | AttrHidden));
    EXPECT_EQ(AttributesOf(b), static_cast<uint32_t>(AttrArchive | AttrHidden));
    EXPECT_EQ(ModeOf(a), 0444u);
}

TEST_F(AttributeFiles, FailuresAreReportedAndTheOthersStillChanged) {
    const std::string a = make("a");
    const std::string b = make("b");
    const std::string gone = dir.file("vanished");
    AttributeRequest r;
    r.multi = true;
    r.changes.readOnly = BitChange::On;
    r.newTime = 946684800;
    EXPECT_EQ(ApplyToEntries({a, gone, b}, false, r, ui), 1);
    EXPECT_EQ(ui.warnings, std::vector<int>{4172});
    EXPECT_TRUE(ui.errors.empty());
    for (const std::string& p : {a, b}) {
        EXPECT_EQ(ModeOf(p), 0444u) << p;
        EXPECT_EQ(StatOf(p).st_mtim.tv_sec, 946684800) << p;
    }

    // One entry: the platform's own words.
    RecordingUi single;
    r.multi = false;
    EXPECT_FALSE(ApplyToFile(gone, r, single));
    EXPECT_FALSE(ApplyToDirectory(gone, r, single));
    ASSERT_EQ(single.errors.size(), 2u);
    EXPECT_EQ(single.errors[0], std::strerror(ENOENT));
    EXPECT_TRUE(single.warnings.empty());
}

TEST_F(AttributeFiles, DirectoriesTakeAttributesAndTime) {
    const std::string d1 = dir.file("d1");
    const std::string d2 = dir.file("d2");
    ASSERT_EQ(mkdir(d1.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(d2.c_str(), 0755), 0);
    chmod(d2.c_str(), 0555);
    SetTimes(d1, 1000000000, 1000000000);
    AttributeRequest r;
    r.multi = true;
    r.changes.readOnly = BitChange::Off;
    r.newTime = 1234567890;
    EXPECT_EQ(ApplyToEntries({d1, d2}, true, r, ui), 0);
    EXPECT_EQ(ModeOf(d1), 0755u);
    EXPECT_EQ(ModeOf(d2), 0755u);
    EXPECT_EQ(StatOf(d1).st_mtim.tv_sec, 1234567890);
    EXPECT_EQ(StatOf(d1).st_atim.tv_sec, 1000000000);
    EXPECT_EQ(StatOf(d2).st_mtim.tv_sec, 1234567890);
}

TEST_F(AttributeFiles, StoringBitsWhereTheSystemRefusesFails) {
    // /proc entries keep no user attributes; the failure must not pass as success.
    const int err = WriteAttributes("/proc/self/cmdline", AttrSystem);
    EXPECT_NE(err, 0);
    RecordingUi single;
    AttributeRequest r;
    r.changes.system = BitChange::On;
    EXPECT_FALSE(ApplyToFile("/proc/self/cmdline", r, single));
    EXPECT_EQ(single.errors.size(), 1u);
}

} // namespace
