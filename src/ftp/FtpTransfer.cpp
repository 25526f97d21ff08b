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
                         bool progressWanted) {
    if (int r = Check(true))
        return r;
    if (remoteName.empty() || localPath.empty())
        return kFtpBadParameters;
    return Transfer(Direction::Download, remoteName, localPath, type, progressWanted);
}

int FtpSession::Store(const std::string& localPath, std::string_view remoteName, char type,
                      bool progressWanted) {
    if (int r = Check(true))
        return r;
    if (remoteName.empty() || localPath.empty())
        return kFtpBadParameters;
    return Transfer(Direction::Upload, remoteName, localPath, type, progressWanted);
}

int FtpSession::List(std::string_view remotePath, const std::string& localPath) {
    if (int r = Check(true))
        return r;
    if (localPath.empty())
        return kFtpBadParameters;
    return Transfer(Direction::Listing, remotePath, localPath, 'A', false);
}

int FtpSession::Transfer(Direction direction, std::string_view remote, const std::string& local,
                         char type, bool progressWanted) {
    State& s = *s_;
    s.download.Discard();
    if (s.upload >= 0)
        ::close(s.upload);
    s.upload = -1;
    s.cancelled = false;
    if (!FtpSafeArgument(remote))
        return kFtpBadParameters;
    // The local side first, so that a file we cannot use fails before anything is sent.
    if (direction == Direction::Upload) {
        s.upload = OpenSource(local);
        if (s.upload < 0)
            return kFtpCannotOpenLocal;
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
    s.lineEnds = FtpLineEnds();
    s.bytes = 0;
    s.progressWanted = progressWanted;
    if (int r = OpenDataConnection(direction, remote))
        return r;
    return direction == Direction::Upload ? SendData() : ReceiveData();
}

int FtpSession::OpenDataConnection(Direction direction, std::string_view remote) {
    State& s = *s_;
    auto fail = [&](int result) {
        CloseData(false);
        return result;
    };
    if (!config_.passive) {
        // The server is told the address it already reaches us on.
        uint32_t localAddr = 0;
        uint16_t port = 0;
        if (TcpGetLocalAddr(s.control, &localAddr, nullptr) != kTcpSuccess ||
            TcpGetListenSocket(s.listen, nullptr, &port, 1, localAddr) != kTcpSuccess)
            return fail(kFtpDataConnectionFailed);
        unsigned char a[4];
        std::memcpy(a, &localAddr, sizeof a);
        char line[64];
        std::snprintf(line, sizeof line, "PORT %d,%d,%d,%d,%d,%d", a[0], a[1], a[2], a[3],
                      port >> 8, port & 0xFF);
        if (SendLine(line) != kFtpOk || ReadReply() != 200)
            return fail(kFtpUnexpectedAnswer);
    } else {
        if (SendLine("PASV") != kFtpOk)
            return fail(kFtpUnexpectedAnswer);
        const int code = ReadReply();
        if (code == 500 || code == 502)
            return fail(kFtpNoPassive);
        uint32_t offered = 0;
        uint16_t port = 0;
        if (code != 227 || !FtpParsePassive(LastReply(), offered, port))
            return fail(kFtpUnexpectedAnswer);
        // Whatever address the reply names, the data goes to the host we are
        // talking to; a reply cannot send us to a third party.
        uint32_t server = 0;
        char host[INET_ADDRSTRLEN] = {};
        if (TcpGetPeerAddr(s.control, &server, nullptr) != kTcpSuccess ||
            !::inet_ntop(AF_INET, &server, host, sizeof host))
            return fail(kFtpSocketUnavailable);
        const int r = TcpConnect(s.data, host, nullptr, &port, config_.timeout);
        if (r == kTcpCancelled)
            return fail(kFtpAborted);
        if (r != kTcpSuccess)
            return fail(kFtpSocketUnavailable);
    }
    std::string command = direction == Direction::Download ? "RETR "
                          : direction == Direction::Upload ? "STOR "
                                                           : "LIST";
    if (direction != Direction::Listing)
        command += remote;
    else if (!remote.empty())
        command += " " + std::string(remote);
    if (SendLine(command) != kFtpOk)
        return fail(kFtpSendFailed);
    const int code = ReadReply();
    if (code == 150 || code == 125) {
        if (config_.passive)
            return kFtpOk;
        const int r = AcceptData();
        return r == kFtpOk ? kFtpOk : fail(r);
    }
    return fail(code == -1    ? kFtpNoAnswer
                : code == 550 ? kFtpServerCannotOpen
                : code == 553 ? kFtpTransferRefused
                              : kFtpUnexpectedAnswer);
}

int FtpSession::AcceptData() {
    State& s = *s_;
    uint32_t server = 0;
    if (TcpGetPeerAddr(s.control, &server, nullptr) != kTcpSuccess)
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
        uint32_t from = 0;
        if (TcpGetPeerAddr(s.data, &from, nullptr) == kTcpSuccess && from == server)
            break;
        // Only the server may deliver the data; anyone else is turned away.
        TcpClose(s.data);
    }
    TcpClose(s.listen);
    return kFtpOk;
}

