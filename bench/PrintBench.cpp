// Prints a 10 MB text file to PDF with the default settings and measures the
// time per 1,000 pages and the longest time the event loop went without
// running (a 0 ms timer notes every turn). When GNU enscript is installed it
// lays out the same file (to PostScript) in the same run, for a ratio.
#include "fileops/open_execute/ProcessLauncher.h"
#include "fileops/printing/ui/PrintJob.h"
#include "settings/SettingsStore.h"
#include "ui_services/AppState.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPrinter>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace km;

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const long megabytes = argc > 1 ? std::atol(argv[1]) : 10;
    const char* tmp = std::getenv("TMPDIR");
    std::string base = std::string(tmp && *tmp ? tmp : "/tmp") + "/km-bench-print-XXXXXX";
    if (!mkdtemp(base.data()))
        return 1;
    SettingsStore store(base + "/KM.reg");
    App().store = &store;
    const std::string in = base + "/in.txt", pdf = base + "/out.pdf";
    {
        std::ofstream f(in);
        std::string line;
        for (long n = 0, size = 0; size < megabytes * 1024 * 1024; ++n) {
            line = "line " + std::to_string(n) + "\tsome text of a log file, with \xC3\xA9 accents and numbers " +
                   std::to_string(n * 7919 % 100000) + "\n";
            f << line;
            size += static_cast<long>(line.size());
        }
    }

    QElapsedTimer clock;
    qint64 last = 0, longestStall = 0;
    QTimer turn;
    turn.setInterval(0);
    QObject::connect(&turn, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longestStall = std::max(longestStall, now - last);
        last = now;
    });
    turn.start();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    clock.start();
    PrintFile(in, in, printer, nullptr);
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    turn.stop();
    const RunResult info = RunAndWait({"pdfinfo", pdf}, {});
    const size_t at = info.output.find("Pages:");
    const long pages = at == std::string::npos ? 0 : std::atol(info.output.c_str() + at + 6);
    std::printf("%ld MB, %ld pages in %.2f s: %.2f s per 1,000 pages; longest event-loop stall %.1f ms\n",
                megabytes, pages, seconds, pages ? seconds * 1000.0 / static_cast<double>(pages) : 0.0,
                static_cast<double>(longestStall) / 1e6);

    if (!FindProgram("enscript").empty()) {
        const auto start = std::chrono::steady_clock::now();
        const RunResult r = RunAndWait({"enscript", "-q", "-p", base + "/out.ps", in}, {});
        const double peer = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (r.exitStatus == 0)
            std::printf("enscript (to PostScript): %.2f s; ratio %.2f\n", peer, seconds / peer);
    } else {
        std::printf("enscript is not installed: no peer ratio\n");
    }
    std::error_code ec;
    std::remove(in.c_str());
    std::remove(pdf.c_str());
    std::remove((base + "/out.ps").c_str());
    std::remove((base + "/KM.reg").c_str());
    rmdir(base.c_str());
    return 0;
}
