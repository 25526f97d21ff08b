#include "ftp/RemoteDirectory.h"

#include "ftp/FtpSession.h"
#include "ftp/ListingParser.h"
#include "ftp/MlsdLine.h"

#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace km {
namespace {

FileTime localMinute(int64_t wallClock) {
    const time_t t = static_cast<time_t>(wallClock);
    std::tm tm{};
    gmtime_r(&t, &tm);
    tm.tm_sec = 0;
    tm.tm_isdst = -1;
    const time_t local = mktime(&tm);
    return local == static_cast<time_t>(-1) ? 0 : FileTimeFromUnix(local, 0);
}

} // namespace

std::string RemotePanelPath(std::string_view serverDir, bool& slashPaths) {
    slashPaths = serverDir.find('/') != std::string_view::npos;
    return std::string(serverDir);
}

std::string RemoteRootPath(int hostType, bool slashPaths) {
    if (hostType == kVmsHostType)
        return "[000000]";
    return slashPaths ? "/" : "\\";
}

std::string RemoteDirectoryArgument(std::string_view name, int hostType) {
    if (hostType != kVmsHostType)
        return std::string(name);
    const size_t dir = name.find(".DIR");
    return "[." + std::string(name.substr(0, dir)) + "]";
}

int RemoteDepth(std::string_view path) {
    if (path.empty() || path.back() == '/' || path.back() == '\\')
        return 0;
    int n = 0;
    for (char c : path)
        n += c == '/' || c == '\\';
    return n;
}

std::string RemoteJoin(std::string_view dir, std::string_view name, bool slashPaths) {
    std::string out(dir);
    const char sep = slashPaths ? '/' : '\\';
    if (out.empty() || (out.back() != '/' && out.back() != '\\'))
        out += sep;
    out += name;
    return out;
}

std::vector<RemoteEntry> ParseRemoteListing(std::string_view text, bool vms) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string_view::npos ? text.size() : end + 1;
        lines.emplace_back(text.substr(start, end - start));
        start = end;
    }
    std::vector<RemoteEntry> out;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string line = lines[i];
        if (vms && line.find(';') != std::string::npos && line.find('[') == std::string::npos &&
            i + 1 < lines.size())
            line += lines[++i];
        for (char& c : line) {
            if (c == '\t')
                c = ' ';
        }
        ListingLineInfo info;
        if (!ParseListingLine(info, line.data(), line.size()))
            continue;
        const std::string_view name = ListingEntryName(info);
        if (name.empty() || name[0] == '.')
            continue;
        RemoteEntry e;
        e.name.assign(name);
        e.isDirectory = info.isDirectory != 0;
        e.size = e.isDirectory || info.size < 0 ? 0 : static_cast<uint64_t>(info.size);
        e.lastWrite = info.timeKind == ListingNoTime ? 0 : localMinute(info.time);
        out.push_back(std::move(e));
    }
    return out;
}

std::vector<RemoteEntry> ParseMachineListing(std::string_view text) {
    std::vector<RemoteEntry> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string_view::npos ? text.size() : end + 1;
        MlsdEntry info;
        if (ParseMlsdLine(info, text.data() + start, end - start) && info.name[0] != '.' &&
            (info.isDirectory || info.isFile)) {
            RemoteEntry e;
            e.name.assign(info.name);
            e.isDirectory = info.isDirectory;
            e.size = e.isDirectory || !info.hasSize ? 0 : info.size;
            // MLSD times are UTC to the second; no guessing of years or zones.
            e.lastWrite = info.hasTime ? FileTimeFromUnix(info.modifyUtc, 0) : 0;
            out.push_back(std::move(e));
        }
        start = end;
    }
    return out;
}

int ListRemoteDirectory(FtpSession& session, bool vms, const std::string& listingFile,
                        std::vector<RemoteEntry>& out, bool& readFailed) {
    readFailed = false;
    out.clear();
    session.SetSynchronous();
    // MLSD where the server has it: exact sizes, kinds and times; LIST else,
    // and when MLSD is refused after all.
    bool machine = session.Features().mlsd;
    int r = machine ? session.List({}, listingFile, true) : 1;
    if (r != 0) {
        machine = false;
        session.FlushReplies();
        r = session.List({}, listingFile);
    }
    if (r != 0) {
        unlink(listingFile.c_str());
        return r;
    }
    session.FlushReplies();
    std::ifstream in(listingFile, std::ios::binary);
    if (!in) {
        readFailed = true;
        unlink(listingFile.c_str());
        return 0;
    }
    std::ostringstream text;
    text << in.rdbuf();
    in.close();
    unlink(listingFile.c_str());
    out = machine ? ParseMachineListing(text.str()) : ParseRemoteListing(text.str(), vms);
    return 0;
}

} // namespace km
