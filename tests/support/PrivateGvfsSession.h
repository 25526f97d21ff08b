#pragma once
// The desktop's network mounts for a test: a private session bus (gvfsd comes
// by bus activation and has gvfsd-fuse mount $XDG_RUNTIME_DIR/gvfs), a
// private home and runtime directory, and pyftpdlib on 127.0.0.1 with one
// user ("joe", "s3cret") on a root holding a.txt and sub/. `skipReason()`
// names what is not installed or not usable here; `error()` says what did not
// start although it is installed, a failure. Going, it stops the bus, which
// takes gvfs and its FUSE mount along.
#include "ftp/PyFtpServer.h"
#include "support/EnvScope.h"
#include "support/TempDir.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <thread>

namespace km::test {

class PrivateGvfsSession {
public:
    PrivateGvfsSession() {
        for (const char* tool : {"/usr/bin/dbus-daemon", "/usr/bin/gio"}) {
            if (!exists(tool)) {
                skip_ = std::string(tool) + " is not installed";
                return;
            }
        }
        if (!exists("/usr/libexec/gvfsd") || !exists("/usr/libexec/gvfsd-ftp") ||
            !exists("/usr/libexec/gvfsd-fuse")) {
            skip_ =
                "gvfs with its FTP backend and FUSE (gvfs-backends, gvfs-fuse) is not installed";
            return;
        }
        if (const int fuse = ::open("/dev/fuse", O_RDWR | O_CLOEXEC); fuse < 0) {
            skip_ = "no usable /dev/fuse (" + std::string(std::strerror(errno)) +
                    "): gvfs cannot show mounts as directories here";
            return;
        } else {
            ::close(fuse);
        }
        if (skip_ = PyFtpMissing(); !skip_.empty())
            return;
        ::mkdir(runtime_.c_str(), 0700);
        ::mkdir(root_.c_str(), 0755);
        ::mkdir((root_ + "/sub").c_str(), 0755);
        WriteAll(root_ + "/a.txt", "hello from ftp\n");
        env_.set("HOME", home_.path());
        env_.set("XDG_RUNTIME_DIR", runtime_);
        env_.set("XDG_CONFIG_HOME", home_.file("config"));
        env_.set("XDG_DATA_HOME", home_.file("data"));
        env_.set("XDG_CACHE_HOME", home_.file("cache"));
        env_.set("GIO_USE_VOLUME_MONITOR", "unix"); // no disk or phone monitors
        const std::string busFile = home_.file("bus");
        if (RunQuietly({"sh", "-c",
                        "dbus-daemon --session --fork --print-address=1 --print-pid=1 > \"$0\"",
                        busFile}) != 0) {
            error_ = "dbus-daemon did not start a private session bus";
            return;
        }
        const std::string bus = ReadAll(busFile);
        const size_t nl = bus.find('\n');
        busPid_ = std::atoi(bus.c_str() + (nl == std::string::npos ? bus.size() : nl + 1));
        env_.set("DBUS_SESSION_BUS_ADDRESS", bus.substr(0, nl));
        server_ = std::make_unique<PyFtpServer>(root_, "joe", "s3cret");
        if (server_->port() == 0)
            error_ = server_->startError();
    }
    ~PrivateGvfsSession() {
        if (busPid_ > 0)
            ::kill(busPid_, SIGTERM);
        const std::string gvfs = gvfsDir();
        for (int i = 0; i < 250 && mounted(gvfs); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (mounted(gvfs))
            RunQuietly({"fusermount", "-u", "-z", gvfs});
        server_.reset();
    }
    PrivateGvfsSession(const PrivateGvfsSession&) = delete;
    PrivateGvfsSession& operator=(const PrivateGvfsSession&) = delete;

    const std::string& skipReason() const { return skip_; }
    const std::string& error() const { return error_; }
    uint16_t port() const { return server_ ? server_->port() : 0; }
    // ftp://127.0.0.1:<port>/
    std::string location() const { return "ftp://127.0.0.1:" + std::to_string(port()) + "/"; }
    std::string gvfsDir() const { return runtime_ + "/gvfs"; }
    // Where gvfs shows the FTP server once mounted.
    std::string mountDir() const {
        return gvfsDir() + "/ftp:host=127.0.0.1,port=" + std::to_string(port());
    }
    const std::string& home() const { return home_.path(); }
    // Stops the FTP server: nobody listens on its port afterwards.
    void stopServer() { server_.reset(); }

private:
    static bool exists(const std::string& path) {
        struct stat st;
        return ::stat(path.c_str(), &st) == 0;
    }
    static bool mounted(const std::string& dir) {
        std::ifstream in("/proc/self/mountinfo");
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        return text.find(" " + dir + " ") != std::string::npos;
    }

    TempDir home_;
    const std::string runtime_ = home_.file("run");
    const std::string root_ = home_.file("ftproot");
    EnvScope env_;
    std::unique_ptr<PyFtpServer> server_;
    std::string skip_;
    std::string error_;
    pid_t busPid_ = -1;
};

} // namespace km::test
