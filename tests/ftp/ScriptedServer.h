#pragma once
// A stand-in FTP server that answers exact bytes: it listens on 127.0.0.1, takes
// one control connection and runs a script in its own thread. Every wait is
// bounded, so a script that expects more than the client does ends by itself.
#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace km::test {

inline bool WaitReadable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0;
}

inline void SendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0)
            return;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
}

// Everything until the peer closes (or 5 s of silence).
inline std::string RecvAll(int fd) {
    std::string out;
    char buf[65536];
    while (WaitReadable(fd, 5000)) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        out.append(buf, static_cast<size_t>(n));
    }
    return out;
}

// A socket on 127.0.0.1 listening on a free port.
inline int ListenLoopback(uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(sa.sin_port);
    return fd;
}

inline int AcceptWithin(int listener, int timeoutMs) {
    if (!WaitReadable(listener, timeoutMs))
        return -1;
    return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
}

inline int ConnectLoopback(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The port of a "PORT h1,h2,h3,h4,p1,p2" line, 0 when it does not name 127.0.0.1.
inline uint16_t PortOfPortCommand(const std::string& line) {
    unsigned h[4], p1, p2;
    if (std::sscanf(line.c_str(), "PORT %u,%u,%u,%u,%u,%u", &h[0], &h[1], &h[2], &h[3], &p1, &p2) !=
            6 ||
        h[0] != 127 || h[1] != 0 || h[2] != 0 || h[3] != 1)
        return 0;
    return static_cast<uint16_t>(p1 * 256 + p2);
}

class ScriptedPeer {
public:
    explicit ScriptedPeer(int control) : control(control) {}

    void Send(std::string_view bytes) { SendAll(control, bytes); }
    // The next line without CR LF; "<none>" when nothing came within the time.
    std::string ReadLine(int timeoutMs = 5000) {
        std::string line;
        while (WaitReadable(control, timeoutMs)) {
            char c;
            if (::recv(control, &c, 1, 0) != 1)
                break;
            if (c == '\n') {
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                Record(line);
                return line;
            }
            line += c;
        }
        Record("<none>");
        return "<none>";
    }
    // Reads a line and answers it.
    std::string Answer(std::string_view reply) {
        std::string line = ReadLine();
        Send(reply);
        return line;
    }
    void Close() {
        if (control >= 0)
            ::close(control);
        control = -1;
    }
    std::vector<std::string> Lines() {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }

    int control;

private:
    void Record(const std::string& line) {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.push_back(line);
    }
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

class ScriptedServer {
public:
    using Script = std::function<void(ScriptedPeer&)>;

    explicit ScriptedServer(Script script, int acceptWithinMs = 5000) {
        listener_ = ListenLoopback(port_);
        thread_ = std::thread([this, script = std::move(script), acceptWithinMs] {
            const int fd = AcceptWithin(listener_, acceptWithinMs);
            if (fd < 0)
                return;
            // The client sends ABOR as urgent data; keep it in the line.
            const int on = 1;
            ::setsockopt(fd, SOL_SOCKET, SO_OOBINLINE, &on, sizeof on);
            peer_ = std::make_unique<ScriptedPeer>(fd);
            connected_ = true;
            script(*peer_);
            peer_->Close();
        });
    }
    ~ScriptedServer() {
        Join();
        if (listener_ >= 0)
            ::close(listener_);
    }
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    uint16_t port() const { return port_; }
    void Join() {
        if (thread_.joinable())
            thread_.join();
    }
    bool connected() const { return connected_; }
    // The lines the script read; call after Join.
    std::vector<std::string> Lines() { return peer_ ? peer_->Lines() : std::vector<std::string>{}; }

private:
    int listener_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> connected_{false};
    std::unique_ptr<ScriptedPeer> peer_;
    std::thread thread_;
};

} // namespace km::test
