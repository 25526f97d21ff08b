// The data side of FtpSession: the data connection, and the transfer loops.
#include "ftp/FtpCommandTable.h"
#include "ftp/FtpReplyText.h"
#include "ftp/FtpResult.h"
#include "ftp/FtpSession.h"
#include "ftp/FtpSessionState.h"
#include "net/TcpHooks.h"
#include "net/TcpStatus.h"
#include "net/TcpTransport.h"
#include "net/TnLineLayer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace km {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMaxAborSends = 5;
constexpr int kAbortWait = 5; // seconds for each answer to an abort
constexpr uint64_t kWriteBehindEvery = 4 << 20; // a power of two

bool IsTransferType(char type) {
    return type == 'A' || type == 'I' || type == 'L';
}

// A regular file opened for reading; -1 for anything else (a FIFO would hang).
int OpenSource(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

ssize_t ReadSome(int fd, char* buf, size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd, buf, size);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

} // namespace

int FtpSession::Retrieve(std::string_view remoteName, const std::string& localPath, char type,
                         bool progressWanted, bool resume) {
    if (int r = Check(true))
        return r;
    if (remoteName.empty() || localPath.empty())
        return kFtpBadParameters;
    s_->resume = resume;
    return Transfer(Direction::Download, remoteName, localPath, type, progressWanted);
}

int FtpSession::Store(const std::string& localPath, std::string_view remoteName, char type,
                      bool progressWanted, bool resume) {
    if (int r = Check(true))
        return r;
    if (remoteName.empty() || localPath.empty())
        return kFtpBadParameters;
    s_->resume = false;
    s_->restartAt = 0;
    // Only a byte-for-byte transfer can continue where the server's copy ends.
    uint64_t there = 0;
    if (resume && s_->features.restStream && type != 'A' && Size(remoteName, there) == kFtpOk)
        s_->restartAt = static_cast<int64_t>(there);
    return Transfer(Direction::Upload, remoteName, localPath, type, progressWanted);
}

int FtpSession::List(std::string_view remotePath, const std::string& localPath, bool machine) {
    if (int r = Check(true))
        return r;
    if (localPath.empty())
        return kFtpBadParameters;
    s_->resume = false;
    s_->restartAt = 0;
    return Transfer(machine ? Direction::MachineListing : Direction::Listing, remotePath, localPath,
                    'A', false);
}

int64_t FtpSession::PartialDownloadSize(const std::string& localPath) {
    return ReplacementFile::PartialSize(localPath);
}

int FtpSession::Transfer(Direction direction, std::string_view remote, const std::string& local,
                         char type, bool progressWanted) {
    State& s = *s_;
    s.download.Discard();
    if (s.upload >= 0)
        ::close(s.upload);
    s.upload = -1;
    s.cancelled = false;
    s.dataResumed = false;
    if (!FtpSafeArgument(remote))
        return kFtpBadParameters;
    // The local side first, so that a file we cannot use fails before anything is sent.
    if (direction == Direction::Upload) {
        s.upload = OpenSource(local);
        if (s.upload < 0)
            return kFtpCannotOpenLocal;
        struct stat st;
        if (s.restartAt > 0 && (::fstat(s.upload, &st) != 0 || s.restartAt >= st.st_size ||
                                ::lseek(s.upload, s.restartAt, SEEK_SET) != s.restartAt))
            s.restartAt = 0;
    } else if (direction == Direction::Download) {
        if (s.download.CreatePartial(local, s.resume) != 0)
            return kFtpCannotOpenLocal;
        s.restartAt = static_cast<int64_t>(s.download.Size());
    } else if (s.download.Create(local) != 0) {
        return kFtpCannotOpenLocal;
    }
    if (IsTransferType(type)) {
        if (int r = SetType(type)) {
            CloseData(false);
            return r;
        }
    }
    s.ascii = s.type == 'A';
    if (s.ascii && s.restartAt > 0) {
        // Offsets of a converted file are not the server's; start over.
        s.restartAt = 0;
        if (direction == Direction::Download)
            s.download.Restart();
        else
            ::lseek(s.upload, 0, SEEK_SET);
    }
    s.lineEnds = FtpLineEnds();
    s.bytes = static_cast<uint64_t>(s.restartAt);
    s.rateStart = Clock::now();
    s.rateBytes = 0;
    s.progressWanted = progressWanted;
    if (int r = OpenDataConnection(direction, remote))
        return r;
    const int r = direction == Direction::Upload ? SendData() : ReceiveData();
    // The server's time of the file, where it tells it, instead of now.
    int64_t modified = 0;
    if (r == kFtpOk && direction == Direction::Download && s_ && s_->features.mdtm &&
        ModificationTime(remote, modified) == kFtpOk) {
        const timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(modified), 0}};
        ::utimensat(AT_FDCWD, local.c_str(), times, AT_SYMLINK_NOFOLLOW);
    }
    return r;
}

