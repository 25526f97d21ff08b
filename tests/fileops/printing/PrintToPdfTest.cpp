// Printing files onto a PDF printer and reading the pages back with pdftotext.
#include "fileops/open_execute/ProcessLauncher.h"
#include "fileops/printing/DirectoryListing.h"
#include "fileops/printing/ui/PrintCommands.h"
#include "fileops/printing/ui/PrintJob.h"
#include "settings/SettingsStore.h"
#include "support/TempDir.h"
#include "ui_services/AppState.h"

#include <QPrinter>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace km;

namespace {

class PrintToPdf : public ::testing::Test {
protected:
    void SetUp() override { App().store = &store; }
    void TearDown() override {
        App().store = nullptr;
        App().cancelFlag = false;
    }
    // Prints `text` as a file and returns the pages as pdftotext -layout reads them.
    std::vector<std::string> print(const std::string& text, PrintProgress* progress = nullptr) {
        test::WriteAll(dir.file("in.txt"), text);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(dir.file("out.pdf")));
        EXPECT_TRUE(PrintFile(dir.file("in.txt"), "My header", printer, progress));
        const RunResult r = RunAndWait({"pdftotext", "-layout", dir.file("out.pdf"), "-"}, {});
        EXPECT_EQ(r.exitStatus, 0) << r.output;
        std::vector<std::string> pages;
        size_t start = 0;
        for (size_t ff; (ff = r.output.find('\f', start)) != std::string::npos; start = ff + 1)
            pages.push_back(r.output.substr(start, ff - start));
        return pages;
    }
    // "W x H" of the first sheet, in points.
    std::pair<double, double> sheetSize() {
        const RunResult r = RunAndWait({"pdfinfo", dir.file("out.pdf")}, {});
        const size_t at = r.output.find("Page size:");
        double w = 0, h = 0;
        if (at != std::string::npos)
            std::sscanf(r.output.c_str() + at, "Page size: %lf x %lf", &w, &h);
        return {w, h};
    }
    static std::string lines(int n, const std::string& stem = "line number ") {
        std::string text;
        for (int i = 1; i <= n; ++i)
            text += stem + std::to_string(i) + "\n";
        return text;
    }
    test::TempDir dir;
    SettingsStore store{dir.file("KM.reg")};
};

TEST_F(PrintToPdf, HeaderPageNumbersLineNumbersAndTheThreeLayouts) {
    store.PutInt("Algemeen", "Regelnummers", 1);
    store.PutInt("Algemeen", "bA4", 0);
    std::vector<std::string> pages = print(lines(150));
    ASSERT_GE(pages.size(), 2u) << "150 lines need a second page";
    EXPECT_NE(pages[0].find("My header"), std::string::npos);
    EXPECT_NE(pages[0].find("Page 1"), std::string::npos);
    EXPECT_NE(pages[1].find("Page 2"), std::string::npos);
    EXPECT_NE(pages[0].find("001 line number 1"), std::string::npos);
    EXPECT_NE(pages.back().find("150 line number 150"), std::string::npos);
    auto [w, h] = sheetSize();
    EXPECT_LT(w, h) << "portrait";
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(dir.file("x.pdf")));
    EXPECT_FALSE(PrintFile(dir.file("missing.txt"), "x", printer, nullptr));

    store.PutInt("Algemeen", "bA4", 1);
    const size_t portraitPages = pages.size();
    pages = print(lines(150));
    std::tie(w, h) = sheetSize();
    EXPECT_GT(w, h) << "landscape";
    EXPECT_GT(pages.size(), portraitPages) << "fewer lines fit on a landscape page";

    // Two pages on each landscape sheet: pages 1 and 2 share the first.
    store.PutInt("Algemeen", "bA4", 2);
    pages = print(lines(300));
    std::tie(w, h) = sheetSize();
    EXPECT_GT(w, h);
    ASSERT_GE(pages.size(), 2u);
    EXPECT_NE(pages[0].find("Page 1"), std::string::npos);
    EXPECT_NE(pages[0].find("Page 2"), std::string::npos) << pages[0];
    EXPECT_EQ(pages[0].find("Page 3"), std::string::npos);
    EXPECT_NE(pages[1].find("Page 3"), std::string::npos);
}

