#include "settings/SettingsStore.h"

#include "support/AsNobody.h"
#include "support/TempDir.h"

#include <climits>
#include <csignal>
#include <filesystem>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace km {
namespace {

using test::ReadAll;
using test::WriteAll;

class SettingsStoreTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(tmp.path().empty()); }

    bool canWriteInto(const std::string& dir) {
        std::string probe = dir + "/probe";
        int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT, 0600);
        if (fd < 0)
            return false;
        ::close(fd);
        ::unlink(probe.c_str());
        return true;
    }

    test::TempDir tmp;
    std::string path = tmp.file("Orlent/KM.reg");
};

TEST_F(SettingsStoreTest, ValuesSurviveReopen) {
    const std::string odd = "C:\\dir \"quoted\"\nline two\r\n\xC3\xA9\xFF";
    {
        SettingsStore s(path);
        EXPECT_TRUE(s.PutInt("Algemeen", "bA4", -1));
        EXPECT_TRUE(s.PutInt("Algemeen", "Min", INT32_MIN));
        EXPECT_TRUE(s.PutString("Paden", "Links", odd));
        EXPECT_TRUE(s.PutString("Paden", "Nul", std::string_view("ab\0cd", 5)));
    }
    EXPECT_NE(ReadAll(path).find("\"bA4\"=dword:ffffffff"), std::string::npos);
    SettingsStore s(path);
    EXPECT_EQ(s.loadProblem(), "");
    EXPECT_EQ(s.GetInt("Algemeen", "bA4", 7), -1);
    EXPECT_EQ(s.GetInt("Algemeen", "Min", 7), INT32_MIN);
    EXPECT_EQ(s.GetString("Paden", "Links", ""), odd);
    EXPECT_EQ(s.GetString("Paden", "Nul", ""), "ab"); // a registry string ends at NUL
}

TEST_F(SettingsStoreTest, NamesFoldCaseAndKeepFirstSpelling) {
    {
        SettingsStore s(path);
        s.PutInt("Algemeen", "Regelnummers", 1);
        EXPECT_EQ(s.GetInt("ALGEMEEN", "RegelNummers", 0), 1);
        s.PutInt("algemeen", "REGELNUMMERS", 2);
        s.PutInt("Algemeen", "Afkappen", 0);
    }
    SettingsStore s(path);
    std::vector<SettingsValue> values = s.ListValues("algemeen");
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0].name, "Regelnummers");
    EXPECT_TRUE(values[0].isInt);
    EXPECT_EQ(values[0].intValue, 2);
    EXPECT_EQ(values[1].name, "Afkappen");
    EXPECT_NE(ReadAll(path).find("\\KM\\Algemeen]"), std::string::npos);
}

TEST_F(SettingsStoreTest, DeletingValuesAndSections) {
    {
        SettingsStore s(path);
        s.PutString("FTPSites", "home", "host\t1");
        s.PutString("FTPSites", "work", "other\t0");
        s.PutString("Algemeen", "Titel", "x");
        s.PutString("Algemeen", "Commando1", "ls");
        EXPECT_TRUE(s.PutString("Algemeen", "titel", std::nullopt));
        EXPECT_EQ(s.GetString("Algemeen", "Titel", "dflt"), "dflt");
        EXPECT_TRUE(s.DeleteValue("Algemeen", "COMMANDO1"));
        EXPECT_FALSE(s.DeleteValue("Algemeen", "Commando1"));
        EXPECT_FALSE(s.DeleteValue("Nowhere", "x"));
        EXPECT_TRUE(s.PutString("ftpsites", std::nullopt, std::nullopt));
        EXPECT_FALSE(s.HasSection("FTPSites"));
    }
    SettingsStore s(path);
    EXPECT_FALSE(s.HasSection("FTPSites"));
    EXPECT_TRUE(s.HasSection("Algemeen"));
    EXPECT_TRUE(s.ListValues("Algemeen").empty());
}

