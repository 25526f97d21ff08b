#pragma once
// A real FTP server for the tests: pyftpdlib (tests/ftp/ftp_server.py) on
// 127.0.0.1 or ::1 and a free port, one user with a password and full rights
// on a temporary root, plain or passive-only or active-only, with or without TLS. Stopped (SIGTERM,
// then SIGKILL) when the object goes; the child also dies with its parent.
// A test skips only where PyFtpMissing() names a missing tool; a server that
// is installed and does not start is a failure, told by startError().
#include "support/Python.h"
#include "support/TempDir.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace km::test {

struct PyFtpOptions {
    std::string host = "127.0.0.1"; // or "::1"
    std::string mode = "plain";     // "passive-only", "active-only"
    std::string tlsPem;             // certificate and key: explicit FTPS
    bool tlsRequired = false;
};

// A self-signed certificate for `cn` (certificate and key in one PEM file);
// false when openssl is missing.
inline bool MakeCertificate(const std::string& pem, const std::string& cn) {
    const std::string key = pem + ".key", cert = pem + ".crt";
    if (RunQuietly({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                    "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", key, "-out", cert, "-days",
                    "2", "-subj", "/CN=" + cn, "-addext", "subjectAltName=DNS:" + cn}) != 0)
        return false;
    return RunQuietly({"sh", "-c", "cat \"$0\" \"$1\" > \"$2\"", key, cert, pem}) == 0;
}

// What a test needs installed for this server (with TLS: openssl for the
// certificate, pyOpenSSL for the server's side), named as Debian packages it;
// empty when all of it is there.
inline std::string PyFtpMissing(bool tls = false) {
    if (PythonWithModule("pyftpdlib").empty())
        return "pyftpdlib (python3-pyftpdlib) is not installed";
    if (tls && PythonWithModule("OpenSSL").empty())
        return "pyOpenSSL (python3-openssl) is not installed";
    if (tls && RunQuietly({"openssl", "version"}) != 0)
        return "openssl is not installed";
    return {};
}

class PyFtpServer {
public:
    PyFtpServer(const std::string& root, const std::string& user, const std::string& password,
                const PyFtpOptions& options = {}) {
        const std::string& python = PythonWithModule("pyftpdlib");
        if (python.empty()) {
            startError_ = PyFtpMissing();
            return;
        }
        std::vector<std::string> args = {python,         KM_FTP_SERVER_SCRIPT, root, user, password,
                                         "--host",       options.host,         "--mode",
                                         options.mode};
        if (!options.tlsPem.empty()) {
            args.push_back("--tls");
            args.push_back(options.tlsPem);
            if (options.tlsRequired)
                args.push_back("--tls-required");
        }
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) {
            startError_ = "pipe failed";
            return;
        }
        const std::string log = logDir_.file("server.log");
        const pid_t parent = ::getpid();
        pid_ = ::fork();
        if (pid_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (::getppid() != parent)
                ::_exit(1);
            ::dup2(out[1], 1);
            const int logFd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(logFd, 2);
            std::vector<char*> argv;
            for (const std::string& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execvp(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        std::string line;
        pollfd p{out[0], POLLIN, 0};
        while (pid_ > 0 && line.find('\n') == std::string::npos && ::poll(&p, 1, 10000) > 0) {
            char buf[64];
            const ssize_t n = ::read(out[0], buf, sizeof buf);
            if (n <= 0)
                break;
            line.append(buf, static_cast<size_t>(n));
        }
        ::close(out[0]);
        port_ = static_cast<uint16_t>(std::atoi(line.c_str()));
        if (port_ == 0) {
            std::string said = ReadAll(log);
            if (said.size() > 2000)
                said = "…" + said.substr(said.size() - 2000);
            startError_ = "the FTP server (" + std::string(KM_FTP_SERVER_SCRIPT) +
                          ") did not start" + (line.empty() ? "" : ", printing \"" + line + "\"") +
                          (said.empty() ? std::string() : ":\n" + said);
        }
    }
    ~PyFtpServer() {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGTERM);
        for (int i = 0; i < 100; ++i) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    PyFtpServer(const PyFtpServer&) = delete;
    PyFtpServer& operator=(const PyFtpServer&) = delete;

    uint16_t port() const { return port_; }
    // Why port() is 0: what is missing or what the server said.
    const std::string& startError() const { return startError_; }

private:
    TempDir logDir_; // the server's own messages, for startError()
    pid_t pid_ = -1;
    uint16_t port_ = 0;
    std::string startError_;
};

} // namespace km::test
