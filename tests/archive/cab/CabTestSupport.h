#pragma once
// Helpers of the cabinet tests: a scripted sink, running peers without a shell, and a writer
// of small single-folder cabinets (stored or MSZIP) for cases the fixtures do not cover.
#include "archive/ArchiveSink.h"
#include "support/FileTree.h"
#include "archive/cab/CabChecksum.h"

#include <cstdint>
#include <fcntl.h>
#include <functional>
#include <set>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

extern char** environ;

namespace km::test {

struct CabRow {
    std::string name;
    FileTime modified;
    uint64_t size;
};

class ScriptedSink : public ArchiveSink {
public:
    std::vector<CabRow> rows;
    std::set<std::string> wanted; // empty: everything
    bool overwrite = true;
    std::function<bool(uint64_t)> cancelAt = [](uint64_t) { return false; };
    std::vector<std::string> asked, shown;

    void AddEntry(const std::string& name, FileTime modified, uint64_t size) override {
        rows.push_back({name, modified, size});
    }
    bool IsWanted(const std::string& name) override {
        return wanted.empty() || wanted.count(name) != 0;
    }
    bool ConfirmOverwrite(const std::string& path, uint64_t, FileTime) override {
        asked.push_back(path);
        return overwrite;
    }
    void ShowEntry(const std::string& name) override { shown.push_back(name); }
    bool Progress(uint64_t done) override { return cancelAt(done); }
};

// Runs argv; returns the exit status and collects standard output.
inline int RunPeer(const std::vector<std::string>& args, std::string* out = nullptr) {
    int pipeFd[2];
    if (::pipe(pipeFd) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFd[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&actions, pipeFd[0]);
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFd[1]);
    std::string text;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(pipeFd[0], buf, sizeof buf)) > 0)
        text.append(buf, static_cast<size_t>(n));
    ::close(pipeFd[0]);
    if (rc != 0)
        return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (out)
        *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline bool HavePeer(const std::string& tool) {
    return RunPeer({"sh", "-c", "command -v " + tool}) == 0;
}

inline std::string Md5Of(const std::string& path) {
    std::string out;
    if (RunPeer({"md5sum", path}, &out) != 0)
        return {};
    return out.substr(0, 32);
}

struct CabMember {
    std::string name;
    std::string data;
    uint16_t date = (45 << 9) | (6 << 5) | 15; // 2025-06-15
    uint16_t time = (13 << 11) | (30 << 5);    // 13:30:00
};

inline void PutLe(std::string& s, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        s.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

// One folder holding every member in order, in blocks of at most 32 KiB.
inline std::string MakeCabinet(const std::vector<CabMember>& members, bool mszip) {
    std::string stream;
    for (const auto& m : members)
        stream += m.data;
    std::vector<std::string> blocks; // each: checksum, sizes, payload
    std::string previous;
    for (size_t at = 0; at < stream.size(); at += 32768) {
        const std::string chunk = stream.substr(at, 32768);
        std::string payload;
        if (mszip) {
            z_stream z{};
            deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
            if (!previous.empty())
                deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(previous.data()),
                                     static_cast<uInt>(previous.size()));
            std::string out(chunk.size() + 1024, '\0');
            z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(chunk.data()));
            z.avail_in = static_cast<uInt>(chunk.size());
            z.next_out = reinterpret_cast<Bytef*>(out.data());
            z.avail_out = static_cast<uInt>(out.size());
            deflate(&z, Z_FINISH);
            out.resize(out.size() - z.avail_out);
            deflateEnd(&z);
            payload = "CK" + out;
        } else {
            payload = chunk;
        }
        previous = chunk;
        std::string sizes;
        PutLe(sizes, static_cast<uint32_t>(payload.size()), 2);
        PutLe(sizes, static_cast<uint32_t>(chunk.size()), 2);
        std::string header8 = std::string(4, '\0') + sizes;
        const uint32_t sum = cab::CabDataBlockChecksum(
            reinterpret_cast<const uint8_t*>(header8.data()),
            reinterpret_cast<const uint8_t*>(payload.data()), payload.size());
        std::string block;
        PutLe(block, sum, 4);
        block += sizes + payload;
        blocks.push_back(block);
    }

    std::string files;
    uint32_t offset = 0;
    for (const auto& m : members) {
        PutLe(files, static_cast<uint32_t>(m.data.size()), 4);
        PutLe(files, offset, 4);
        PutLe(files, 0, 2);
        PutLe(files, m.date, 2);
        PutLe(files, m.time, 2);
        PutLe(files, 0x20, 2);
        files += m.name;
        files.push_back('\0');
        offset += static_cast<uint32_t>(m.data.size());
    }
    const uint32_t filesOffset = 36 + 8;
    const uint32_t dataOffset = filesOffset + static_cast<uint32_t>(files.size());
    std::string data;
    for (const auto& b : blocks)
        data += b;

    std::string cab = "MSCF";
    PutLe(cab, 0, 4);
    PutLe(cab, dataOffset + static_cast<uint32_t>(data.size()), 4);
    PutLe(cab, 0, 4);
    PutLe(cab, filesOffset, 4);
    PutLe(cab, 0, 4);
    cab.push_back(3);
    cab.push_back(1);
    PutLe(cab, 1, 2);
    PutLe(cab, static_cast<uint32_t>(members.size()), 2);
    PutLe(cab, 0, 2);
    PutLe(cab, 77, 2);
    PutLe(cab, 0, 2);
    PutLe(cab, dataOffset, 4);
    PutLe(cab, static_cast<uint32_t>(blocks.size()), 2);
    PutLe(cab, mszip ? 1 : 0, 2);
    return cab + files + data;
}

} // namespace km::test
