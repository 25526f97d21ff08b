#include "fileops/printing/ui/PrintCommands.h"

#include "fileops/open_execute/ProcessLauncher.h"
#include "fileops/printing/DirectoryListing.h"
#include "fileops/printing/PrintLayout.h"
#include "fileops/printing/ui/PrintJob.h"
#include "panels/DropList.h"
#include "panels/FilePanel.h"
#include "platform/PathUtil.h"
#include "platform/PrivateTemp.h"
#include "resources/CommandIds.h"
#include "settings/SettingsStore.h"
#include "ui_services/AppState.h"
#include "ui_services/DialogButtons.h"
#include "ui_services/EventPump.h"
#include "ui_services/MessageBoxes.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cstring>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace km {
namespace {

constexpr const char* kNoPrinter = "No printer is installed: nothing was printed";

} // namespace

namespace {

bool printerMissing() {
    if (!QPrinterInfo::defaultPrinter().isNull())
        return false;
    ShowMessage(kNoPrinter, MbOk | MbIconExclamation);
    return true;
}

void printWith(PrintProgress& progress, const std::vector<std::pair<std::string, std::string>>& jobs) {
    for (const auto& [path, header] : jobs) {
        if (EventPump::pump())
            break;
        QPrinter printer(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
        ApplyPrinterChoices(printer, Settings());
        PrintFile(path, header, printer, &progress); // a file that cannot be read is skipped
    }
}

enum class ListingResult { Done, Cancelled, Failed };

// The listing of `dir` written to `file` by a child process that the event
// loop waits for, so the window repaints and Cancel ends it.
ListingResult writeListing(const std::string& dir, bool tree, const std::string& file) {
    const std::vector<std::string> argv = ListingCommand(dir, tree);
    QStringList args;
    for (size_t i = 1; i < argv.size(); ++i)
        args << QString::fromUtf8(argv[i].data(), static_cast<qsizetype>(argv[i].size()));
    QProcess ls;
    ls.setStandardOutputFile(QString::fromStdString(file), QIODevice::Truncate);
    ls.setStandardErrorFile(QProcess::nullDevice());
    ls.start(QString::fromStdString(argv[0]), args);
    if (!ls.waitForStarted())
        return ListingResult::Failed;
    while (!ls.waitForFinished(EventPump::kIntervalMs) && ls.state() != QProcess::NotRunning) {
        if (EventPump::pump()) {
            ls.kill();
            ls.waitForFinished(1000);
            return ListingResult::Cancelled;
        }
    }
    // 1 is ls's "minor problems", such as a subdirectory it may not read.
    return ls.exitStatus() == QProcess::NormalExit && ls.exitCode() <= 1 ? ListingResult::Done
                                                                          : ListingResult::Failed;
}

bool applyMask(const std::string& file, const std::string& mask) {
    if (MaskTakesAll(mask))
        return true;
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << FilterListing(text.str(), mask);
    return static_cast<bool>(out);
}

} // namespace

void PrintFiles(const std::vector<std::pair<std::string, std::string>>& jobs, QWidget* mainWindow) {
    if (jobs.empty() || printerMissing())
        return;
    App().cancelFlag = false;
    PrintProgress progress(mainWindow);
    progress.show();
    EventPump::force();
    printWith(progress, jobs);
    if (mainWindow)
        mainWindow->activateWindow();
}

bool PrintDirectoryListing(const std::string& dir, bool tree, const std::string& mask, QWidget* mainWindow) {
    if (printerMissing())
        return false;
    const std::string file = PrivateTempFile("dir");
    if (file.empty()) {
        ShowWarning(4179);
        return false;
    }
    App().cancelFlag = false;
    PrintProgress progress(mainWindow);
    progress.setDocument(QString::fromUtf8(dir.data(), static_cast<qsizetype>(dir.size())));
    progress.show();
    EventPump::force();
    const ListingResult listed = writeListing(dir, tree, file);
    bool printed = false;
    if (listed == ListingResult::Failed || (listed == ListingResult::Done && !applyMask(file, mask))) {
        ShowWarning(4179);
    } else if (listed == ListingResult::Done) {
        const std::string header = std::string(tree ? "KM - Print directory tree " : "KM - Print directory ") +
                                   JoinPath(dir, mask);
        printWith(progress, {{file, header}});
        printed = true;
    }
    unlink(file.c_str());
    if (mainWindow)
        mainWindow->activateWindow();
    return printed;
}

bool HandlePrintCommand(FilePanel& panel, const PanelMessageEvent& m, QWidget* mainWindow) {
    PanelListing& li = panel.listing();
    switch (m.message) {
    case PmPrintFiles: {
        const DropListResult list = BuildDropList(li);
        if (list.paths.empty()) {
            ShowWarning(4187);
            return true;
        }
        std::vector<std::pair<std::string, std::string>> jobs;
        for (const std::string& p : list.paths)
            jobs.emplace_back(p, p);
        PrintFiles(jobs, mainWindow);
        return true;
    }
    case PmPrintListing:
    case PmPrintTree:
        if (li.isFtp()) {
            ShowWarning(4480); // the FTP side prints its own listing; never a tree
            return true;
        }
        PrintDirectoryListing(li.path, m.message == PmPrintTree, App().filterMask, mainWindow);
        return true;
    default: return false;
    }
}

PrintSettingsDialog::PrintSettingsDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("PRINTSETTINGS"));
    setWindowTitle(QStringLiteral("KM - Print settings"));
    const PrintSettings s = ReadPrintSettings(Settings());
    auto* layout = new QVBoxLayout(this);
    auto* pages = new QGroupBox(QStringLiteral(" Pages per sheet: "), this);
    auto* pagesLayout = new QVBoxLayout(pages);
    const char* names[3] = {"One page per sheet, portrait", "One page per sheet, landscape", "Two pages per sheet"};
    for (int i = 0; i < 3; ++i) {
        auto* r = new QRadioButton(QString::fromLatin1(names[i]), pages);
        r->setObjectName(QStringLiteral("radio%1").arg(1321 + i));
        r->setChecked(s.layout == i);
        pagesLayout->addWidget(r);
        layouts_[static_cast<size_t>(i)] = r;
    }
    layout->addWidget(pages);
    auto* charset = new QGroupBox(QStringLiteral(" Character set: "), this);
    auto* charsetLayout = new QVBoxLayout(charset);
    ansi_ = new QRadioButton(QStringLiteral("ANSI character set"), charset);
    ansi_->setObjectName(QStringLiteral("radio1325"));
    oem_ = new QRadioButton(QStringLiteral("OEM character set"), charset);
    oem_->setObjectName(QStringLiteral("radio1326"));
    (s.oemCharset ? oem_ : ansi_)->setChecked(true);
    charsetLayout->addWidget(ansi_);
    charsetLayout->addWidget(oem_);
    layout->addWidget(charset);
    auto* other = new QGroupBox(QStringLiteral(" Other settings: "), this);
    auto* otherLayout = new QVBoxLayout(other);
    otherLayout->addWidget(new QLabel(QStringLiteral("Tab size:"), other));
    tab_ = new QLineEdit(QString::number(s.tabSize), other);
    tab_->setObjectName(QStringLiteral("edit1810"));
    tab_->setValidator(new QIntValidator(1, 64, tab_));
    otherLayout->addWidget(tab_);
    numbers_ = new QCheckBox(QStringLiteral("Print line numbers"), other);
    numbers_->setObjectName(QStringLiteral("check1820"));
    numbers_->setChecked(s.lineNumbers);
    cut_ = new QCheckBox(QStringLiteral("Truncate long lines"), other);
    cut_->setObjectName(QStringLiteral("check1830"));
    cut_->setChecked(s.cutLines);
    otherLayout->addWidget(numbers_);
    otherLayout->addWidget(cut_);
    layout->addWidget(other);
    AddDialogButtons(this, layout, [this] { save(); });
}

