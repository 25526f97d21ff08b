// Opens a directory of a million entries in a real panel (offscreen) and
// measures what the user sees: the time until the first 100 rows are shown,
// the time until the listing is complete, and the longest time the event loop
// went without running (a 0 ms timer notes every turn of the loop).
#include "panels/FilePanel.h"
#include "settings/SettingsStore.h"
#include "ui_services/AppState.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace km;

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const char* tmp = std::getenv("TMPDIR");
    std::string base = std::string(tmp && *tmp ? tmp : "/tmp") + "/km-bench-load-XXXXXX";
    if (!mkdtemp(base.data()))
        return 1;
    // Declared before the store so that it goes after it: the store writes its
    // file as it is destroyed.
    struct RemovedAtExit {
        std::string path;
        ~RemovedAtExit() { std::filesystem::remove_all(path); }
    } removed{base};
    SettingsStore store(base + "/KM.reg");
    App().store = &store;
    const std::string dir = base + "/huge";
    mkdir(dir.c_str(), 0755);
    const int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    char name[32];
    for (int i = 0; i < count; ++i) {
        std::snprintf(name, sizeof name, "entry_%07d.dat", static_cast<int>(static_cast<int64_t>(i) * 7919 % count));
        const int fd = openat(dirFd, name, O_CREAT | O_WRONLY, 0644);
        if (fd < 0)
            return 1;
        close(fd);
    }
    close(dirFd);

    FilePanel panel(FilePanel::kLeftId);
    panel.resize(400, 700);
    panel.listing().path = base;
    panel.show();
    panel.Refresh();

    QElapsedTimer clock;
    qint64 last = 0, longestStall = 0, firstRows = -1, complete = -1;
    QTimer turn;
    turn.setInterval(0);
    QObject::connect(&turn, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longestStall = std::max(longestStall, now - last);
        last = now;
        if (firstRows < 0 && panel.listing().rowCount() >= 100 && panel.listing().path == dir)
            firstRows = now;
        if (!panel.reading()) {
            complete = now;
            app.quit();
        }
    });
    clock.start();
    panel.ChangeDirectory(dir);
    // The part spent in the call itself counts as a stall too.
    const qint64 inCall = clock.nsecsElapsed();
    longestStall = inCall;
    last = inCall;
    if (panel.reading()) {
        turn.start();
        app.exec();
    } else {
        complete = firstRows = clock.nsecsElapsed();
    }
    std::printf("entries: %d (%d rows shown)\n", count, panel.listing().rowCount());
    std::printf("first 100 rows shown after: %.1f ms\n", static_cast<double>(firstRows) / 1e6);
    std::printf("complete listing after:     %.1f ms\n", static_cast<double>(complete) / 1e6);
    std::printf("longest event-loop stall:   %.1f ms (the call that opens it: %.1f ms)\n",
                static_cast<double>(longestStall) / 1e6, static_cast<double>(inCall) / 1e6);
    App().store = nullptr;
    return 0;
}
