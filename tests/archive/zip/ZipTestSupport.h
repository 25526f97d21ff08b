#pragma once
// Shared helpers of the ZIP tests: a recording callback, running the peers (zip, unzip,
// python3) without a shell, and a small writer for hand-made (also broken) archives.
#include "archive/zip/Crc32.h"
#include "archive/zip/UnzipEngine.h"
#include "archive/zip/ZipBytes.h"
#include "archive/zip/ZipCrypto.h"
#include "archive/zip/ZipRecords.h"

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace km::test {

struct Record {
    int type;
    std::string text;
};

// Collects every record; `answer` decides the reply (0 unless set).
struct RecordLog {
    std::vector<Record> records;
    std::function<uint16_t(int type, const std::string& text)> answer;

    std::vector<std::string> of(int type) const {
        std::vector<std::string> out;
        for (const auto& r : records) {
            if (r.type == type)
                out.push_back(r.text);
        }
        return out;
    }
    // The third field (code) of every 22 or 23 record.
    std::vector<int> codes(int type) const {
        std::vector<int> out;
        for (const auto& t : of(type)) {
            const size_t a = t.find('|');
            const size_t b = t.find('|', a + 1);
            out.push_back(std::stoi(t.substr(b + 1)));
        }
        return out;
    }
};

inline uint16_t LogRecord(uint16_t engine, uint16_t type, const char* text, uintptr_t user) {
    auto* log = reinterpret_cast<RecordLog*>(user);
    (void)engine;
    log->records.push_back({type, text});
    return log->answer ? log->answer(type, text) : 0;
}

// Initialises the engine with a recording callback; the test then sets options and runs.
// The callback stays installed after the test: every test starts with this.
inline void StartUnzip(RecordLog& log) {
    log.records.clear();
    UnzipEngine_Initialise();
    UnzipEngine_SetParentWindowHandle(nullptr);
    UnzipEngine_SetWindowHandle(nullptr);
    UnzipEngine_InstallCallbackEx(&LogRecord, reinterpret_cast<uintptr_t>(&log));
}

// Splits a record's text at '|', as the browser does.
inline std::vector<std::string> Fields(const std::string& text) {
    return zip::RecordFields(text);
}

// Runs a program with an argument vector in `dir`; its exit status (or -1).
inline int RunTool(const std::vector<std::string>& args, const std::string& dir,
                   const std::string& stdoutFile = "/dev/null") {
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    std::vector<char*> env;
    for (char** e = environ; *e; ++e)
        env.push_back(*e);
    env.push_back(nullptr);
    pid_t pid;
    // posix_spawn has no working directory; the tools get absolute paths where it matters,
    // and zip runs through "env -C dir" when a directory is given.
    std::vector<char*> full;
    std::string envTool = "/usr/bin/env";
    std::string chdirFlag = "-C";
    std::string dirCopy = dir;
    if (!dir.empty()) {
        full.push_back(envTool.data());
        full.push_back(chdirFlag.data());
        full.push_back(dirCopy.data());
    }
    full.insert(full.end(), argv.begin(), argv.end());
    const int rc = posix_spawnp(&pid, full[0], &actions, nullptr, full.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) < 0 || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// Sets TZ for this process and the tools it runs; restores the old zone when it goes.
class ZoneScope {
public:
    explicit ZoneScope(const char* zone) {
        if (const char* old = getenv("TZ"))
            old_ = old, had_ = true;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneScope() {
        had_ ? setenv("TZ", old_.c_str(), 1) : unsetenv("TZ");
        tzset();
    }

private:
    std::string old_;
    bool had_ = false;
};

inline std::string Fixture(const std::string& name) {
    return std::string(KM_FIXTURES_DIR) + "/zip/" + name;
}

inline uint32_t Crc(const std::string& data) {
    return zip::Crc32Update(0, reinterpret_cast<const uint8_t*>(data.data()), data.size());
}

// Writes archives entry by entry with full control over every field, for the cases no
// tool writes: hostile names, wrong sizes, ZIP64 fields, odd methods.
class ZipBuilder {
public:
    struct Entry {
        std::string name;
        std::string data; // as stored (already compressed or encrypted)
        uint16_t method = 0;
        uint16_t flags = 0;
        uint32_t crc = 0;
        uint64_t uncompressed = 0;
        uint16_t dosTime = 0x6000; // 12:00
        uint16_t dosDate = 0x5a21; // 2025-01-01
        uint32_t external = 0;
        uint16_t versionNeeded = 20;
        uint16_t madeBy = 20; // host in the high byte: 0 DOS, 3 Unix
        std::string centralExtra;
        bool zip64 = false; // sizes and offset go into a ZIP64 extra field
    };

    // A stored entry of plain data.
    static Entry Stored(const std::string& name, const std::string& data) {
        Entry e;
        e.name = name;
        e.data = data;
        e.crc = Crc(data);
        e.uncompressed = data.size();
        return e;
    }

    // The same, encrypted with the traditional method (header checked against the CRC).
    static Entry Encrypted(const std::string& name, const std::string& plain,
                           const std::string& password) {
        Entry e = Stored(name, plain);
        zip::ZipCrypto c;
        c.Init(password);
        std::string out;
        for (int i = 0; i < 11; ++i)
            out += static_cast<char>(c.EncryptByte(static_cast<uint8_t>(i * 37)));
        out += static_cast<char>(c.EncryptByte(static_cast<uint8_t>(e.crc >> 24)));
        for (char ch : plain)
            out += static_cast<char>(c.EncryptByte(static_cast<uint8_t>(ch)));
        e.data = out;
        e.flags |= 1;
        return e;
    }

    void Add(const Entry& e) { entries_.push_back(e); }
    std::string prefix;
    std::string comment;
    bool zip64End = false;

    std::string Build() const {
        std::string out = prefix;
        std::string central;
        for (const auto& e : entries_) {
            const uint64_t offset = out.size() - prefix.size();
            out += local(e);
            out += e.data;
            central += centralHeader(e, offset);
        }
        const uint64_t cdOffset = out.size() - prefix.size();
        out += central;
        if (zip64End) {
            const uint64_t z64 = out.size() - prefix.size();
            std::string r(56, '\0');
            put32(r, 0, zip::kZip64EndRecordSig);
            put64(r, 4, 44);
            put16(r, 12, 45);
            put16(r, 14, 45);
            put64(r, 24, entries_.size());
            put64(r, 32, entries_.size());
            put64(r, 40, central.size());
            put64(r, 48, cdOffset);
            out += r;
            std::string loc(20, '\0');
            put32(loc, 0, zip::kZip64LocatorSig);
            put64(loc, 8, z64);
            put32(loc, 16, 1);
            out += loc;
        }
        std::string end(22, '\0');
        put32(end, 0, zip::kEndRecordSig);
        const uint16_t n = zip64End ? 0xffff : static_cast<uint16_t>(entries_.size());
        put16(end, 8, n);
        put16(end, 10, n);
        put32(end, 12, zip64End ? 0xffffffffu : static_cast<uint32_t>(central.size()));
        put32(end, 16, zip64End ? 0xffffffffu : static_cast<uint32_t>(cdOffset));
        put16(end, 20, static_cast<uint16_t>(comment.size()));
        out += end;
        out += comment;
        return out;
    }

private:
    static void put16(std::string& s, size_t at, uint16_t v) {
        zip::PutLe16(reinterpret_cast<uint8_t*>(s.data()) + at, v);
    }
    static void put32(std::string& s, size_t at, uint32_t v) {
        zip::PutLe32(reinterpret_cast<uint8_t*>(s.data()) + at, v);
    }
    static void put64(std::string& s, size_t at, uint64_t v) {
        zip::PutLe64(reinterpret_cast<uint8_t*>(s.data()) + at, v);
    }
    static std::string local(const Entry& e) {
        std::string h(30, '\0');
        put32(h, 0, zip::kLocalHeaderSig);
        put16(h, 4, e.versionNeeded);
        put16(h, 6, e.flags);
        put16(h, 8, e.method);
        put16(h, 10, e.dosTime);
        put16(h, 12, e.dosDate);
        put32(h, 14, e.crc);
        put32(h, 18, e.zip64 ? 0xffffffffu : static_cast<uint32_t>(e.data.size()));
        put32(h, 22, e.zip64 ? 0xffffffffu : static_cast<uint32_t>(e.uncompressed));
        put16(h, 26, static_cast<uint16_t>(e.name.size()));
        return h + e.name;
    }
    static std::string centralHeader(const Entry& e, uint64_t offset) {
        std::string extra = e.centralExtra;
        if (e.zip64) {
            std::string z(28, '\0');
            put16(z, 0, 1);
            put16(z, 2, 24);
            put64(z, 4, e.uncompressed);
            put64(z, 12, e.data.size());
            put64(z, 20, offset);
            extra = z + extra;
        }
        std::string h(46, '\0');
        put32(h, 0, zip::kCentralHeaderSig);
        put16(h, 4, e.madeBy);
        put16(h, 6, e.versionNeeded);
        put16(h, 8, e.flags);
        put16(h, 10, e.method);
        put16(h, 12, e.dosTime);
        put16(h, 14, e.dosDate);
        put32(h, 16, e.crc);
        put32(h, 20, e.zip64 ? 0xffffffffu : static_cast<uint32_t>(e.data.size()));
        put32(h, 24, e.zip64 ? 0xffffffffu : static_cast<uint32_t>(e.uncompressed));
        put16(h, 28, static_cast<uint16_t>(e.name.size()));
        put16(h, 30, static_cast<uint16_t>(extra.size()));
        put32(h, 38, e.external);
        put32(h, 42, e.zip64 ? 0xffffffffu : static_cast<uint32_t>(offset));
        return h + e.name + extra;
    }

    std::vector<Entry> entries_;
};

} // namespace km::test