// EPSV (RFC 2428), else PASV; the data goes to the address the control
// connection reaches, whatever the reply names, so a reply cannot send us
// to a third party.
int FtpSession::PassiveConnect() {
    State& s = *s_;
    uint16_t port = 0;
    bool have = false;
    if (!s.epsvRefused) {
        if (SendLine("EPSV") != kFtpOk)
            return kFtpUnexpectedAnswer;
        const int code = ReadReply();
        if (code == 229) {
            if (!FtpParseExtendedPassive(LastReply(), port))
                return kFtpUnexpectedAnswer;
            have = true;
        } else if (code < 100) {
            return code == -1 || code == kTcpTimeout ? kFtpNoAnswer : kFtpUnexpectedAnswer;
        } else {
            s.epsvRefused = true;
        }
    }
    if (!have) {
        // PASV carries IPv4 addresses only.
        if (s.serverV6)
            return kFtpNoPassive;
        if (SendLine("PASV") != kFtpOk)
            return kFtpUnexpectedAnswer;
        const int code = ReadReply();
        if (code == 500 || code == 502)
            return kFtpNoPassive;
        uint32_t offered = 0;
        if (code != 227 || !FtpParsePassive(LastReply(), offered, port))
            return kFtpUnexpectedAnswer;
    }
    TcpEndpoint server;
    if (TcpGetEndpoint(s.control, true, server) != kTcpSuccess)
        return kFtpSocketUnavailable;
    const int r = TcpConnect(s.data, server.host.c_str(), nullptr, &port, config_.timeout);
    if (r == kTcpCancelled)
        return kFtpAborted;
    return r == kTcpSuccess ? kFtpOk : kFtpSocketUnavailable;
}

// PORT for IPv4, EPRT for IPv6, with the address the server already reaches
// us on.
int FtpSession::ActiveListen() {
    State& s = *s_;
    TcpEndpoint local;
    uint16_t port = 0;
    if (TcpGetEndpoint(s.control, false, local) != kTcpSuccess ||
        TcpGetListenSocket(s.listen, nullptr, &port, 1, local.host.c_str()) != kTcpSuccess)
        return kFtpDataConnectionFailed;
    char line[96];
    if (local.v6) {
        std::snprintf(line, sizeof line, "EPRT |2|%s|%u|", local.host.c_str(), port);
    } else {
        unsigned a[4] = {};
        if (std::sscanf(local.host.c_str(), "%u.%u.%u.%u", &a[0], &a[1], &a[2], &a[3]) != 4)
            return kFtpDataConnectionFailed;
        std::snprintf(line, sizeof line, "PORT %u,%u,%u,%u,%u,%u", a[0], a[1], a[2], a[3],
                      port >> 8, port & 0xFF);
    }
    if (SendLine(line) != kFtpOk || ReadReply() != 200)
        return kFtpUnexpectedAnswer;
    return kFtpOk;
}

