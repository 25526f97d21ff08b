// Downloads and uploads a large file through the FTP engine and through curl,
// against one pyftpdlib server on 127.0.0.1, with the program's default
// settings, and prints the time ratio (ours / curl) per direction, for passive
// and active mode, in clear text and with TLS (curl --ssl-reqd -k). It also
// prints the longest time the engine went without pumping the event loop.
// Usage: bench_ftp [MiB, default 200] [rounds, default 3]
#include "ftp/FtpConfig.h"
#include "ftp/FtpResult.h"
#include "ftp/FtpSession.h"
#include "net/TcpHooks.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <random>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace km;
using Clock = std::chrono::steady_clock;

namespace {

const char kUser[] = "kestrum";
const char kPassword[] = "bench";

pid_t Spawn(const std::vector<std::string>& args, bool dieWithUs) {
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (dieWithUs) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (::getppid() != parent)
                ::_exit(1);
        }
        const int devnull = ::open("/dev/null", O_RDWR);
        ::dup2(devnull, 1);
        ::dup2(devnull, 2);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

int Run(const std::vector<std::string>& args) {
    const pid_t pid = Spawn(args, false);
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string FindPython() {
    std::vector<std::string> candidates;
    if (const char* env = std::getenv("KM_PYTHON"); env && *env)
        candidates.emplace_back(env);
    candidates.emplace_back("python3");
    candidates.emplace_back("/usr/bin/python3");
    for (const std::string& c : candidates) {
        if (Run({c, "-c", "import pyftpdlib"}) == 0)
            return c;
    }
    return {};
}

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return sa;
}

bool WaitForServer(uint16_t port) {
    for (int i = 0; i < 200; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in sa = Loopback(port);
        const bool up = ::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
        ::close(fd);
        if (up)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

bool MakeFile(const std::string& path, size_t mib) {
    std::mt19937 rng(42);
    std::string block(1 << 20, '\0');
    for (char& c : block)
        c = static_cast<char>(rng());
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    for (size_t i = 0; i < mib; ++i) {
        block[i % block.size()] ^= 0x5A; // no two MiB alike
        if (std::fwrite(block.data(), 1, block.size(), f) != block.size()) {
            std::fclose(f);
            return false;
        }
    }
    return std::fclose(f) == 0;
}

struct Timing {
    double ours = 0;
    double curl = 0;
    bool ok = true;
};

// The longest gap between two pumps of the event loop during a transfer.
struct StallMeter {
    Clock::time_point last{};
    double longest = 0;
    void Pump() {
        const auto now = Clock::now();
        if (last != Clock::time_point{})
            longest = std::max(longest, std::chrono::duration<double>(now - last).count());
        last = now;
    }
};

// One transfer through the engine, login and quit included as curl does them.
// The pump is called as the program calls it: by every wait of the TCP
// library, and from the progress function at most every 15 ms.
double Ours(const FtpConfig& config, bool download, const std::string& local,
            const std::string& remote, bool& ok, StallMeter& stall) {
    FtpSession session(config);
    TcpSetHooks({[&] { stall.Pump(); }, nullptr});
    const auto t0 = Clock::now();
    int r = session.Init();
    session.SetCertificateCheck([](const FtpCertificate&) { return true; }); // made here
    if (r == kFtpOk)
        r = session.Login("127.0.0.1", kUser, kPassword);
    if (r == kFtpOk) {
        stall.last = Clock::now();
        session.SetProgressFunction([&](int, uint64_t) {
            if (Clock::now() - stall.last >= std::chrono::milliseconds(15))
                stall.Pump();
        });
        r = download ? session.Retrieve(remote, local, 'I', true)
                     : session.Store(local, remote, 'I', true);
        stall.Pump();
        stall.last = {};
    }
    if (r == kFtpOk)
        r = session.Quit();
    const double t = std::chrono::duration<double>(Clock::now() - t0).count();
    if (r != kFtpOk) {
        std::printf("  engine failed: %d %s\n", r, FtpErrorText(r));
        ok = false;
    }
    session.Release();
    TcpSetHooks({});
    return t;
}

double Curl(uint16_t port, bool passive, bool download, const std::string& local,
            const std::string& remote, bool& ok) {
    const std::string url = "ftp://" + std::string(kUser) + ":" + kPassword +
                            "@127.0.0.1:" + std::to_string(port) + "/" + remote;
    std::vector<std::string> args = {"curl", "-s", "-S"};
    if (!passive) {
        args.push_back("-P");
        args.push_back("127.0.0.1");
    }
    if (download) {
        args.push_back("-o");
        args.push_back(local);
    } else {
        args.push_back("-T");
        args.push_back(local);
    }
    args.push_back(url);
    const auto t0 = Clock::now();
    const int r = Run(args);
    const double t = std::chrono::duration<double>(Clock::now() - t0).count();
    if (r != 0) {
        std::printf("  curl failed: exit %d\n", r);
        ok = false;
    }
    return t;
}

// curl 7.88 cannot finish a TLS transfer with pyftpdlib (its data connection
// handshake is reset), so TLS is compared with Python's own FTP_TLS client.
double PythonTls(const std::string& python, uint16_t port, bool passive, bool download,
                 const std::string& local, const std::string& remote, bool& ok) {
    static const char kScript[] =
        "import ftplib, ssl, sys\n"
        "port, user, pw, remote, local, way, passive = sys.argv[1:8]\n"
        "ctx = ssl.create_default_context(); ctx.check_hostname = False\n"
        "ctx.verify_mode = ssl.CERT_NONE\n"
        "f = ftplib.FTP_TLS(context=ctx); f.connect('127.0.0.1', int(port))\n"
        "f.login(user, pw); f.prot_p(); f.set_pasv(passive == '1')\n"
        "if way == 'down':\n"
        "    with open(local, 'wb') as out: f.retrbinary('RETR ' + remote, out.write, 65536)\n"
        "else:\n"
        "    with open(local, 'rb') as src: f.storbinary('STOR ' + remote, src, 65536)\n"
        "f.quit()\n";
    const auto t0 = Clock::now();
    const int r = Run({python, "-c", kScript, std::to_string(port), kUser, kPassword, remote, local,
                       download ? "down" : "up", passive ? "1" : "0"});
    const double t = std::chrono::duration<double>(Clock::now() - t0).count();
    if (r != 0) {
        std::printf("  python failed: exit %d\n", r);
        ok = false;
    }
    return t;
}

void Report(const char* what, const Timing& t) {
    std::printf("  %-9s kestrum %7.2f s   peer %6.2f s   ratio: %.2f%s\n", what, t.ours, t.curl,
                t.ours / t.curl, t.ok ? "" : "   (FAILED)");
}

} // namespace

int main(int argc, char** argv) {
    const size_t mib = argc > 1 ? static_cast<size_t>(std::atoi(argv[1])) : 200;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const std::string python = FindPython();
    if (python.empty()) {
        std::printf("pyftpdlib is not available\n");
        return 1;
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/km-bench-ftp-XXXXXX";
    if (!::mkdtemp(tmpl.data()))
        return 1;
    const std::string dir = tmpl;
    const std::string root = dir + "/root";
    const std::string local = dir + "/local";
    std::filesystem::create_directories(root);
    std::filesystem::create_directories(local);
    if (!MakeFile(root + "/big.bin", mib) || !MakeFile(local + "/src.bin", mib))
        return 1;
    const std::string pem = dir + "/server.pem";
    if (Run({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
             "-nodes", "-keyout", pem, "-out", pem + ".crt", "-days", "1", "-subj",
             "/CN=localhost"}) != 0 ||
        Run({"sh", "-c", "cat \"$0.crt\" >> \"$0\"", pem}) != 0) {
        std::printf("openssl could not make a certificate\n");
        return 1;
    }
    // The same server the tests use; TLS offered, not required.
    int out[2];
    if (::pipe(out) != 0)
        return 1;
    const pid_t server = ::fork();
    if (server == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        ::dup2(out[1], 1);
        const int devnull = ::open("/dev/null", O_WRONLY);
        ::dup2(devnull, 2);
        ::execlp(python.c_str(), python.c_str(), KM_FTP_SERVER_SCRIPT, root.c_str(), kUser,
                 kPassword, "--tls", pem.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    char portText[16] = {};
    const ssize_t got = ::read(out[0], portText, sizeof portText - 1);
    const uint16_t port = got > 0 ? static_cast<uint16_t>(std::atoi(portText)) : 0;
    if (port == 0 || !WaitForServer(port)) {
        std::printf("server did not start\n");
        return 1;
    }
    const auto size = std::filesystem::file_size(root + "/big.bin");
    std::printf("file: %zu MiB, best of %d runs, default settings\n", mib, rounds);

    bool allOk = true;
    double longestStall = 0;
    for (bool tls : {false, true}) {
        for (bool passive : {true, false}) {
            FtpConfig config; // the defaults, but for the mode and encryption compared
            config.port = port;
            config.passive = passive;
            config.encryption = tls ? FtpEncryption::Required : FtpEncryption::None;
            Timing down, up;
            down.ours = down.curl = up.ours = up.curl = 1e9;
            StallMeter stall;
            const auto peer = [&](bool download, const std::string& file, const std::string& remote,
                                  bool& ok) {
                return tls ? PythonTls(python, port, passive, download, file, remote, ok)
                           : Curl(port, passive, download, file, remote, ok);
            };
            for (int i = 0; i < rounds; ++i) {
                down.ours = std::min(
                    down.ours, Ours(config, true, local + "/ours.bin", "big.bin", down.ok, stall));
                down.curl =
                    std::min(down.curl, peer(true, local + "/curl.bin", "big.bin", down.ok));
                up.ours = std::min(
                    up.ours, Ours(config, false, local + "/src.bin", "up_ours.bin", up.ok, stall));
                up.curl =
                    std::min(up.curl, peer(false, local + "/src.bin", "up_curl.bin", up.ok));
            }
            down.ok = down.ok && std::filesystem::file_size(local + "/ours.bin") == size;
            up.ok = up.ok && std::filesystem::file_size(root + "/up_ours.bin") == size;
            std::printf("%s, %s mode (peer %s; longest event-loop stall %.0f ms):\n",
                        tls ? "TLS" : "clear text", passive ? "passive" : "active",
                        tls ? "python ftplib" : "curl", stall.longest * 1000);
            Report("download", down);
            Report("upload", up);
            allOk = allOk && down.ok && up.ok;
            longestStall = std::max(longestStall, stall.longest);
        }
    }
    std::printf("longest event-loop stall: %.0f ms\n", longestStall * 1000);
    ::kill(server, SIGTERM);
    ::waitpid(server, nullptr, 0);
    std::filesystem::remove_all(dir);
    return allOk ? 0 : 1;
}
