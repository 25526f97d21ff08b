// Downloads and uploads a large file through the FTP engine and through curl,
// against one pyftpdlib server on 127.0.0.1, and prints the time ratio
// (ours / curl) per direction: once without pacing and once with the default
// pacing of 100 ms after every 40 blocks.
// Usage: bench_ftp [MiB, default 200] [rounds, default 3] [nopacing]
#include "ftp/FtpConfig.h"
#include "ftp/FtpResult.h"
#include "ftp/FtpSession.h"

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

uint16_t FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa = Loopback(0);
    socklen_t len = sizeof sa;
    uint16_t port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) == 0)
        port = ntohs(sa.sin_port);
    ::close(fd);
    return port;
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

// One transfer through the engine, login and quit included as curl does them.
double Ours(const FtpConfig& config, bool download, const std::string& local,
            const std::string& remote, bool& ok) {
    FtpSession session(config);
    const auto t0 = Clock::now();
    int r = session.Init();
    if (r == kFtpOk)
        r = session.Login("127.0.0.1", kUser, kPassword);
    uint64_t last = 0;
    if (r == kFtpOk) {
        session.SetProgressFunction([&](int, uint64_t bytes) { last = bytes; });
        r = download ? session.Retrieve(remote, local, 'I', true)
                     : session.Store(local, remote, 'I', true);
    }
    if (r == kFtpOk)
        r = session.Quit();
    const double t = std::chrono::duration<double>(Clock::now() - t0).count();
    if (r != kFtpOk) {
        std::printf("  engine failed: %d %s\n", r, FtpErrorText(r));
        ok = false;
    }
    session.Release();
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

void Report(const char* what, const Timing& t) {
    std::printf("  %-9s kestrum %7.2f s   curl %6.2f s   ratio: %.2f%s\n", what, t.ours, t.curl,
                t.ours / t.curl, t.ok ? "" : "   (FAILED)");
}

} // namespace

int main(int argc, char** argv) {
    const size_t mib = argc > 1 ? static_cast<size_t>(std::atoi(argv[1])) : 200;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const bool withPacing = !(argc > 3 && std::string(argv[3]) == "nopacing");
    const std::string python = FindPython();
    if (python.empty()) {
        std::printf("pyftpdlib is not available\n");
        return 1;
    }
    char tmpl[] = "/tmp/km-bench-ftp-XXXXXX";
    if (!::mkdtemp(tmpl))
        return 1;
    const std::string dir = tmpl;
    const std::string root = dir + "/root";
    const std::string local = dir + "/local";
    std::filesystem::create_directories(root);
    std::filesystem::create_directories(local);
    if (!MakeFile(root + "/big.bin", mib) || !MakeFile(local + "/src.bin", mib))
        return 1;
    const uint16_t port = FreePort();
    const pid_t server =
        Spawn({python, "-m", "pyftpdlib", "-i", "127.0.0.1", "-p", std::to_string(port), "-w", "-d",
               root, "-u", kUser, "-P", kPassword},
              true);
    if (server < 0 || !WaitForServer(port)) {
        std::printf("server did not start\n");
        return 1;
    }
    const auto size = std::filesystem::file_size(root + "/big.bin");
    std::printf("file: %zu MiB, best of %d runs\n", mib, rounds);

    FtpConfig config;
    config.port = port;
    const FtpConfig paced = config;
    config.pauseMs = 0;
    for (bool passive : {false, true}) {
        config.passive = passive;
        Timing down, up;
        down.ours = down.curl = up.ours = up.curl = 1e9;
        for (int i = 0; i < rounds; ++i) {
            down.ours =
                std::min(down.ours, Ours(config, true, local + "/ours.bin", "big.bin", down.ok));
            down.curl = std::min(
                down.curl, Curl(port, passive, true, local + "/curl.bin", "big.bin", down.ok));
            up.ours =
                std::min(up.ours, Ours(config, false, local + "/src.bin", "up_ours.bin", up.ok));
            up.curl = std::min(
                up.curl, Curl(port, passive, false, local + "/src.bin", "up_curl.bin", up.ok));
        }
        down.ok = down.ok && std::filesystem::file_size(local + "/ours.bin") == size;
        up.ok = up.ok && std::filesystem::file_size(root + "/up_ours.bin") == size;
        std::printf("pacing off (PauseMs 0), %s mode:\n", passive ? "passive" : "active");
        Report("download", down);
        Report("upload", up);
    }

    Timing down, up;
    if (!withPacing) {
        ::kill(server, SIGTERM);
        ::waitpid(server, nullptr, 0);
        std::filesystem::remove_all(dir);
        return 0;
    }
    down.ours = Ours(paced, true, local + "/ours.bin", "big.bin", down.ok);
    down.curl = Curl(port, false, true, local + "/curl.bin", "big.bin", down.ok);
    up.ours = Ours(paced, false, local + "/src.bin", "up_ours.bin", up.ok);
    up.curl = Curl(port, false, false, local + "/src.bin", "up_curl.bin", up.ok);
    std::printf("default pacing (PauseBlocks %d, PauseMs %d), active mode:\n", paced.pauseBlocks,
                paced.pauseMs);
    Report("download", down);
    Report("upload", up);

    ::kill(server, SIGTERM);
    ::waitpid(server, nullptr, 0);
    std::filesystem::remove_all(dir);
    return down.ok && up.ok ? 0 : 1;
}
