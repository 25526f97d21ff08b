// Paints 1,000 pages of a 100,000-row panel offscreen and prints the time per page.
#include "panels/FilePanel.h"
#include "panels/PanelModel.h"
#include "settings/SettingsStore.h"
#include "ui_services/AppState.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

using namespace km;

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    char tmpl[] = "/tmp/km-bench-paint-XXXXXX";
    if (!mkdtemp(tmpl))
        return 1;
    SettingsStore store(std::string(tmpl) + "/KM.reg");
    App().store = &store;
    App().colors.load(store);

    FilePanel panel(FilePanel::kLeftId);
    panel.resize(400, 700);
    panel.ApplyFont(QFont(), 16);
    PanelListing& l = panel.listing();
    l.path = tmpl;
    panel.panelModel()->beginListingReset();
    l.entries.resize(100000);
    for (size_t i = 0; i < l.entries.size(); ++i) {
        FileEntry& e = l.entries[i];
        e.kind = i < 500 ? KindDirectory : KindFile;
        e.name = "entry_number_" + std::to_string(i) + ".txt";
        e.size = i * 1013;
        e.lastWrite = 133000000000000000ULL + i * 10000000ULL;
        e.selected = i % 7 == 0;
    }
    panel.panelModel()->endListingReset();
    panel.show();
    app.processEvents();

    QImage image(panel.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    const int pages = 1000;
    const int step = panel.pageRows();
    QScrollBar* bar = panel.verticalScrollBar();
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < pages; ++i) {
        bar->setValue((i * step * 97) % std::max(1, bar->maximum()));
        QPainter p(&image);
        panel.viewport()->render(&p);
    }
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    std::printf("rows: %zu, rows per page: %d\n", l.entries.size(), step);
    std::printf("time per page: %.3f ms\n", ms / pages);
    App().store = nullptr;
    return 0;
}
