#include "fileops/printing/ui/PrintJob.h"

#include "fileops/printing/PrintLayout.h"
#include "resources/StringTable.h"
#include "settings/SettingsStore.h"
#include "ui_services/AppState.h"
#include "ui_services/EventPump.h"

#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QVBoxLayout>

#include <clocale>

namespace km {

PrintProgress::PrintProgress(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("PRINTDLG"));
    setWindowTitle(QStringLiteral("KM - Print"));
    // Modal without disabling the main window, which would disable this
    // window and its Cancel too.
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    auto* printing = new QLabel(QStringLiteral("Printing"), this);
    printing->setObjectName(QStringLiteral("static100"));
    layout->addWidget(printing);
    printer_ = new QLabel(this);
    document_ = new QLabel(this);
    page_ = new QLabel(this);
    int id = 104;
    for (QLabel* l : {printer_, document_, page_}) {
        l->setObjectName(QStringLiteral("static%1").arg(id++));
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

void ApplyPrinterChoices(QPrinter& printer, SettingsStore& store) {
    printer.setPageOrientation(ReadPrintSettings(store).layout == 0 ? QPageLayout::Portrait : QPageLayout::Landscape);
    const int paper = store.GetInt("Printer", "Paper", -1);
    if (paper >= 0 && paper < QPageSize::LastPageSize)
        printer.setPageSize(QPageSize(static_cast<QPageSize::PageSizeId>(paper)));
    const int duplex = store.GetInt("Printer", "Duplex", -1);
    if (duplex >= QPrinter::DuplexNone && duplex <= QPrinter::DuplexShortSide)
        printer.setDuplex(static_cast<QPrinter::DuplexMode>(duplex));
    const int copies = store.GetInt("Printer", "Copies", 1);
    if (copies > 1 && copies < 1000)
        printer.setCopyCount(copies);
}

void StorePrinterChoices(const QPrinter& printer, SettingsStore& store) {
    SettingsStore::Batch batch(store);
    store.PutInt("Printer", "Paper", static_cast<int>(printer.pageLayout().pageSize().id()));
    store.PutInt("Printer", "Duplex", static_cast<int>(printer.duplex()));
    store.PutInt("Printer", "Copies", printer.copyCount());
    // Two pages per sheet is landscape whatever was chosen.
    PrintSettings s = ReadPrintSettings(store);
    if (s.layout != 2) {
        s.layout = printer.pageLayout().orientation() == QPageLayout::Landscape ? 1 : 0;
        WritePrintSettings(store, s);
    }
}

namespace {

QString qs(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// Draws a line at its columns: runs of narrow characters at once, each wide
// character at its own two columns, so that columns line up whatever width
// the fallback font gives it.
void drawColumns(QPainter& p, int x, int baseline, int w, const std::string& utf8) {
    const std::u32string t = DecodePrintText(utf8, PrintCharset::Utf8);
    size_t runStart = 0;
    int runColumn = 0, column = 0;
    const auto flush = [&](size_t end) {
        if (end > runStart)
            p.drawText(x + runColumn * w, baseline,
                       QString::fromUcs4(t.data() + runStart, static_cast<qsizetype>(end - runStart)));
    };
    for (size_t i = 0; i < t.size(); ++i) {
        const int cw = CharacterColumns(t[i]);
        if (cw == 2) {
            flush(i);
            p.drawText(x + column * w, baseline, QString::fromUcs4(&t[i], 1));
            runStart = i + 1;
            runColumn = column + 2;
        }
        column += cw;
    }
    flush(t.size());
}

PrintCharset charsetFor(const PrintSettings& s) {
    if (!s.oemCharset)
        return PrintCharset::Utf8;
    const char* locale = setlocale(LC_CTYPE, nullptr);
    return OemCharsetForLocale(locale ? locale : "");
}

} // namespace

bool PrintFile(const std::string& path, const std::string& header, QPrinter& printer, PrintProgress* progress) {
    // Mapped rather than read: a large file costs no copy and no pause.
    QFile file(qs(path));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = file.size();
    const uchar* mapped = size > 0 ? file.map(0, size) : nullptr;
    if (size > 0 && !mapped)
        return false;
    const std::string_view bytes(reinterpret_cast<const char*>(mapped), static_cast<size_t>(size));

    const PrintSettings settings = ReadPrintSettings(Settings());
    printer.setDocName(qs(path));
    printer.setPageOrientation(settings.layout == 0 ? QPageLayout::Portrait : QPageLayout::Landscape);
    // The page is laid out inside the printable area: the margins below are
    // on top of what the printer cannot reach.
    printer.setFullPage(false);
    if (progress) {
        progress->setPrinter(QStringLiteral(" on ") + printer.printerName() + QStringLiteral(" of "));
        progress->setDocument(qs(path));
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
    int sheet = -1;
    const auto draw = [&](const std::vector<PrintedPage>& pages) {
        for (const PrintedPage& page : pages) {
            if (page.sheet != sheet) {
                if (sheet >= 0)
                    printer.newPage();
                sheet = page.sheet;
            }
            const int x = page.rightHalf ? (columns + 12) * w : 5 * w;
            if (page.rightHalf)
                p.drawLine((columns + 7) * w, h, (columns + 7) * w, H);
            int y = h;
            drawColumns(p, x, y + fm.ascent(), w, page.header);
            p.drawLine(x, y * 5 / 2, x + columns * w, y * 5 / 2);
            y += 3 * h;
            for (const std::string& l : page.lines) {
                drawColumns(p, x, y + fm.ascent(), w, l);
                y += h;
            }
            if (progress)
                progress->setPage(page.number);
        }
    };
    // Laid out and printed line by line, so that Cancel ends the file after
    // the current line with the pages so far, and the window stays alive.
    PrintLineReader reader(bytes, charsetFor(settings));
    for (std::u32string line; reader.Next(line);) {
        if (EventPump::pump())
            break;
        layout.AddSourceLine(line);
        draw(layout.TakePages(false));
    }
    draw(layout.TakePages(true));
    p.end();
    return true;
}

} // namespace km