TEST_F(PrintToPdf, Utf8TextKeepsItsCharactersAndColumns) {
    store.PutInt("Algemeen", "PerTab", 8);
    // Accents, CJK (two columns each) and tabs: the X after the tab stands in one column.
    const std::vector<std::string> pages =
        print("ab\tX1\n\xC3\xA9t\xC3\xA9\tX2\n\xE6\x9D\xB1\xE4\xBA\xAC\tX3\n\xE4\xB8\x89\xE4\xB8\xAA\xE5\xAD\x97\tX4\n");
    ASSERT_FALSE(pages.empty());
    const std::string& page = pages[0];
    EXPECT_NE(page.find("\xC3\xA9t\xC3\xA9"), std::string::npos) << page;
    EXPECT_NE(page.find("\xE6\x9D\xB1\xE4\xBA\xAC"), std::string::npos) << page;
    EXPECT_EQ(page.find("\xEF\xBF\xBD"), std::string::npos) << "no replacement characters";
    // The distance in characters from the line start to X depends on how
    // pdftotext counts wide glyphs; the same for both CJK lines and the same
    // for both narrow ones, and the X's line up on the page.
    const auto columnOf = [&](const std::string& marker) {
        const size_t at = page.find(marker);
        const size_t lineStart = page.rfind('\n', at) + 1;
        return QString::fromUtf8(page.substr(lineStart, at - lineStart)).size();
    };
    EXPECT_EQ(columnOf("X1"), columnOf("X2"));
    EXPECT_EQ(columnOf("X3"), columnOf("X4"));
    // On the page itself all four start at the same x.
    const RunResult boxes = RunAndWait({"pdftotext", "-bbox", dir.file("out.pdf"), "-"}, {});
    const auto xOf = [&](const std::string& word) {
        const size_t at = boxes.output.find(">" + word + "<");
        const size_t x = boxes.output.rfind("xMin=\"", at);
        return at == std::string::npos || x == std::string::npos ? -1.0 : std::atof(boxes.output.c_str() + x + 6);
    };
    ASSERT_GT(xOf("X1"), 0);
    for (const char* x : {"X2", "X3", "X4"})
        EXPECT_NEAR(xOf(x), xOf("X1"), 0.5) << x;
}

TEST_F(PrintToPdf, PiecesOf254CharactersFormFeedsAndTheOemCodePage) {
    store.PutInt("Algemeen", "Regelnummers", 1);
    std::string accents;
    for (int i = 0; i < 300; ++i)
        accents += "\xC3\xA9";
    std::vector<std::string> pages = print(accents + "\n");
    ASSERT_EQ(pages.size(), 1u);
    std::string rest;
    for (int i = 0; i < 46; ++i)
        rest += "\xC3\xA9";
    EXPECT_NE(pages[0].find("002 " + rest + "\n"), std::string::npos) << "the second piece: 46 characters, not 46 bytes";

    // Without line numbers a form feed at a line's start begins a page.
    store.PutInt("Algemeen", "Regelnummers", 0);
    pages = print("before\n\fafter the feed\n\f\nlast\n");
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_NE(pages[1].find("after the feed"), std::string::npos);
    EXPECT_NE(pages[2].find("last"), std::string::npos) << "a line of only a form feed prints nothing";

    // OEM: the bytes are DOS code page 437 here (English) and print as their characters.
    store.PutInt("Algemeen", "bCharSet", 2);
    pages = print("caf\x82 \xC9\xCD\xBB\n");
    ASSERT_FALSE(pages.empty());
    EXPECT_NE(pages[0].find("caf\xC3\xA9"), std::string::npos) << pages[0];
}

TEST_F(PrintToPdf, CancelInTheProgressWindowEndsTheFileAfterTheCurrentLine) {
    // The main window stays enabled: the progress window's Cancel must work.
    QWidget mainWindow;
    mainWindow.show();
    PrintProgress progress(&mainWindow);
    progress.show();
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(10);
    QTimer::singleShot(400, &progress, [&] { progress.findChild<QPushButton*>("cancel")->click(); });
    const std::vector<std::string> pages = print(lines(2000 * 70, "a line of the long job "), &progress);
    EXPECT_TRUE(App().cancelFlag);
    EXPECT_GT(pages.size(), 0u);
    EXPECT_LT(pages.size(), 2000u) << "Cancel stopped the job";
    EXPECT_GT(ticks, 10) << "the event loop ran while printing";
    EXPECT_TRUE(progress.findChild<QWidget*>("static106")->property("text").toString().startsWith("Page "));
}