int FtpSession::OpenDataConnection(Direction direction, std::string_view remote) {
    State& s = *s_;
    auto fail = [&](int result) {
        CloseData(false);
        return result;
    };
    if (int r = config_.passive ? PassiveConnect() : ActiveListen())
        return fail(r);
    // A download resumes with REST; an upload with APPE, at the end of
    // what the server has.
    if (s.restartAt > 0 && direction == Direction::Download &&
        Restart(s.restartAt) != kFtpRestartOk) {
        // The server cannot resume: the whole file then.
        s.restartAt = 0;
        s.bytes = 0;
        s.download.Restart();
    }
    std::string command;
    switch (direction) {
    case Direction::Download: command = "RETR " + std::string(remote); break;
    case Direction::Upload:
        command = (s.restartAt > 0 ? "APPE " : "STOR ") + std::string(remote);
        break;
    case Direction::Listing:
    case Direction::MachineListing:
        command = direction == Direction::Listing ? "LIST" : "MLSD";
        if (!remote.empty())
            command += " " + std::string(remote);
        break;
    }
    if (SendLine(command) != kFtpOk)
        return fail(kFtpSendFailed);
    const int code = ReadReply();
    if (code != 150 && code != 125)
        return fail(code == -1    ? kFtpNoAnswer
                    : code == 550 ? kFtpServerCannotOpen
                    : code == 553 ? kFtpTransferRefused
                                  : kFtpUnexpectedAnswer);
    if (!config_.passive) {
        if (const int r = AcceptData())
            return fail(r);
    }
    if (s.protectData) {
        if (const int r = VerifyPeer(s.data)) {
            s.reply[0] = '\0'; // the 150 that came before is no explanation
            return fail(r);
        }
    }
    return kFtpOk;
}

int FtpSession::AcceptData() {
    State& s = *s_;
    TcpEndpoint server;
    if (TcpGetEndpoint(s.control, true, server) != kTcpSuccess)
        return kFtpDataConnectionFailed;
    const auto until = Clock::now() + std::chrono::seconds(config_.timeout);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0)
            return kFtpDataConnectionFailed;
        const int r = TcpAccept(s.data, s.listen, static_cast<int>((left + 999) / 1000));
        if (r == kTcpCancelled || s.cancelled)
            return kFtpAborted;
        if (r != kTcpSuccess)
            return kFtpDataConnectionFailed;
        TcpEndpoint from;
        if (TcpGetEndpoint(s.data, true, from) == kTcpSuccess && from.host == server.host)
            break;
        // Only the server may deliver the data; anyone else is turned away.
        TcpClose(s.data);
    }
    TcpClose(s.listen);
    return kFtpOk;
}

// The user's rate limit: when the transfer is ahead of it, wait (pumping).
void FtpSession::Pace(uint64_t bytes, bool& interrupted) {
    State& s = *s_;
    interrupted = false;
    if (config_.rateLimit <= 0)
        return;
    s.rateBytes += bytes;
    const auto due = std::chrono::milliseconds(
        static_cast<int64_t>(s.rateBytes * 1000 / static_cast<uint64_t>(config_.rateLimit)));
    const auto ahead =
        std::chrono::duration_cast<std::chrono::milliseconds>(due - (Clock::now() - s.rateStart));
    if (ahead.count() > 0)
        interrupted = TcpWaitMs(static_cast<int>(ahead.count())) == kTcpCancelled;
}

int FtpSession::ReceiveData() {
    for (;;) {
        State& s = *s_;
        if (s.cancelled) {
            Abort(true);
            return kFtpAborted;
        }
        const int n = TcpRecv(s.data, s.block, State::kBlock, config_.timeout, -1);
        if (n == kTcpClosed) {
            const size_t tail = s.ascii ? s.lineEnds.FinishFromNetwork(s.converted) : 0;
            const bool written = tail == 0 || s.download.Write(s.converted, tail) == 0;
            // The file is kept aside until the server confirms the transfer.
            TcpClose(s.data);
            int r = Exchange(kCmdTransferEnd);
            if (r == kFtpOk && (!written || s.download.Commit(s.download.TargetExisted()) != 0))
                r = kFtpCannotWrite;
            s.download.Keep();
            return r;
        }
        if (n < 0) {
            const bool cancelled = n == kTcpCancelled || s.cancelled;
            Abort(true);
            return cancelled ? kFtpAborted : kFtpDataConnectionFailed;
        }
        const char* out = s.block;
        size_t length = static_cast<size_t>(n);
        if (s.ascii) {
            length = s.lineEnds.FromNetwork(s.block, length, s.converted);
            out = s.converted;
        }
        if (s.download.Write(out, length) != 0) {
            Abort(true);
            return kFtpCannotWrite;
        }
        if ((s.download.Size() & (kWriteBehindEvery - 1)) < length)
            s.download.WriteBehind();
        s.bytes += length;
        if (s.progressWanted && s.progress) {
            s.progress(0, s.bytes);
            if (!s_)
                return kFtpAborted; // released from inside the progress function
        }
        bool interrupted = false;
        Pace(length, interrupted);
        if (interrupted)
            s_->cancelled = true;
    }
}

