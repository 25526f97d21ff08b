// Opens a generated 200 MiB text file in the viewer offscreen and prints the
// time to the first painted page, the time until the whole file is loaded,
// and the longest the event loop was held up meanwhile (how usable the
// window stays). Usage: bench_editor [MiB]
#include "settings/SettingsStore.h"
#include "ui_services/AppState.h"
#include "viewers/TextEditorWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

using namespace km;

namespace {

bool Generate(const std::string& path, size_t bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    std::string line;
    for (size_t written = 0, i = 0; written < bytes; written += line.size(), ++i) {
        line = "Line " + std::to_string(i) +
               ": the quick brown fox jumps over the lazy dog, 0123456789 ABCDEFGHIJ\n";
        std::fwrite(line.data(), 1, line.size(), f);
    }
    return std::fclose(f) == 0;
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const long mib = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 200;
    QApplication app(argc, argv);
    char tmpl[] = "/tmp/km-bench-editor-XXXXXX";
    if (!mkdtemp(tmpl))
        return 1;
    const std::string dir = tmpl;
    const std::string file = dir + "/big.txt";
    if (!Generate(file, static_cast<size_t>(mib) * 1024 * 1024)) {
        std::fprintf(stderr, "cannot write %s\n", file.c_str());
        return 1;
    }
    SettingsStore store(dir + "/KM.reg");
    App().store = &store;

    // The longest gap between two turns of the event loop while loading.
    QElapsedTimer tick;
    qint64 longestStall = 0;
    QTimer probe;
    probe.setInterval(0);
    QObject::connect(&probe, &QTimer::timeout,
                     [&] { longestStall = std::max(longestStall, tick.restart()); });

    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    TextEditorWindow* w = TextEditorWindow::Open(file, true, false);
    QPointer<TextEditorWindow> guard(w); // the window may close itself
    double firstPage = -1, loaded = -1;
    QObject::connect(w, &TextEditorWindow::firstPieceShown, [&] {
        w->textEdit()->viewport()->repaint();
        firstPage = clock.nsecsElapsed() / 1e6;
        tick.start();
        probe.start();
    });
    QObject::connect(w, &TextEditorWindow::loadFinished, [&] {
        loaded = clock.nsecsElapsed() / 1e6;
        loop.quit(); // not app.quit(), which would close the window
    });
    loop.exec();
    probe.stop();

    std::printf("file: %ld MiB\n", mib);
    std::printf("first page shown: %.1f ms\n", firstPage);
    std::printf("fully loaded:     %.1f ms\n", loaded);
    std::printf("longest stall of the event loop while loading: %lld ms\n",
                static_cast<long long>(longestStall));
    if (guard)
        delete w;
    App().store = nullptr;
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return 0;
}