TEST_F(SettingsStoreTest, SectionsMadeByReadsAreSavedLater) {
    {
        SettingsStore s(path);
        EXPECT_EQ(s.GetInt("Algemeen", "Bestandsnamen", 2460), 2460);
        EXPECT_EQ(s.GetString("Paden", "Editor", "none"), "none");
        EXPECT_TRUE(s.ListValues("FTPSites").empty());
        EXPECT_TRUE(s.HasSection("Paden"));
        EXPECT_FALSE(s.HasSection("Kleuren"));
        EXPECT_FALSE(std::filesystem::exists(path)); // a read never writes
    }
    SettingsStore s(path);
    EXPECT_TRUE(s.HasSection("algemeen"));
    EXPECT_TRUE(s.HasSection("Paden"));
    EXPECT_TRUE(s.HasSection("FTPSites"));
}

TEST_F(SettingsStoreTest, ReadingSeesOnlyTheRightTypes) {
    WriteAll(tmp.file("in.reg"), "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Orlent\\KM\\T]\n"
                                 "\"s\"=\"12\"\n\"d\"=dword:0000000c\n\"b\"=hex:78,56,34,12\n"
                                 "\"b3\"=hex:01,02,03\n\"e\"=hex(2):25,54,25,00\n");
    SettingsStore s(tmp.file("in.reg"));
    EXPECT_EQ(s.GetInt("T", "s", -5), -5);
    EXPECT_EQ(s.GetString("T", "d", "dflt"), "dflt");
    EXPECT_EQ(s.GetInt("T", "b", 0), 0x12345678);
    EXPECT_EQ(s.GetInt("T", "b3", -5), -5);
    EXPECT_EQ(s.GetString("T", "e", ""), "%T%");
}

TEST_F(SettingsStoreTest, HandWrittenExportLoadsAndSurvivesRewrite) {
    std::string file = tmp.file("export.reg");
    WriteAll(file, "REGEDIT4\r\n\r\n; exported by hand\r\n"
                   "[HKEY_CURRENT_USER\\Software\\Orlent\\KM]\r\n\"Version\"=\"3\"\r\n\r\n"
                   "[HKEY_CURRENT_USER\\Software\\Orlent\\KM\\Paden]\r\n"
                   "  \"Links\" = \"C:\\\\Program Files\\\\\"\r\n"
                   "\"Hint\"=\"say \\\"hi\\\" to C:\\Temp\"\r\n"
                   "\"LSort\"=dword:00000081\r\n"
                   "\"Blob\"=hex:00,01,02,03,04,\\\r\n  05,06\r\n"
                   "\"Multi\"=hex(7):61,00,62,00,00\r\n\r\n"
                   "[HKEY_CURRENT_USER\\Software\\Other]\r\n@=\"kept\"\r\n");
    {
        SettingsStore s(file);
        ASSERT_EQ(s.loadProblem(), "");
        EXPECT_EQ(s.GetString("Paden", "Links", ""), "C:\\Program Files\\");
        EXPECT_EQ(s.GetString("Paden", "Hint", ""), "say \"hi\" to C:\\Temp");
        EXPECT_EQ(s.GetInt("Paden", "LSort", 0), 0x81);
        EXPECT_TRUE(s.PutInt("Paden", "RSort", 16));
    }
    std::string rewritten = ReadAll(file);
    EXPECT_EQ(rewritten.find('\r'), std::string::npos);
    EXPECT_NE(rewritten.find("[HKEY_CURRENT_USER\\Software\\Orlent\\KM]\n\"Version\"=\"3\"\n"),
              std::string::npos);
    EXPECT_NE(rewritten.find("\"Blob\"=hex:00,01,02,03,04,05,06\n"), std::string::npos);
    EXPECT_NE(rewritten.find("\"Multi\"=hex(7):61,00,62,00,00\n"), std::string::npos);
    EXPECT_NE(rewritten.find("[HKEY_CURRENT_USER\\Software\\Other]\n@=\"kept\"\n"),
              std::string::npos);
    SettingsStore s(file);
    EXPECT_EQ(s.GetString("Paden", "Hint", ""), "say \"hi\" to C:\\Temp");
    EXPECT_EQ(s.GetInt("Paden", "RSort", 0), 16);
    EXPECT_EQ(s.ListValues("Paden").size(), 6u);
}