TEST_F(PrintToPdf, ADirectoryListingShowsOnlyNamesTheMaskTakes) {
    for (const char* d : {"tree", "tree/sub dir"})
        mkdir(dir.file(d).c_str(), 0755);
    for (const char* f : {"tree/a.txt", "tree/b.log", "tree/c d.TXT", "tree/sub dir/e.txt", "tree/sub dir/f.log"})
        test::WriteAll(dir.file(f), "x");
    symlink("b.log", dir.file("tree/link.txt").c_str());
    for (const bool tree : {false, true}) {
        const RunResult r = RunAndWait(ListingCommand(dir.file("tree"), tree), {});
        ASSERT_EQ(r.exitStatus, 0) << r.output;
        const std::string filtered = FilterListing(r.output, "*.txt");
        EXPECT_NE(filtered.find(" a.txt\n"), std::string::npos) << filtered;
        EXPECT_NE(filtered.find(" c\\ d.TXT\n"), std::string::npos) << "a blank in a name, any case";
        EXPECT_NE(filtered.find(" link.txt -> b.log\n"), std::string::npos) << filtered;
        EXPECT_EQ(filtered.find("b.log\n", filtered.find("link.txt") + 20), std::string::npos) << filtered;
        EXPECT_EQ(filtered.find(" f.log"), std::string::npos);
        EXPECT_EQ(filtered.find("total "), std::string::npos);
        EXPECT_EQ(filtered.find("sub dir:\n") != std::string::npos, tree) << "the tree keeps every directory's heading";
        EXPECT_EQ(filtered.find(" e.txt\n") != std::string::npos, tree);
    }
    EXPECT_TRUE(MaskTakesAll("*.*"));
    EXPECT_FALSE(MaskTakesAll("*.txt"));
}

TEST_F(PrintToPdf, SetupChoicesAreKeptForTheJobsThatFollow) {
    QPrinter chosen(QPrinter::HighResolution);
    chosen.setOutputFormat(QPrinter::PdfFormat);
    chosen.setPageSize(QPageSize(QPageSize::Letter));
    chosen.setPageOrientation(QPageLayout::Landscape);
    chosen.setDuplex(QPrinter::DuplexLongSide); // kept where the printer has it; PDF has not
    chosen.setCopyCount(3);
    StorePrinterChoices(chosen, store);
    EXPECT_EQ(store.GetInt("Algemeen", "bA4", -1), 1) << "landscape is the layout's";

    SettingsStore reread(dir.file("KM.reg"));
    QPrinter next(QPrinter::HighResolution);
    next.setOutputFormat(QPrinter::PdfFormat);
    ApplyPrinterChoices(next, reread);
    EXPECT_EQ(next.pageLayout().pageSize().id(), QPageSize::Letter);
    EXPECT_EQ(next.pageLayout().orientation(), QPageLayout::Landscape);
    EXPECT_EQ(next.copyCount(), 3);

    // Two pages per sheet stays what it is.
    store.PutInt("Algemeen", "bA4", 2);
    chosen.setPageOrientation(QPageLayout::Portrait);
    StorePrinterChoices(chosen, store);
    EXPECT_EQ(store.GetInt("Algemeen", "bA4", -1), 2);
}

TEST_F(PrintToPdf, MakeDefaultAndTheDeviceLineAskCups) {
    // Stand-ins for the CUPS programs, recording their arguments.
    const std::string bin = dir.file("bin");
    mkdir(bin.c_str(), 0755);
    test::WriteAll(bin + "/lpoptions", "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + dir.file("lpoptions.args") +
                                           "\"\n[ \"$2\" = broken ] && { echo 'lpoptions: Unknown printer'; exit 1; }\nexit 0\n");
    test::WriteAll(bin + "/lpstat", "#!/bin/sh\necho \"device for $2: ipp://printhost/printers/$2\"\n");
    chmod((bin + "/lpoptions").c_str(), 0755);
    chmod((bin + "/lpstat").c_str(), 0755);
    const std::string path = std::getenv("PATH");
    setenv("PATH", (bin + ":" + path).c_str(), 1);
    EXPECT_EQ(SetDefaultPrinter("Laser Two"), "");
    EXPECT_EQ(test::ReadAll(dir.file("lpoptions.args")), "-d\nLaser Two\n") << "one argument, no shell";
    EXPECT_EQ(SetDefaultPrinter("broken"), "lpoptions: Unknown printer\n");
    EXPECT_EQ(PrinterDevice("Laser"), "ipp://printhost/printers/Laser");
    setenv("PATH", path.c_str(), 1);
}

} // namespace