bool PrintSettingsDialog::Ask(QWidget* parent) {
    HelpContextScope help(CmdPrintSettings);
    PrintSettingsDialog dlg(parent);
    return dlg.exec() == QDialog::Accepted;
}

void PrintSettingsDialog::save() {
    PrintSettings s;
    for (int i = 0; i < 3; ++i) {
        if (layouts_[static_cast<size_t>(i)]->isChecked())
            s.layout = i;
    }
    s.oemCharset = oem_->isChecked();
    s.tabSize = std::max(1, tab_->text().toInt());
    s.lineNumbers = numbers_->isChecked();
    s.cutLines = cut_->isChecked();
    WritePrintSettings(Settings(), s);
    accept();
}

std::string SetDefaultPrinter(const std::string& name) {
    // lpoptions keeps each printer's own options and writes the file itself.
    const RunResult r = RunAndWait({"lpoptions", "-d", name}, {});
    if (r.error != 0)
        return "lpoptions: " + std::string(std::strerror(r.error));
    if (r.exitStatus != 0)
        return r.output.empty() ? "lpoptions failed" : r.output;
    return {};
}

std::string PrinterDevice(const std::string& name) {
    // "device for NAME: ipp://host/printers/x"
    const RunResult r = RunAndWait({"lpstat", "-v", name}, {});
    if (r.exitStatus != 0)
        return {};
    const size_t colon = r.output.find(": ");
    if (colon == std::string::npos)
        return {};
    std::string uri = r.output.substr(colon + 2);
    while (!uri.empty() && (uri.back() == '\n' || uri.back() == ' '))
        uri.pop_back();
    return uri;
}