void FtpSession::Pace(bool& interrupted) {
    State& s = *s_;
    ++s.blocks;
    interrupted = false;
    if (config_.pauseMs > 0 && config_.pauseBlocks > 0 &&
        s.blocks % static_cast<uint64_t>(config_.pauseBlocks) == 0)
        interrupted = TcpWaitMs(config_.pauseMs) == kTcpCancelled;
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
            s.download.Discard();
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
        s.bytes += length;
        if (s.progressWanted && s.progress) {
            s.progress(0, s.bytes);
            if (!s_)
                return kFtpAborted; // released from inside the progress function
        }
        bool interrupted = false;
        Pace(interrupted);
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
        if (r != kTcpSuccess) {
            if (r == kTcpCancelled || s.cancelled) {
                Abort(false);
                return kFtpAborted;
            }
            CloseData(false);
            return kFtpSendFailed;
        }
        // One progress call and one pacing step per 4096-byte block of the file.
        for (size_t done = 0; done < static_cast<size_t>(n); done += State::kBlock) {
            const size_t piece = static_cast<size_t>(n) - done;
            s_->bytes += piece < State::kBlock ? piece : State::kBlock;
            if (s_->progressWanted && s_->progress) {
                s_->progress(0, s_->bytes);
                if (!s_)
                    return kFtpAborted;
            }
            bool interrupted = false;
            Pace(interrupted);
            if (interrupted)
                s_->cancelled = true;
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
    // Some servers answer 500 to an ABOR that overtook the rest of the stream;
    // repeat it, but not for ever.
    for (int i = 0; i < kMaxAborSends; ++i) {
        if (TnSend(s.control, "ABOR", true, s.log, config_.timeout) != kTcpSuccess)
            break;
        sent = true;
        code = ReadReply();
        if (code != 500)
            break;
    }
    if (sent)
        code = ReadReply();
    CloseData(drain);
    TcpFlush(s.control);
    return code;
}

int FtpSession::CloseData(bool drain) {
    State& s = *s_;
    // The local file goes with the data connection; an unfinished download
    // never replaces its target.
    s.download.Discard();
    if (s.upload >= 0)
        ::close(s.upload);
    s.upload = -1;
    if (drain && s.data >= 0) {
        const int wait = config_.timeout < 5 ? config_.timeout : 5;
        const auto until = Clock::now() + std::chrono::seconds(config_.timeout);
        while (Clock::now() < until && TcpRecv(s.data, s.block, sizeof s.block, wait, -1) > 0) {
        }
    }
    TcpClose(s.listen);
    return TcpClose(s.data) == kTcpSuccess ? kFtpOk : kFtpCloseFailed;
}

} // namespace km
