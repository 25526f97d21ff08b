// Printing a file onto a PDF printer and reading the pages back.
#include "fileops/open_execute/ProcessLauncher.h"
#include "fileops/printing/ui/PrintJob.h"
#include "settings/SettingsStore.h"
#include "support/TempDir.h"
#include "ui_services/AppState.h"

#include <QPrinter>
#include <gtest/gtest.h>

using namespace km;

namespace {

TEST(PrintToPdf, HeaderPageNumbersAndTextReachThePage) {
    test::TempDir dir;
    SettingsStore store(dir.file("KM.reg"));
    App().store = &store;
    store.PutInt("Algemeen", "Regelnummers", 1);
    std::string text;
    for (int i = 1; i <= 150; ++i)
        text += "line number " + std::to_string(i) + "\n";
    test::WriteAll(dir.file("in.txt"), text);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(dir.file("out.pdf")));
    ASSERT_TRUE(PrintFile(dir.file("in.txt"), "My header", printer, nullptr));
    EXPECT_FALSE(PrintFile(dir.file("missing.txt"), "x", printer, nullptr));
    const RunResult r = RunAndWait({"pdftotext", "-layout", dir.file("out.pdf"), "-"}, {});
    ASSERT_EQ(r.exitStatus, 0) << r.output;
    EXPECT_NE(r.output.find("My header"), std::string::npos);
    EXPECT_NE(r.output.find("Page 1"), std::string::npos);
    EXPECT_NE(r.output.find("Page 2"), std::string::npos) << "150 lines need a second page";
    EXPECT_NE(r.output.find("001 line number 1"), std::string::npos);
    EXPECT_NE(r.output.find("150 line number 150"), std::string::npos);
    App().store = nullptr;
}

} // namespace
