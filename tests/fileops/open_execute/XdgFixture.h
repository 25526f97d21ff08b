#pragma once
// Private XDG directories for one test, with a small MIME database of its own
// and a recording program: a script that writes its working directory and
// arguments (NUL-separated) to a file, so a test sees what started with what.
#include "fileops/open_execute/ProcessLauncher.h"
#include "support/TempDir.h"
#include "support/TerminalStandIn.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace km::test {

inline void MakeDirs(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/')
            mkdir(path.substr(0, i).c_str(), 0755);
    }
}

inline void WriteExecutable(const std::string& path, const std::string& text) {
    WriteAll(path, text);
    chmod(path.c_str(), 0755);
}

// What the recording program saw: its directory, then its arguments.
struct Recorded {
    std::string cwd;
    std::vector<std::string> args;
};

class XdgFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        system_ = new TempDir;
        const std::string mime = system_->file("share/mime");
        MakeDirs(mime + "/packages");
        WriteAll(mime + "/packages/km-test.xml", R"(<?xml version="1.0" encoding="UTF-8"?>
<mime-info xmlns="http://www.freedesktop.org/standards/shared-mime-info">
  <mime-type type="text/plain">
    <comment>plain text document</comment>
    <glob pattern="*.txt"/>
  </mime-type>
  <mime-type type="text/x-kmtest">
    <comment>Kestrum test &amp; sample document</comment>
    <sub-class-of type="text/plain"/>
    <glob pattern="*.kmt"/>
  </mime-type>
  <mime-type type="application/x-kmdata">
    <comment>Kestrum data</comment>
    <glob pattern="*.kmd"/>
  </mime-type>
  <mime-type type="application/x-extension-taken">
    <comment>A type whose name an extension would want</comment>
    <glob pattern="*.taken2"/>
  </mime-type>
</mime-info>
)");
        const RunResult r = RunAndWait({"update-mime-database", mime}, {});
        ASSERT_EQ(r.exitStatus, 0) << r.output;
    }
    static void TearDownTestSuite() {
        delete system_;
        system_ = nullptr;
    }

    void SetUp() override {
        for (const char* v :
             {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_DIRS"}) {
            const char* old = std::getenv(v);
            saved_.push_back({v, old ? old : "", old != nullptr});
        }
        for (const char* d : {"home", "config", "data", "sys/applications", "etc", "work", "files"})
            MakeDirs(dir.file(d));
        setenv("HOME", dir.file("home").c_str(), 1);
        setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1);
        setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
        setenv("XDG_CONFIG_DIRS", dir.file("etc").c_str(), 1);
        setenv("XDG_DATA_DIRS", (dir.file("sys") + ":" + system_->file("share")).c_str(), 1);
        MakeDirs(dir.file("bin dir"));
        recorder = dir.file("bin dir/rec 'ord'.sh");
        WriteExecutable(
            recorder,
            "#!/bin/sh\n"
            "out=\"$1\"; shift\n"
            "printf '%s\\0' \"$(pwd -P)\" \"$@\" > \"$out.tmp\" && mv \"$out.tmp\" \"$out\"\n");
    }
    void TearDown() override {
        for (const auto& s : saved_) {
            if (s.set)
                setenv(s.name, s.value.c_str(), 1);
            else
                unsetenv(s.name);
        }
    }

    // An Exec line that runs the recorder writing to `out`.
    std::string recorderExec(const std::string& out) const {
        return "\"" + escapeForExec(recorder) + "\" " + out + " %f";
    }
    static std::string escapeForExec(const std::string& s) {
        // The two escape levels of an Exec value inside double quotes.
        std::string o;
        for (char c : s) {
            if (c == '\\')
                o += "\\\\\\\\";
            else if (c == '"' || c == '`' || c == '$')
                o += std::string("\\\\") + c;
            else
                o += c;
        }
        return o;
    }

    // A desktop entry in `appDir` ("data/applications" or "sys/applications").
    void writeEntry(const std::string& appDir, const std::string& id, const std::string& exec,
                    const std::string& mimeTypes, const std::string& extra = "") {
        MakeDirs(dir.file(appDir));
        WriteAll(dir.file(appDir + "/" + id), "[Desktop Entry]\nType=Application\nName=" + id +
                                                  "\nExec=" + exec + "\nMimeType=" + mimeTypes +
                                                  "\n" + extra);
    }
    void writeMimeApps(const std::string& text) {
        WriteAll(dir.file("config/mimeapps.list"), text);
    }

    // Waits for the recorder's file (programs start detached).
    Recorded waitForRecord(const std::string& out, int timeoutMs = 5000) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        struct stat st;
        while (stat(out.c_str(), &st) != 0 && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        Recorded r;
        const std::string text = ReadAll(out);
        size_t start = 0;
        std::vector<std::string> fields;
        for (size_t nul; (nul = text.find('\0', start)) != std::string::npos; start = nul + 1)
            fields.push_back(text.substr(start, nul - start));
        if (!fields.empty()) {
            r.cwd = fields.front();
            r.args.assign(fields.begin() + 1, fields.end());
        }
        return r;
    }
    bool appearsWithin(const std::string& path, int ms) {
        return !waitForRecord(path, ms).cwd.empty();
    }
    std::string real(const std::string& path) const {
        char buf[PATH_MAX];
        return realpath(path.c_str(), buf) ? buf : path;
    }

    TempDir dir;
    std::string recorder;
    // Scripts are console programs: they start in this stand-in terminal.
    TerminalStandIn terminal;

private:
    struct Saved {
        const char* name;
        std::string value;
        bool set;
    };
    std::vector<Saved> saved_;
    static inline TempDir* system_ = nullptr;
};

} // namespace km::test