PrinterSetupDialog::PrinterSetupDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("PRSETUP"));
    setWindowTitle(QStringLiteral("KM - Printer setup"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Current default printer:"), this));
    current_ = new QLabel(this);
    current_->setObjectName(QStringLiteral("static1840"));
    layout->addWidget(current_);
    layout->addWidget(new QLabel(QStringLiteral("Installed printers:"), this));
    printers_ = new QListWidget(this);
    printers_->setObjectName(QStringLiteral("list1850"));
    layout->addWidget(printers_);
    auto* setup = new QPushButton(QStringLiteral("&Setup"), this);
    setup->setObjectName(QStringLiteral("button1860"));
    auto* makeDefault = new QPushButton(QStringLiteral("&Make default"), this);
    makeDefault->setObjectName(QStringLiteral("button1870"));
    layout->addWidget(setup);
    layout->addWidget(makeDefault);
    AddDialogButtons(this, layout, [this] { accept(); });
    connect(setup, &QPushButton::clicked, this, [this] {
        const QListWidgetItem* item = printers_->currentItem();
        QPrinter printer(item ? QPrinterInfo::printerInfo(item->text()) : QPrinterInfo::defaultPrinter());
        ApplyPrinterChoices(printer, Settings());
        QPrintDialog dlg(&printer, this);
        dlg.setObjectName(QStringLiteral("PRINTERSETUP"));
        dlg.setOptions(QAbstractPrintDialog::PrintShowPageSize);
        // What the user chose holds for the jobs that follow.
        if (dlg.exec() == QDialog::Accepted)
            StorePrinterChoices(printer, Settings());
    });
    connect(makeDefault, &QPushButton::clicked, this, &PrinterSetupDialog::makeDefault);
    refresh();
}

void PrinterSetupDialog::Ask(QWidget* parent) {
    HelpContextScope help(CmdPrinterSetup);
    PrinterSetupDialog dlg(parent);
    dlg.exec();
}

void PrinterSetupDialog::refresh() {
    const QPrinterInfo def = QPrinterInfo::defaultPrinter();
    QString line;
    if (!def.isNull()) {
        // The device as CUPS knows it (its URI), else where the printer is; never "X on ".
        const std::string device = PrinterDevice(def.printerName().toStdString());
        const QString where = device.empty() ? def.location() : QString::fromStdString(device);
        line = def.printerName() + (where.isEmpty() ? QString() : QStringLiteral(" on ") + where);
    }
    current_->setText(line);
    printers_->clear();
    for (const QString& name : QPrinterInfo::availablePrinterNames()) {
        printers_->addItem(name);
        if (!def.isNull() && name == def.printerName())
            printers_->setCurrentRow(printers_->count() - 1);
    }
}

void PrinterSetupDialog::makeDefault() {
    const QListWidgetItem* item = printers_->currentItem();
    if (!item)
        return;
    if (const std::string error = SetDefaultPrinter(item->text().toStdString()); !error.empty())
        ShowMessage("The default printer could not be changed:\n" + error, MbOk | MbIconStop);
    refresh();
}

} // namespace km
