#pragma once
// Shared helpers of the TAR/GZIP tests: a scripted ArchiveSink, hand-made (also broken)
// archives, and GNU tar/gzip run without a shell.
#include "archive/ArchiveSink.h"
#include "support/FileTree.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

extern char** environ;

namespace km::test {

struct ScriptedSink : ArchiveSink {
    struct Row {
        std::string name;
        FileTime modified;
        uint64_t size;
    };
    std::vector<Row> rows;
    std::vector<std::string> asked; // ConfirmOverwrite paths
    std::vector<uint64_t> askedSizes;
    std::vector<std::string> shown; // ShowEntry names
    std::function<bool(const std::string&)> wanted;
    bool overwrite = true;
    bool cancelOnOverwrite = false;
    int64_t cancelAtProgress = -1; // cancel once this many bytes are done
    bool cancelRequested = false;

    void AddEntry(const std::string& name, FileTime modified, uint64_t size) override {
        rows.push_back({name, modified, size});
    }
    bool IsWanted(const std::string& name) override { return !wanted || wanted(name); }
    bool ConfirmOverwrite(const std::string& path, uint64_t size, FileTime) override {
        asked.push_back(path);
        askedSizes.push_back(size);
        if (cancelOnOverwrite)
            cancelRequested = true;
        return overwrite;
    }
    void ShowEntry(const std::string& name) override { shown.push_back(name); }
    bool Progress(uint64_t done) override {
        if (cancelAtProgress >= 0 && done >= static_cast<uint64_t>(cancelAtProgress))
            cancelRequested = true;
        return cancelRequested;
    }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& r : rows)
            out.push_back(r.name);
        return out;
    }
};

// Writes the checksum of a header block whose fields were changed.
inline void RedoTarChecksum(std::string& block) {
    std::memset(block.data() + 148, ' ', 8);
    unsigned sum = 0;
    for (unsigned char c : block)
        sum += c;
    std::snprintf(block.data() + 148, 8, "%06o", sum);
}

// A ustar header with a correct checksum; `name` is cut to the 100-byte field.
inline std::string TarHeaderBlock(const std::string& name, uint64_t size, char type = '0',
                                  int64_t mtime = 1200000000) {
    std::string h(512, '\0');
    std::memcpy(h.data(), name.data(), std::min<size_t>(name.size(), 100));
    std::snprintf(h.data() + 100, 8, "%07o", 0644);
    std::snprintf(h.data() + 108, 8, "%07o", 0);
    std::snprintf(h.data() + 116, 8, "%07o", 0);
    std::snprintf(h.data() + 124, 12, "%011llo", static_cast<unsigned long long>(size));
    std::snprintf(h.data() + 136, 12, "%011llo", static_cast<unsigned long long>(mtime));
    h[156] = type;
    std::memcpy(h.data() + 257,
                "ustar\0"
                "00",
                8);
    RedoTarChecksum(h);
    return h;
}

inline void AppendTarEntry(std::string& archive, const std::string& name, const std::string& data,
                           char type = '0') {
    archive += TarHeaderBlock(name, data.size(), type);
    archive += data;
    archive.append((512 - data.size() % 512) % 512, '\0');
}

inline std::string EndTar(std::string archive) {
    return archive + std::string(1024, '\0');
}

// gzip format through zlib, so tests need no temporary file to compress.
inline std::string Gzip(const std::string& data) {
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, data.size()) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// Runs a program (found on PATH) in `dir`; its exit status, or -1.
inline int RunTool(const std::vector<std::string>& args, const std::string& dir) {
    std::vector<std::string> full = {"/usr/bin/env", "-C", dir};
    full.insert(full.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : full)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) < 0 || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// A peer tool on the PATH; tests that need one skip without it.
inline bool HaveTool(const std::string& name) {
    return RunTool({"sh", "-c", "command -v " + name + " >/dev/null"}, "/") == 0;
}

} // namespace km::test
