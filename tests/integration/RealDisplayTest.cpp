// The real program under a real X server with a window manager (Xvfb and
// openbox, skipped where either is missing): the window's placement, frame
// included, comes back exactly over restarts, with its title bar on the
// screen; keys of the numeric keypad, sent as a keyboard sends them, act.
#include "support/TempDir.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

bool installed(const char* program) {
    for (const char* dir : {"/usr/bin/", "/bin/", "/usr/local/bin/"}) {
        if (access((std::string(dir) + program).c_str(), X_OK) == 0)
            return true;
    }
    return false;
}

pid_t start(const std::vector<std::string>& argv, const km::test::TempDir& env, const std::string& display) {
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("DISPLAY", display.c_str(), 1);
        unsetenv("WAYLAND_DISPLAY");
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        setenv("HOME", env.path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", env.file("config").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", env.path().c_str(), 1);
        setenv("XDG_STATE_HOME", env.file("state").c_str(), 1);
        setenv("XDG_SESSION_ID", "placement", 1);
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    return pid;
}

void stop(pid_t pid) {
    kill(pid, SIGTERM);
    for (int i = 0; i < 500; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// The four saved edges, as the settings file holds them.
std::string placement(const km::test::TempDir& env) {
    const std::string text = km::test::ReadAll(env.file("config/Orlent/KM.reg"));
    std::string out;
    for (const char* key : {"\"wp.left\"", "\"wp.top\"", "\"wp.right\"", "\"wp.bottom\""}) {
        const size_t at = text.find(key);
        out += at == std::string::npos ? std::string("?") : text.substr(at, text.find('\n', at) - at);
        out += ' ';
    }
    return out;
}

int edge(const std::string& placementText, const char* key) {
    const size_t at = placementText.find(std::string("\"") + key + "\"=dword:");
    return at == std::string::npos ? -1 : static_cast<int>(std::stoul(placementText.substr(at + std::strlen(key) + 9, 8), nullptr, 16));
}

// A running X server with openbox on a display of this test's own.
class RealDisplay {
public:
    explicit RealDisplay(const km::test::TempDir& env) : display_(":" + std::to_string(90 + getpid() % 500)) {
        x_ = start({"Xvfb", display_, "-screen", "0", "1280x800x24", "-nolisten", "tcp"}, env, display_);
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        wm_ = start({"openbox"}, env, display_);
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
    }
    ~RealDisplay() {
        stop(wm_);
        stop(x_);
    }
    const std::string& display() const { return display_; }
    // What xdotool prints for `args` on this display.
    std::string xdotool(const std::string& args) const {
        const std::string command = "DISPLAY=" + display_ + " xdotool " + args + " 2>/dev/null";
        std::string out;
        if (FILE* p = popen(command.c_str(), "r")) {
            char buf[256];
            while (fgets(buf, sizeof buf, p))
                out += buf;
            pclose(p);
        }
        return out;
    }

private:
    std::string display_;
    pid_t x_ = -1, wm_ = -1;
};

bool realDisplayTools() { return installed("Xvfb") && installed("openbox") && installed("xdotool"); }

} // namespace

TEST(RealDisplay, KeypadPlusMarksFilesAsAKeyboardSendsIt) {
    if (!realDisplayTools())
        GTEST_SKIP() << "Xvfb, openbox or xdotool is not installed";
    km::test::TempDir env;
    chmod(env.path().c_str(), 0700);
    const RealDisplay x(env);
    const pid_t program = start({KM_BINARY}, env, x.display());
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    const std::string window = x.xdotool("search --onlyvisible --name '^Kestrum'");
    ASSERT_FALSE(window.empty());
    const std::string id = window.substr(0, window.find('\n'));
    x.xdotool("windowfocus --sync " + id);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    x.xdotool("key KP_Add"); // keycode 86, through XTEST
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    const std::string select = x.xdotool("search --onlyvisible --name '^KM - Select files'");
    stop(program);
    EXPECT_FALSE(select.empty()) << "num + opened the mark dialog";
}

TEST(Placement, TheFramedWindowComesBackExactlyOverRestarts) {
    if (!realDisplayTools())
        GTEST_SKIP() << "Xvfb, openbox or xdotool is not installed";
    km::test::TempDir env;
    chmod(env.path().c_str(), 0700);
    const RealDisplay x(env);
    const std::string display = x.display();
    // A rectangle with its top above the screen: it comes back on the screen.
    mkdir(env.file("config").c_str(), 0700);
    mkdir(env.file("config/Orlent").c_str(), 0700);
    km::test::WriteAll(env.file("config/Orlent/KM.reg"),
                       "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Orlent\\KM\\WinPositie]\n"
                       "\"wp.showCmd\"=dword:00000001\n\"wp.left\"=dword:00000064\n\"wp.top\"=dword:ffffffee\n"
                       "\"wp.right\"=dword:000002e4\n\"wp.bottom\"=dword:000001c0\n");
    std::vector<std::string> saved;
    for (int run = 0; run < 3; ++run) {
        const pid_t program = start({KM_BINARY}, env, display);
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));
        stop(program);
        saved.push_back(placement(env));
    }
    EXPECT_EQ(edge(saved[0], "wp.top"), 0) << saved[0];
    EXPECT_EQ(edge(saved[0], "wp.left"), 100);
    EXPECT_EQ(edge(saved[0], "wp.bottom") - edge(saved[0], "wp.top"), 466) << "the stored height, frame included";
    EXPECT_EQ(saved[1], saved[0]) << "the second start";
    EXPECT_EQ(saved[2], saved[0]) << "the third start";
}