class DamagedFileTest : public SettingsStoreTest,
                        public testing::WithParamInterface<std::string> {};

TEST_P(DamagedFileTest, IsMovedAsideAndDefaultsUsed) {
    std::filesystem::create_directories(tmp.file("Orlent"));
    WriteAll(path + ".bad", "an older bad file");
    WriteAll(path, GetParam());
    {
        SettingsStore s(path);
        EXPECT_NE(s.loadProblem(), "");
        EXPECT_EQ(ReadAll(path + ".bad"), GetParam());
        EXPECT_FALSE(std::filesystem::exists(path));
        EXPECT_EQ(s.GetInt("Algemeen", "Hidden", 0), 0);
        EXPECT_TRUE(s.PutInt("Algemeen", "Hidden", 1));
    }
    SettingsStore s(path);
    EXPECT_EQ(s.loadProblem(), "");
    EXPECT_EQ(s.GetInt("Algemeen", "Hidden", 0), 1);
    EXPECT_EQ(ReadAll(path + ".bad"), GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Files, DamagedFileTest,
    testing::Values("garbage\n", "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Orlent\\KM\\Algemeen",
                    "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Orlent\\KM\\A]\n\"Hidden\"=dword:0001",
                    "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Orlent\\KM\\A]\n\"Titel\"=\"cut",
                    std::string("REGEDIT4\n[K]\n\"a\"=\"1\"\n") + std::string(4, '\0')));

TEST_F(SettingsStoreTest, UnreadableFileIsMovedAside) {
    if (test::RerunAsNobody())
        return;
    std::filesystem::create_directories(tmp.file("Orlent"));
    WriteAll(path, "REGEDIT4\n");
    ::chmod(path.c_str(), 0);
    ASSERT_NE(::access(path.c_str(), R_OK), 0) << "permissions do not bind this user";
    SettingsStore s(path);
    EXPECT_NE(s.loadProblem().find("could not be read"), std::string::npos) << s.loadProblem();
    EXPECT_TRUE(std::filesystem::exists(path + ".bad"));
    EXPECT_TRUE(s.PutInt("A", "b", 1));
}

TEST_F(SettingsStoreTest, DamagedFileThatCannotMoveIsNeverOverwritten) {
    std::filesystem::create_directories(path + ".bad/occupied"); // rename cannot replace it
    WriteAll(path, "REGEDIT4\nprecious");
    {
        SettingsStore s(path);
        EXPECT_NE(s.loadProblem().find("could not be moved aside"), std::string::npos);
        EXPECT_EQ(s.GetInt("A", "b", 3), 3);
        EXPECT_FALSE(s.PutInt("A", "b", 1));
        EXPECT_FALSE(s.PutString("A", std::nullopt, std::nullopt));
        EXPECT_FALSE(s.flush());
    }
    EXPECT_EQ(ReadAll(path), "REGEDIT4\nprecious");
}

TEST_F(SettingsStoreTest, WritesArePrivateAndAtomic) {
    mode_t old = ::umask(0);
    {
        SettingsStore s(tmp.file("new/deeper/KM.reg"));
        EXPECT_TRUE(s.PutInt("A", "b", 1));
    }
    ::umask(old);
    struct stat st;
    ASSERT_EQ(::stat(tmp.file("new/deeper/KM.reg").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(tmp.file("new/deeper").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // A linked settings file stays a link; its target is what changes.
    std::filesystem::create_symlink(tmp.file("new/deeper/KM.reg"), tmp.file("link.reg"));
    {
        SettingsStore s(tmp.file("link.reg"));
        EXPECT_TRUE(s.PutInt("A", "b", 2));
    }
    EXPECT_TRUE(std::filesystem::is_symlink(tmp.file("link.reg")));
    EXPECT_EQ(SettingsStore(tmp.file("new/deeper/KM.reg")).GetInt("A", "b", 0), 2);
}

TEST_F(SettingsStoreTest, KilledWhileWritingLeavesOldOrNewFileWhole) {
    const std::string big(4u << 20, 'v'); // each write takes a while
    for (int delayMs : {5, 30, 80}) {
        const pid_t pid = fork();
        if (pid == 0) {
            SettingsStore s(path);
            for (int i = 0;; ++i)
                s.PutString("Big", "value", std::to_string(i % 10) + big);
        }
        ::usleep(static_cast<useconds_t>(delayMs) * 1000);
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        SettingsStore s(path);
        const std::string v = s.GetString("Big", "value", "none");
        if (v != "none") { // the first write may not have finished yet
            EXPECT_EQ(v.size(), big.size() + 1) << "after " << delayMs << " ms";
        }
        EXPECT_FALSE(std::filesystem::exists(path + ".bad"));
        int temps = 0;
        std::error_code ec; // the directory itself may not be made yet
        for (const auto& e : std::filesystem::directory_iterator(tmp.file("Orlent"), ec)) {
            const std::string n = e.path().filename().string();
            if (n.rfind(".km-", 0) == 0) {
                ++temps;
                std::filesystem::remove(e.path());
            }
        }
        EXPECT_LE(temps, 1);
    }
}

TEST_F(SettingsStoreTest, FailedWriteKeepsOldFileAndRetriesLater) {
    if (test::RerunAsNobody())
        return;
    std::string dir = tmp.file("Orlent");
    SettingsStore s(path);
    ASSERT_TRUE(s.PutInt("A", "b", 1));
    std::string before = ReadAll(path);
    ::chmod(dir.c_str(), 0555);
    ASSERT_FALSE(canWriteInto(dir)) << "permissions do not bind this user";
    EXPECT_FALSE(s.PutInt("A", "b", 2));
    EXPECT_FALSE(s.flush());
    EXPECT_EQ(ReadAll(path), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1); // no temp left
    ::chmod(dir.c_str(), 0700);
    EXPECT_TRUE(s.flush());
    EXPECT_EQ(SettingsStore(path).GetInt("A", "b", 0), 2);
}

TEST_F(SettingsStoreTest, BatchWritesOnceAtTheOutermostEnd) {
    SettingsStore s(path);
    {
        SettingsStore::Batch outer(s);
        EXPECT_TRUE(s.PutInt("WinPositie", "wp.left", 10));
        {
            SettingsStore::Batch inner(s);
            EXPECT_TRUE(s.PutInt("WinPositie", "wp.top", 20));
        }
        EXPECT_FALSE(std::filesystem::exists(path));
    }
    SettingsStore again(path);
    EXPECT_EQ(again.GetInt("WinPositie", "wp.left", 0), 10);
    EXPECT_EQ(again.GetInt("WinPositie", "wp.top", 0), 20);
}

TEST_F(SettingsStoreTest, RefusesNamesTheFileCannotHold) {
    SettingsStore s(path);
    EXPECT_FALSE(s.PutInt("A", "two\nlines", 1));
    EXPECT_FALSE(s.PutString("", "k", "v"));
    EXPECT_FALSE(s.PutInt("A\rB", "k", 1));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(SettingsStorePath, FollowsXdgConfigHome) {
    std::string savedXdg = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
    bool hadXdg = std::getenv("XDG_CONFIG_HOME") != nullptr;
    std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("HOME", "/home/someone", 1);
    ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(SettingsStore::defaultPath(), "/cfg/Orlent/KM.reg");
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    EXPECT_EQ(SettingsStore::defaultPath(), "/home/someone/.config/Orlent/KM.reg");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(SettingsStore::defaultPath(), "/home/someone/.config/Orlent/KM.reg");
    ::setenv("HOME", savedHome.c_str(), 1);
    if (hadXdg)
        ::setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
}

} // namespace
} // namespace km
