#include "fileops/printing/ui/PrintJob.h"

#include "fileops/printing/PrintLayout.h"
#include "resources/StringTable.h"
#include "ui_services/AppState.h"
#include "ui_services/EventPump.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QVBoxLayout>

#include <fstream>
#include <sstream>

namespace km {

PrintProgress::PrintProgress(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("PRINTDLG"));
    setWindowTitle(QStringLiteral("KM - Print"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Printing"), this));
    printer_ = new QLabel(this);
    document_ = new QLabel(this);
    page_ = new QLabel(this);
    for (QLabel* l : {printer_, document_, page_}) {
        l->setTextFormat(Qt::PlainText);
        layout->addWidget(l);
    }
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    layout->addWidget(cancel);
    connect(cancel, &QPushButton::clicked, this, [this] {
        App().cancelFlag = true;
        hide();
    });
}

void PrintProgress::setPrinter(const QString& text) { printer_->setText(text); }
void PrintProgress::setDocument(const QString& text) { document_->setText(text); }
void PrintProgress::setPage(int page) { page_->setText(QString::fromUtf8(LoadString(4207).data()) + QString::number(page)); }

bool DefaultPrinterName(std::string& name) {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        return false;
    name = info.printerName().toStdString();
    return true;
}

bool PrintFile(const std::string& path, const std::string& header, QPrinter& printer, PrintProgress* progress) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream text;
    text << in.rdbuf();

    const PrintSettings settings = ReadPrintSettings(Settings());
    printer.setDocName(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())));
    printer.setPageOrientation(settings.layout == 0 ? QPageLayout::Portrait : QPageLayout::Landscape);
    printer.setFullPage(true);
    if (progress) {
        progress->setPrinter(QStringLiteral(" on ") + printer.printerName() + QStringLiteral(" of "));
        progress->setDocument(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())));
    }
    QPainter p;
    if (!p.begin(&printer))
        return false;
    // The system's fixed-pitch font stands in for the printer's terminal font.
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(settings.layout == 2 ? 8 : 9);
    font.setStyleHint(QFont::TypeWriter);
    p.setFont(font);
    const QFontMetrics fm(font, &printer);
    const int w = std::max(1, fm.horizontalAdvance(QLatin1Char('x')));
    const int h = std::max(1, fm.height() + fm.leading());
    const int W = printer.width(), H = printer.height();
    const int columns = (settings.layout == 2 ? W / 2 : W) / w - 7;
    // Header on the first line, the rule at two and a half lines, text from
    // the fourth line down to two and a half lines above the bottom.
    const int rows = std::max(1, (H - h * 5 / 2 - 4 * h) / h + 1);
    PrintLayout layout(settings, columns, rows, header);
    for (const std::string& line : SplitPrintLines(text.str())) {
        EventPump::pump();
        if (App().cancelFlag)
            break;
        layout.AddSourceLine(line);
    }
    int sheet = -1;
    for (size_t i = 0; i < layout.pages().size(); ++i) {
        const PrintedPage& page = layout.pages()[i];
        if (page.sheet != sheet) {
            if (sheet >= 0)
                printer.newPage();
            sheet = page.sheet;
        }
        const int x = page.rightHalf ? (columns + 12) * w : 5 * w;
        if (page.rightHalf)
            p.drawLine((columns + 7) * w, h, (columns + 7) * w, H);
        int y = h;
        p.drawText(x, y + fm.ascent(), QString::fromUtf8(page.header.data(), static_cast<qsizetype>(page.header.size())));
        p.drawLine(x, y * 5 / 2, x + columns * w, y * 5 / 2);
        y += 3 * h;
        for (const std::string& l : page.lines) {
            p.drawText(x, y + fm.ascent(), QString::fromUtf8(l.data(), static_cast<qsizetype>(l.size())));
            y += h;
        }
        if (progress)
            progress->setPage(static_cast<int>(i) + 1);
    }
    p.end();
    return true;
}

} // namespace km