void FtpSession::WaitForPeerClose() {
    // Half-close and wait for the server to close in turn: closing at once
    // could discard data still queued for a slow link. Give up only when
    // nothing has moved for the timeout.
    State& s = *s_;
    TcpShutdown(s.data);
    int lastPending = TcpPendingOutput(s.data);
    int idle = 0;
    for (;;) {
        const int n = TcpRecv(s.data, s.block, sizeof s.block, 1, -1);
        if (n > 0)
            continue;
        if (n != kTcpTimeout)
            return;
        const int pending = TcpPendingOutput(s.data);
        if (pending >= 0 && pending < lastPending) {
            lastPending = pending;
            idle = 0;
        } else if (++idle >= config_.timeout) {
            return;
        }
    }
}

int FtpSession::SendData() {
    for (;;) {
        State& s = *s_;
        if (s.cancelled) {
            Abort(false);
            return kFtpAborted;
        }
        const ssize_t n = ReadSome(s.upload, s.block, State::kBatch);
        if (n < 0) {
            // A read error must not pass for the end of the file.
            Abort(false);
            return kFtpCannotOpenLocal;
        }
        if (n == 0) {
            ::close(s.upload);
            s.upload = -1;
            WaitForPeerClose();
            CloseData(false);
            return Exchange(kCmdTransferEnd);
        }
        const char* out = s.block;
        size_t length = static_cast<size_t>(n);
        if (s.ascii) {
            length = s.lineEnds.ToNetwork(s.block, length, s.converted);
            out = s.converted;
        }
        const int r = TcpSend(s.data, out, length, false, -1, config_.timeout);
        bool interrupted = false;
        if (r == kTcpSuccess)
            Pace(length, interrupted);
        if (interrupted)
            s.cancelled = true;
        if (r != kTcpSuccess) {
            if (r == kTcpCancelled || s.cancelled) {
                Abort(false);
                return kFtpAborted;
            }
            CloseData(false);
            return kFtpSendFailed;
        }
        // One progress call per 4096-byte block of the file.
        for (size_t done = 0; done < static_cast<size_t>(n); done += State::kBlock) {
            const size_t piece = static_cast<size_t>(n) - done;
            s_->bytes += piece < State::kBlock ? piece : State::kBlock;
            if (s_->progressWanted && s_->progress) {
                s_->progress(0, s_->bytes);
                if (!s_)
                    return kFtpAborted;
            }
            if (s_->cancelled)
                break;
        }
    }
}

int FtpSession::Abort(bool drain) {
    State& s = *s_;
    s.cancelled = false;
    int code = -1;
    bool sent = false;
    // A user who cancelled waits for the server's answers only briefly; a
    // server that stopped talking must not hold the window for the full timeout.
    const int wait = config_.timeout < kAbortWait ? config_.timeout : kAbortWait;
    // Some servers answer 500 to an ABOR that overtook the rest of the stream;
    // repeat it, but not for ever. Under TLS nothing may go out of band.
    for (int i = 0; i < kMaxAborSends; ++i) {
        if (TnSend(s.control, "ABOR", !s.tls, s.log, wait) != kTcpSuccess)
            break;
        sent = true;
        code = TnReadAnswerCode(s.control, s.reply, sizeof s.reply, wait, s.log);
        if (code != 500)
            break;
    }
    if (sent && code >= 100)
        code = TnReadAnswerCode(s.control, s.reply, sizeof s.reply, wait, s.log);
    CloseData(drain);
    TcpFlush(s.control);
    return code;
}

int FtpSession::CloseData(bool drain) {
    State& s = *s_;
    // The local file goes with the data connection; an unfinished download
    // never replaces its target, and what arrived stays for a resume.
    s.download.Keep();
    if (s.upload >= 0)
        ::close(s.upload);
    s.upload = -1;
    if (drain && s.data >= 0) {
        const int wait = config_.timeout < kAbortWait ? config_.timeout : kAbortWait;
        const auto until = Clock::now() + std::chrono::seconds(wait);
        while (Clock::now() < until && TcpRecv(s.data, s.block, sizeof s.block, wait, -1) > 0) {
        }
    }
    TcpClose(s.listen);
    return TcpClose(s.data) == kTcpSuccess ? kFtpOk : kFtpCloseFailed;
}

} // namespace km
