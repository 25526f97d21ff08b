// The engine's pieces that work on bytes alone: result texts, reply mapping,
// reply texts, line ends, and the settings it reads.
#include "ftp/FtpAddress.h"
#include "ftp/FtpCommandTable.h"
#include "ftp/FtpConfig.h"
#include "ftp/FtpLineEnds.h"
#include "ftp/FtpReplyText.h"
#include "ftp/FtpResult.h"
#include "ftp/FtpSession.h"
#include "settings/SettingsStore.h"
#include "support/TempDir.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <string>

namespace km {
namespace {

TEST(FtpResult, UnknownCodesHaveTheirOwnText) {
    EXPECT_STREQ(FtpErrorText(5001), "Unknown error code");
    EXPECT_STREQ(FtpErrorText(-2), "Unknown error code");
    EXPECT_STREQ(FtpSession::ErrorText(-1), "FTP - File transfer aborted");
}

TEST(FtpCommandTable, RepliesMapThroughEachCommandsList) {
    // CWD and CDUP share the list of DELE, "HELP %s" that of HELP.
    EXPECT_EQ(FtpMapReply(kCmdCdup, 550), kFtpActionNotTaken);
    EXPECT_EQ(FtpMapReply(kCmdHelpOn, 214), 0);
    EXPECT_EQ(FtpMapReply(kCmdCwd, 226), kFtpUnexpectedAnswer);
    // Transport failures: no reply, closed, timeout, cancelled, overflow.
    EXPECT_EQ(FtpMapReply(kCmdPwd, -1), kFtpNoAnswer);
    EXPECT_EQ(FtpMapReply(kCmdPwd, 0), kFtpUnexpectedAnswer);
    EXPECT_EQ(FtpMapReply(kCmdPwd, -2), kFtpUnexpectedAnswer);
    EXPECT_EQ(FtpMapReply(kCmdPwd, -11), kFtpUnexpectedAnswer);
    EXPECT_EQ(FtpMapReply(kCmdPwd, 2), kFtpUnexpectedAnswer);
    EXPECT_EQ(FtpMapReply(99, 200), kFtpUnexpectedAnswer);
    EXPECT_EQ(FtpFormatCommand(FtpCommandFormat(kCmdRnto), "a b%s"), "RNTO a b%s");
    EXPECT_EQ(FtpFormatCommand(FtpCommandFormat(kCmdCdup), "ignored"), "CDUP");
    EXPECT_EQ(FtpCommandFormat(kCmdGreeting), nullptr);
}

TEST(FtpReplyText, QuotedNames) {
    std::string name;
    EXPECT_TRUE(FtpQuotedName("257 \"/pub/linux\" is current directory.", name));
    EXPECT_EQ(name, "/pub/linux");
    EXPECT_TRUE(FtpQuotedName("257 \"/say \"\"hi\"\"\" created.", name));
    EXPECT_EQ(name, "/say \"hi\"");
    EXPECT_FALSE(FtpQuotedName("257 /pub is current", name));
    EXPECT_FALSE(FtpQuotedName("257 \"unterminated", name));
    EXPECT_EQ(name, "");
    EXPECT_FALSE(FtpQuotedName("257", name));
    EXPECT_EQ(FtpTextAfterCode("257 /pub is current"), "/pub is current");
    EXPECT_EQ(FtpTextAfterCode("257 "), "");
}

TEST(FtpReplyText, PassiveReplies) {
    uint32_t addr = 0;
    uint16_t port = 0;
    ASSERT_TRUE(FtpParsePassive("227 Entering Passive Mode (10,1,2,3,195,80).", addr, port));
    EXPECT_EQ(addr, inet_addr("10.1.2.3"));
    EXPECT_EQ(port, 195 * 256 + 80);
    ASSERT_TRUE(FtpParsePassive("227 =(127,0,0,1,0,21)", addr, port));
    EXPECT_EQ(port, 21);
    EXPECT_FALSE(FtpParsePassive("227 Entering Passive Mode 10,1,2,3,4,5", addr, port));
    EXPECT_FALSE(FtpParsePassive("227 (10,1,2,3,4)", addr, port));
    EXPECT_FALSE(FtpParsePassive("227 (10,1,2,3,4,256)", addr, port));
    EXPECT_FALSE(FtpParsePassive("227 (10,1,2,3,4,99999)", addr, port));
    EXPECT_FALSE(FtpParsePassive("227 (10,1,,3,4,5)", addr, port));
    EXPECT_FALSE(FtpParsePassive("227 (", addr, port));
}

TEST(FtpLineEnds, ConvertsAcrossBlockBoundaries) {
    FtpLineEnds in;
    char out[32];
    std::string local;
    for (std::string block : {"a\r", "\nb\r", "c\r\r", "\n", "d\r"}) {
        const size_t n = in.FromNetwork(block.data(), block.size(), out);
        local.append(out, n);
    }
    local.append(out, in.FinishFromNetwork(out));
    EXPECT_EQ(local, "a\nb\rc\r\nd\r");

    FtpLineEnds outward;
    std::string wire;
    for (std::string block : {"x\n", "y\r", "\nz\n\n"}) {
        const size_t n = outward.ToNetwork(block.data(), block.size(), out);
        wire.append(out, n);
    }
    EXPECT_EQ(wire, "x\r\ny\r\nz\r\n\r\n");
}

TEST(FtpConfig, ReadsSectionFtpWithSaneFallbacks) {
    test::TempDir tmp;
    SettingsStore store(tmp.file("KM.reg"));
    FtpConfig c = ReadFtpConfig(store);
    EXPECT_TRUE(c.passive) << "passive works behind NAT, so it is the default";
    EXPECT_EQ(c.port, 21);
    EXPECT_EQ(c.timeout, 30);
    EXPECT_EQ(c.rateLimit, 0) << "no pacing unless the user asks for it";

    store.PutInt("FTP", "Passive", 0);
    store.PutInt("FTP", "Port", 2121);
    store.PutInt("FTP", "Timeout", 5);
    c = ReadFtpConfig(store);
    EXPECT_FALSE(c.passive);
    EXPECT_EQ(c.port, 2121);
    EXPECT_EQ(c.timeout, 5);

    store.PutInt("FTP", "Port", 70000);
    store.PutInt("FTP", "Timeout", 0);
    c = ReadFtpConfig(store);
    EXPECT_EQ(c.port, 21);
    EXPECT_EQ(c.timeout, 30);
}

TEST(FtpConfig, OldPacingIsOnlyTheValueOfAnOptionalRateLimit) {
    test::TempDir tmp;
    SettingsStore store(tmp.file("KM.reg"));
    // An old settings file: 40 blocks of 4 KiB, then 100 ms.
    store.PutInt("FTP", "PauseBlocks", 40);
    store.PutInt("FTP", "PauseMs", 100);
    EXPECT_EQ(ReadFtpConfig(store).rateLimit, 0);
    EXPECT_EQ(StoredRateLimitKiB(store), 1600);
    store.PutInt("FTP", "LimitRate", 1);
    EXPECT_EQ(ReadFtpConfig(store).rateLimit, 1600 * 1024);
    store.PutInt("FTP", "RateLimit", 64);
    EXPECT_EQ(ReadFtpConfig(store).rateLimit, 64 * 1024) << "the user's own value wins";
    store.PutInt("FTP", "RateLimit", 0);
    EXPECT_EQ(StoredRateLimitKiB(store), 1024) << "a limit of nothing is no limit value";
}

TEST(FtpSession, OneSessionPerProcess) {
    FtpSession a;
    FtpSession b;
    std::string text;
    EXPECT_EQ(a.ChangeDir("/"), kFtpNotInitialized);
    EXPECT_EQ(a.Release(), kFtpNoSession);
    ASSERT_EQ(a.Init(), kFtpOk);
    EXPECT_EQ(a.Init(), kFtpAlreadyActive);
    EXPECT_EQ(b.Init(), kFtpAlreadyActive);
    EXPECT_EQ(a.CurrentDir(text), kFtpNotConnected);
    EXPECT_EQ(a.Login("", "u", "p"), kFtpBadParameters);
    EXPECT_EQ(a.List("", "x"), kFtpNotConnected);
    EXPECT_EQ(a.Release(), kFtpOk);
    EXPECT_EQ(b.Init(), kFtpOk);
    EXPECT_EQ(b.Release(), kFtpOk);
}

} // namespace
} // namespace km

