#include "ftp/ListingParser.h"

#include <gtest/gtest.h>

#include <fstream>
#include <ostream>
#include <string>
#include <vector>

namespace km {
namespace {

constexpr int64_t k1999June1 = 928195200;

struct Entry {
    std::string name;
    char kind; // 'd' directory, 'f' file, 'l' both (link), 'n' neither
    int64_t size;
    bool operator==(const Entry&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Entry& e) {
    return os << '{' << e.name << ' ' << e.kind << ' ' << e.size << '}';
}

struct Parsed {
    int ok = 0;
    ListingLineInfo info;
    Entry entry;
};

Parsed ParseLine(const std::string& line, int64_t now = k1999June1) {
    Parsed p;
    p.ok = ParseListingLine(p.info, line.data(), line.size(), now);
    const char kinds[2][2] = {{'n', 'f'}, {'d', 'l'}};
    p.entry = {std::string(ListingEntryName(p.info)), kinds[p.info.isDirectory][p.info.isFile],
               p.info.size};
    return p;
}

TEST(ListingParserUnix, ColumnsAndVariants) {
    struct Case {
        std::string line;
        Entry expected;
        int32_t timeKind;
        int64_t time;
    };
    // clang-format off
    const Case cases[] = {
        {"drwxr-xr-x   2 root     wheel        512 Jan 10  1999 pub\n", {"pub", 'd', 512}, ListingDateOnly, 915926400},
        // No group column.
        {"-rw-r--r--   1 owner        1234 Jan 10 12:34 notes.txt\n", {"notes.txt", 'f', 1234}, ListingDateTime, 915971640},
        {"lrwxrwxrwx   1 root     root           7 Dec  9  1999 bin -> usr/bin\n", {"bin", 'l', 7}, ListingDateOnly, 944697600},
        {"d [R----F--] supervisor            512 Jan 16 18:53    login\n", {"login", 'd', 512}, ListingDateTime, 916512780},
        // The second blank belongs to the name.
        {"-rw-r--r--   1 u g 5 Jan 10 12:34  spaced\n", {" spaced", 'f', 5}, ListingDateTime, 915971640},
        // Mac servers: "folder" stands for link count and owner.
        {"drwxr-xr-x folder        0 Jan 10  1999 Apps\n", {"Apps", 'd', 0}, ListingDateOnly, 915926400},
        {"-rw-r--r--   1 u g 5000000000 Jan 10  1999 big.iso\r\n", {"big.iso", 'f', 5000000000}, ListingDateOnly, 915926400},
        {"prw-r--r--   1 u g 0 Jan 10 9:05 fifo\n", {"fifo", 'n', 0}, ListingDateTime, 915959100},
        {"crw-------   1 root sys  109,767 Jul  2  2004 pci@1c,600000:devctl\n", {"pci@1c,600000:devctl", 'n', 0}, ListingDateOnly, 1088726400},
        {"crw-r----- 1 root kmem 0, 27 Jan 30  1999 kmem\n", {"kmem", 'n', 27}, ListingDateOnly, 917654400},
        {"-rw-r--r-- 1 u g 1 Feb 29  2000 leap\n", {"leap", 'f', 1}, ListingDateOnly, 951782400},
        {"-rw-r--r-- 1 u g 1 MAR  1  2100 noleap\n", {"noleap", 'f', 1}, ListingDateOnly, 4107542400},
        {"-rw-r--r-- 1 u g 1 mar  1  1600 old\n", {"old", 'f', 1}, ListingDateOnly, -11670912000},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const Parsed p = ParseLine(c.line);
        ASSERT_EQ(p.ok, 1);
        EXPECT_EQ(p.entry, c.expected);
        EXPECT_EQ(p.info.sizeKind, ListingSizeGiven);
        EXPECT_EQ(p.info.timeKind, c.timeKind);
        EXPECT_EQ(p.info.time, c.time);
    }
}

TEST(ListingParserUnix, NameRunsToTheLineEndWithinTheLine) {
    const std::string line = "-rw-r--r-- 1 u g 5 Jan 10  1999 a b\r\n";
    const Parsed p = ParseLine(line);
    ASSERT_EQ(p.ok, 1);
    EXPECT_EQ(p.info.name, line.data() + 32);
    EXPECT_EQ(p.info.nameLength, 5); // "a b\r\n": the caller cuts the line end
    EXPECT_EQ(p.entry.name, "a b");
}

TEST(ListingParserUnix, YearGuessFromTheInjectedDate) {
    const std::string jan10 = "-rw-r--r-- 1 u g 1 Jan 10 12:34 f\n";
    EXPECT_EQ(ParseLine(jan10, k1999June1).info.time, 915971640);
    // Five days ahead is still this year, not last year.
    EXPECT_EQ(ParseLine(jan10, 915494400).info.time, 915971640);
    // 350 days back is too far and lands in this year; 349 days keeps last year.
    EXPECT_EQ(ParseLine("-rw-r--r-- 1 u g 1 Jun 16 00:00 f\n").info.time, 929491200);
    EXPECT_EQ(ParseLine("-rw-r--r-- 1 u g 1 Jun 17 00:00 f\n").info.time, 898041600);
    // On New Year's Eve an early-January date is next year's.
    EXPECT_EQ(ParseLine("-rw-r--r-- 1 u g 1 Jan  1 10:00 f\n", 946598400).info.time, 946720800);

    SetListingClock([]() -> int64_t { return k1999June1; });
    ListingLineInfo info;
    EXPECT_EQ(ParseListingLine(info, jan10.data(), jan10.size()), 1);
    EXPECT_EQ(info.time, 915971640);
    SetListingClock(nullptr);
}

TEST(ListingParserVms, Lines) {
    struct Case {
        std::string line;
        Entry expected;
        int32_t sizeKind;
        int32_t timeKind;
        int64_t time;
    };
    // clang-format off
    const Case cases[] = {
        {"README.TXT;1    3/3   10-MAR-1999 12:34:56  [GROUP,OWNER]  (RWED,RWED,RE,)\n", {"README.TXT;1", 'f', 1536}, ListingSizeGiven, ListingDateTime, 921069240},
        {"SUB.DIR;1    1/3   2-jun-1998 07:32:04  [GROUP,OWNER]\r\n", {"SUB.DIR;1", 'd', 512}, ListingSizeGiven, ListingDateTime, 896772720},
        {"LONGNAME.LOG;1098\n", {"LONGNAME.LOG;1098", 'f', 0}, ListingNoSize, ListingNoTime, 0},
        {"LONGNAME.LOG;1098   \r\n", {"LONGNAME.LOG;1098", 'f', 0}, ListingNoSize, ListingNoTime, 0},
        {"A.;2  18  2-JUN-1998 07:32", {"A.;2", 'f', 9216}, ListingSizeGiven, ListingDateTime, 896770800},
        {"A.;2  18  2-JUN-1998   \n", {"A.;2", 'f', 9216}, ListingSizeGiven, ListingDateTime, 896745600},
        // Wrapped long name joined with its continuation line.
        {"UCX$REXECD_STARTUP.LOG;1098\n   4/15  24-FEB-2003 13:17:24  [POSTWARE,LP]\n", {"UCX$REXECD_STARTUP.LOG;1098", 'f', 2048}, ListingSizeGiven, ListingDateTime, 1046092620},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const Parsed p = ParseLine(c.line);
        ASSERT_EQ(p.ok, 1);
        EXPECT_EQ(p.entry, c.expected);
        EXPECT_EQ(p.info.sizeKind, c.sizeKind);
        EXPECT_EQ(p.info.timeKind, c.timeKind);
        EXPECT_EQ(p.info.time, c.time);
    }
}

TEST(ListingParserDos, Lines) {
    struct Case {
        std::string line;
        Entry expected;
        int64_t time;
    };
    // clang-format off
    const Case cases[] = {
        {"01-16-19  10:30AM       <DIR>          pub\r\n", {"pub", 'd', 0}, 1547634600},
        {"01-16-2019  07:05PM                 1234 read me.txt\r\n", {"read me.txt", 'f', 1234}, 1547665500},
        {"12-31-99  11:59PM              123456789012 big.iso\n", {"big.iso", 'f', 123456789012}, 946684740},
        {"06-01-99  12:05AM 5 midnight\n", {"midnight", 'f', 5}, 928195500},
        {"06-01-99  12:05PM 5 noon\n", {"noon", 'f', 5}, 928238700},
        {"06-01-1999  23:59 <DIR> late\n", {"late", 'd', 0}, 928281540},
        {"06-01-99  1:05AM 9223372036854775807 huge\n", {"huge", 'f', 9223372036854775807}, 928199100},
        // Two-digit years pivot at 70.
        {"01-01-69  12:00AM 1 y2069\n", {"y2069", 'f', 1}, 3124224000},
        {"01-01-70  12:00AM 1 y1970\n", {"y1970", 'f', 1}, 0},
        {"02-29-00  07:00AM 1 leap\n", {"leap", 'f', 1}, 951807600},
        // After the one separating blank, blanks are part of the name.
        {"01-16-19  10:30AM                 5   two  blanks \r\n", {"  two  blanks ", 'f', 5}, 1547634600},
        {"01-16-19  10:30AM       <DIR>           lead\r\n", {" lead", 'd', 0}, 1547634600},
        {"01-16-19  10:30AM       <DIR>    a;1\n", {"a;1", 'd', 0}, 1547634600},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const Parsed p = ParseLine(c.line);
        ASSERT_EQ(p.ok, 1);
        EXPECT_EQ(p.entry, c.expected);
        EXPECT_EQ(p.info.sizeKind, ListingSizeGiven);
        EXPECT_EQ(p.info.timeKind, ListingDateTime);
        EXPECT_EQ(p.info.time, c.time);
    }
}

TEST(ListingParserDos, OutOfRangeOrMalformedIsSkipped) {
    const char* const lines[] = {
        "13-16-19  10:30AM  5 f\n",
        "00-16-19  10:30AM  5 f\n",
        "01-32-19  10:30AM  5 f\n",
        "01-00-19  10:30AM  5 f\n",
        "02-29-01  10:30AM  5 f\n",
        "02-29-2100  10:30AM  5 f\n",
        "04-31-2019  10:30AM  5 f\n",
        "01-16-19  13:30PM  5 f\n",
        "01-16-19  00:30AM  5 f\n",
        "01-16-19  24:00  5 f\n",
        "01-16-19  10:60AM  5 f\n",
        "01-16-19  10:30AM  9223372036854775808 f\n",
        "01-16-19  10:30AM  12x4 f\n",
        "01-16-19  10:30AM  -5 f\n",
        "01-16-19  10:30AM  1,234 f\n",
        "01-16-19  10:30XM  5 f\n",
        "01-16-19  10:30AM  <dir> f\n",
        "01-16-199  10:30AM  5 f\n",
        // No name.
        "01-16-19  10:30AM  5\n",
        "01-16-19  10:30AM  5 \r\n",
        "01-16-19  10:30AM       <DIR>          \r\n",
        "01-16-19  10:30AM  <DIR>\n",
        // An out-of-range DOS line is not read as a VMS one named by its date.
        "13-16-19  10:30  1  2-JUN-1998 07:32 x;1\n",
        "01-16-19  10:30AM  5 .\n",
        "01-16-19  10:30AM  <DIR> ..\n",
        "01-16-19  10:30AM  5 ..\\..\\x/y\n",
    };
    for (const char* line : lines) {
        SCOPED_TRACE(line);
        const Parsed p = ParseLine(line);
        EXPECT_EQ(p.ok, 0);
        EXPECT_EQ(p.info.name, nullptr);
    }
    // Not the DOS shape: still read as VMS, as before.
    EXPECT_EQ(ParseLine("12-31-99.TXT;1  1  2-JUN-1998 07:32:04 [G,O]\n").entry.name,
              "12-31-99.TXT;1");
}

TEST(ListingParser, NotRecognised) {
    const char* const lines[] = {
        "total 12\n",
        "+i8388621.29609,m824255902,/,\tdev\n",
        "\n",
        "d",
        "",
        // Three characters in the year column.
        "drwxr-xr-x 2 u g 512 Jan 10 199 pub\n",
        // The date is the last word: nothing ends it.
        "-rw-r--r-- 1 u g 5 Jan 10 1999\n",
        "-rw-r--r-- 1 u g 5 Jan 10 1999 \n",
        // Numbers a careful reader does not trust.
        "-rw-r--r-- 1 u g 119:26 Aug 22  2000 f\n",
        "-rw-r--r-- 1 u g 99999999999999999999 Aug 22  2000 f\n",
        "-rw-r--r-- 1 u g 5 Aug 36  2001 f\n",
        "-rw-r--r-- 1 u g 5 Aug 0  2001 f\n",
        "-rw-r--r-- 1 u g 5 Feb 23 30:01 f\n",
        "-rw-r--r-- 1 u g 5 Apr -7 18:79 f\n",
        "-rw-r--r-- 1 u g 5 Apr 7 20011 f\n",
        "A.;2  18  2-JUN-1998\n",
        "A.;2  18  2-JUN-98 07:32:04 [G,O]\n",
        "A.;2  x/18  2-JUN-1998 07:32:04 [G,O]\n",
        "A.;2  18  2-JUN-1998 25:32:04 [G,O]\n",
        "A.;2  18  2-JUN-1998 07:62:04 [G,O]\n",
        "A.;2  18  2-FED-1998 07:32:04 [G,O]\n",
        "A.;2  99999999999999999 2-JUN-1998 07:32:04 [G,O]\n",
        ";A  18  2-JUN-1998 07:32:04 [G,O]\n",
    };
    for (const char* line : lines) {
        SCOPED_TRACE(line);
        EXPECT_EQ(ParseLine(line).ok, 0);
    }
}

// A listed name becomes a local file name: nothing that could leave the target
// directory, or name it, is returned.
TEST(ListingParser, NamesThatCouldEscapeAreSkipped) {
    const char* const lines[] = {
        "drwxr-xr-x 2 u g 512 Jan 10  1999 .\n",
        "drwxr-xr-x 2 u g 512 Jan 10  1999 ..\r\n",
        "-rw-r--r-- 1 u g 5 Jan 10  1999 ../../.bashrc\n",
        "-rw-r--r-- 1 u g 5 Jan 10  1999 /etc/passwd\n",
        "-rw-r--r-- 1 u g 5 Jan 10  1999 dir/file\n",
        "lrwxrwxrwx 1 u g 5 Jan 10  1999 a/b -> c\n",
        "lrwxrwxrwx 1 u g 5 Jan 10  1999 .. -> /\n",
        "d [R----F--] supervisor 512 Jan 16 18:53    ..\n",
        "../X.TXT;1  1/1  2-JUN-1998 07:32:04\n",
        "..  1/1  2-JUN-1998 07:32:04  [G;O]\n",
        " ;1  1/1  2-JUN-1998 07:32:04\n",
    };
    for (const char* line : lines) {
        SCOPED_TRACE(line);
        const Parsed p = ParseLine(line);
        EXPECT_EQ(p.ok, 0);
        EXPECT_EQ(p.info.name, nullptr);
        EXPECT_EQ(p.info.nameLength, 0);
    }
    const std::string withNul("-rw-r--r-- 1 u g 5 Jan 10  1999 a\0b\n", 36);
    EXPECT_EQ(ParseLine(withNul).ok, 0);
    // Dots inside a name are fine.
    EXPECT_EQ(ParseLine("-rw-r--r-- 1 u g 5 Jan 10  1999 ...\n").entry.name, "...");
    EXPECT_EQ(ParseLine("lrwxrwxrwx 1 u g 5 Jan 10  1999 up -> ../..\n").entry.name, "up");
}

// Every prefix of a line, and a very long line, stay inside the buffer.
TEST(ListingParser, HostileInputStaysInBounds) {
    const std::string good[] = {
        "lrwxrwxrwx 1 u g 5 Jan 10 12:34    bin -> usr/bin\r\n",
        "UCX$REXECD_STARTUP.LOG;1098\n   4/15  24-FEB-2003 13:17:24  [POSTWARE,LP]\n",
        "01-16-2019  07:05PM       <DIR>           read me\r\n",
    };
    for (const std::string& line : good) {
        for (std::size_t n = 0; n <= line.size(); ++n) {
            // A heap copy of exactly n bytes, so a read past it is caught by ASan.
            std::vector<char> prefix(line.begin(), line.begin() + static_cast<long>(n));
            ListingLineInfo info;
            if (ParseListingLine(info, prefix.data(), n, k1999June1) == 1) {
                EXPECT_GE(info.name, prefix.data());
                EXPECT_LE(info.name + info.nameLength, prefix.data() + n);
            }
        }
    }
    std::string longName = "-rw-r--r-- 1 u g 5 Jan 10  1999 " + std::string(1 << 20, 'x');
    EXPECT_EQ(ParseLine(longName).info.nameLength, 1 << 20);
    EXPECT_EQ(ParseLine("d" + std::string(1 << 20, ';')).ok, 0);
}

std::vector<std::string> FixtureLines(const std::string& file, bool vms) {
    std::ifstream in(std::string(KM_FIXTURES_DIR) + "/ftp/" + file, std::ios::binary);
    EXPECT_TRUE(in) << file;
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        line += '\n';
        // As the panel does for a VMS host: a long name wraps its details onto the next line.
        std::string next;
        if (vms && line.find(';') != std::string::npos && line.find('[') == std::string::npos &&
            std::getline(in, next))
            line += next + '\n';
        lines.push_back(line);
    }
    return lines;
}

std::vector<Entry> ParseFixture(const std::string& file, bool vms) {
    std::vector<Entry> entries;
    for (const std::string& line : FixtureLines(file, vms)) {
        const Parsed p = ParseLine(line);
        if (p.ok)
            entries.push_back(p.entry);
    }
    return entries;
}

TEST(ListingParserFixtures, UnixGood) {
    // Left out, as the layouts allow: the 'f' type letter and the Japanese dates.
    // clang-format off
    const std::vector<Entry> expected = {
        {"JB3-TES1.gz", 'f', 21}, {"zxbox", 'f', 4096}, {"zxjdbc", 'd', 4096},
        {"zziplib", 'd', 4096}, {"zzplayer", 'd', 4096}, {"zztpp", 'd', 4096}, {"prog", 'd', 512},
        {"zxJDBC-1.2.3.tar.gz", 'l', 80284}, {"zxJDBC-1.2.4.tar.gz", 'n', 83853},
        {"zxJDBC-1.2.4.zip", 'n', 126552}, {"zxJDBC-2.0.1b1.tar.gz", 'f', 111325},
        {"zxJDBC-2.0.1b1.zip", 'f', 190144}, {"73131-testtes1.afp", 'f', 166},
        {"73131-testtes1.AFP", 'f', 166}, {"73131-testtes2.afp", 'f', 166},
        {"73131-testtes2.AFP", 'f', 166}, {"testRemoteUPCopyNIX", 'f', 2040000},
        {"testRemoteUPDCopyNIX", 'f', 2040000}, {"testRemoteUPVCopyNIX", 'f', 2040000},
        {"testSticky", 'f', 0}, {"testStickyExec", 'f', 0}, {"testSuid", 'f', 0},
        {"testSuidExec", 'f', 0}, {"testSuidExec2", 'f', 0}, {"testACL", 'd', 0},
        {"std", 'f', 3518644}, {"macros", 'l', 23}, {"zxJDBC-1.2.4.tar.gz", 'f', 83853},
        {"kmem", 'n', 27}, {"pci@1c,600000:devctl", 'n', 0}, {"bloplab 7 cd1.img", 'f', 816026400},
        {"std", 'f', 3518644}, {"std", 'f', 3518644},
    };
    // clang-format on
    EXPECT_EQ(ParseFixture("unix-good-commons-net.txt", false), expected);
}

TEST(ListingParserFixtures, UnixCurlReply) {
    // "total 20", "." and ".." are not entries.
    const std::vector<Entry> expected = {
        {"curl-releases", 'd', 512}, {"README", 'f', 35}, {"bin", 'l', 7},   {"dev", 'd', 512},
        {"download.html", 'd', 512}, {"etc", 'd', 512},   {"pub", 'd', 512}, {"usr", 'd', 512}};
    EXPECT_EQ(ParseFixture("unix-curl-test100.txt", false), expected);
}

TEST(ListingParserFixtures, UnixBad) {
    // Only the bad permission letters and the glued link count are harmless here: the
    // name, size and date read right. Bad type, month, time, day, size and missing
    // year are skipped.
    const std::vector<Entry> expected = {{"zxjdbc", 'd', 4096}, {"zxJDBC-1.2.4.zip", 'f', 126552}};
    EXPECT_EQ(ParseFixture("unix-bad-commons-net.txt", false), expected);
}

TEST(ListingParserFixtures, VmsGood) {
    // clang-format off
    const std::vector<Entry> expected = {
        {"1-JUN.LIS;1", 'f', 4608}, {"1-JUN.LIS;3", 'f', 4608}, {"1-JUN.LIS;2", 'f', 4608},
        {"DATA.DIR;1", 'd', 512}, {"120196.TXT;1", 'f', 118 * 512},
        {"30CHARBAR.TXT;1", 'f', 11 * 512}, {"A.;2", 'f', 18 * 512}, {"AA.;2", 'f', 152 * 512},
        {"UCX$REXECD_STARTUP.LOG;1098", 'f', 4 * 512}, {"UNARCHIVE.COM;1", 'f', 2 * 512},
        {"UNXMERGE.COM;15", 'f', 512}, {"UNXTEMP.COM;7", 'f', 512},
        {"UNZIP_AND_ATTACH_FILES.COM;12", 'f', 14 * 512},
        {"UNZIP_AND_ATTACH_FILES.SAV;1", 'f', 14 * 512}, {"FREEWARE40.DIR;1", 'd', 27 * 512},
        {"1-JUN.LIS;1", 'f', 4608}, {"ALLOCMISS.COM;1", 'f', 512},
    };
    // clang-format on
    EXPECT_EQ(ParseFixture("vms-good-commons-net.txt", true), expected);
}

// The heading, blank lines and the trailer are not entries.
TEST(ListingParserFixtures, VmsFullListing) {
    const std::vector<Entry> expected = {{"1-JUN.LIS;1", 'f', 4608}, {"2-JUN.LIS;1", 'f', 4608},
                                         {"3-JUN.LIS;1", 'f', 4608}, {"3-JUN.LIS;4", 'f', 4608},
                                         {"3-JUN.LIS;2", 'f', 4608}, {"3-JUN.LIS;3", 'f', 4608}};
    EXPECT_EQ(ParseFixture("vms-full-listing-commons-net.txt", true), expected);
}

TEST(ListingParserFixtures, VmsBad) {
    // A trailing "PM", a dash in the owner and odd protection codes leave name, size
    // and date intact; the other records and the header and trailer are skipped.
    const std::vector<Entry> expected = {{"120196.TXT;1", 'f', 118 * 512},
                                         {"30CHARBAR.TXT;1", 'f', 11 * 512},
                                         {"A.;2", 'f', 18 * 512}};
    EXPECT_EQ(ParseFixture("vms-bad-commons-net.txt", true), expected);
}

} // namespace
} // namespace km
