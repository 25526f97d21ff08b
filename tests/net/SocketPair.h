#pragma once
// A connected pair of local stream sockets, and a peer that writes pieces with
// pauses between them, so reads see data arrive in separate segments.
#include <chrono>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace km::test {

class SocketPair {
public:
    SocketPair() {
        int fds[2] = {-1, -1};
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0) {
            ours = fds[0];
            theirs = fds[1];
        }
    }
    ~SocketPair() {
        if (writer_.joinable())
            writer_.join();
        CloseTheirs();
        if (ours >= 0)
            ::close(ours);
    }
    SocketPair(const SocketPair&) = delete;
    SocketPair& operator=(const SocketPair&) = delete;

    void Write(const std::string& bytes) const {
        for (size_t at = 0; at < bytes.size();) {
            const ssize_t n = ::write(theirs, bytes.data() + at, bytes.size() - at);
            if (n <= 0)
                return;
            at += static_cast<size_t>(n);
        }
    }
    // Writes each piece after a pause, from a thread of its own.
    void WriteLater(std::vector<std::string> pieces, int pauseMs = 30) {
        writer_ = std::thread([this, pieces = std::move(pieces), pauseMs] {
            for (const std::string& p : pieces) {
                std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
                Write(p);
            }
        });
    }
    void CloseTheirs() {
        if (writer_.joinable())
            writer_.join();
        if (theirs >= 0)
            ::close(theirs);
        theirs = -1;
    }
    // Everything that has arrived on the other end.
    std::string ReadTheirs() const {
        std::string out;
        char buf[4096];
        for (;;) {
            const ssize_t n = ::recv(theirs, buf, sizeof buf, MSG_DONTWAIT);
            if (n <= 0)
                return out;
            out.append(buf, static_cast<size_t>(n));
        }
    }

    int ours = -1;
    int theirs = -1;

private:
    std::thread writer_;
};

} // namespace km::test