namespace km {
namespace {

TEST(FtpReplyText, ExtendedPassiveFeaturesSizeAndTime) {
    uint16_t port = 0;
    EXPECT_TRUE(FtpParseExtendedPassive("229 Entering Extended Passive Mode (|||6446|)", port));
    EXPECT_EQ(port, 6446);
    EXPECT_TRUE(FtpParseExtendedPassive("229 ok (!!!21!)", port)) << "any delimiter";
    EXPECT_EQ(port, 21);
    for (const char* bad : {"229 (|||0|)", "229 (|||99999|)", "229 (||1|)", "229 |||21|",
                            "229 (|||21", "229 (111211)", "229 (|||  21|)"})
        EXPECT_FALSE(FtpParseExtendedPassive(bad, port)) << bad;

    const FtpFeatures f = FtpParseFeatures(
        "211-Features:\n MDTM\n MLST type*;size*;modify*;\n REST STREAM\n SIZE\n UTF8\n211 End");
    EXPECT_TRUE(f.mdtm && f.mlsd && f.restStream && f.size && f.utf8);
    EXPECT_FALSE(f.epsv);
    const FtpFeatures none = FtpParseFeatures("211-Features:\nMDTM\n REST\n211 SIZE");
    EXPECT_FALSE(none.mdtm || none.restStream || none.size) << "feature lines start with a blank";

    uint64_t size = 0;
    EXPECT_TRUE(FtpParseSizeReply("213 18446744073709551615", size));
    EXPECT_EQ(size, UINT64_MAX);
    EXPECT_FALSE(FtpParseSizeReply("213 18446744073709551616", size));
    EXPECT_FALSE(FtpParseSizeReply("213 12x", size));
    int64_t when = 0;
    EXPECT_TRUE(FtpParseTimeReply("213 20231114221320.5", when));
    EXPECT_EQ(when, 1700000000);
    EXPECT_FALSE(FtpParseTimeReply("213 20231314221320", when)) << "month 13";
}

TEST(FtpAddress, HostsAndPortsAsUsersTypeThem) {
    struct Case {
        const char* typed;
        const char* host;
        uint16_t port;
    };
    const Case cases[] = {
        {"ftp.example.org", "ftp.example.org", 21},  {"ftp.example.org:2121", "ftp.example.org", 2121},
        {"192.0.2.1:990", "192.0.2.1", 990},         {"[2001:db8::1]:2121", "2001:db8::1", 2121},
        {"[::1]", "::1", 21},                        {"::1", "::1", 21},
        {"host:0", "host", 21},                      {"host:70000", "host", 21},
        {"host:21x", "host", 21},
    };
    for (const Case& c : cases) {
        std::string host;
        uint16_t port = 0;
        SplitFtpAddress(c.typed, 21, host, port);
        EXPECT_EQ(host, c.host) << c.typed;
        EXPECT_EQ(port, c.port) << c.typed;
    }
}

} // namespace
} // namespace km
