#include "fileops/printing/ui/PrintCommands.h"

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

#include <fstream>
#include <sstream>
#include <unistd.h>

namespace km {
namespace {

constexpr const char* kNoPrinter = "No printer is installed: nothing was printed";

} // namespace

void PrintFiles(const std::vector<std::pair<std::string, std::string>>& jobs, QWidget* mainWindow) {
    if (jobs.empty())
        return;
    if (QPrinterInfo::defaultPrinter().isNull()) {
        ShowMessage(kNoPrinter, MbOk | MbIconExclamation);
        return;
    }
    App().cancelFlag = false;
    PrintProgress progress(mainWindow);
    progress.show();
    EventPump::force();
    if (mainWindow)
        mainWindow->setEnabled(false);
    for (const auto& [path, header] : jobs) {
        EventPump::pump();
        if (App().cancelFlag)
            break;
        QPrinter printer(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
        PrintFile(path, header, printer, &progress); // a file that cannot be read is skipped
    }
    if (mainWindow) {
        mainWindow->setEnabled(true);
        mainWindow->activateWindow();
    }
}

namespace {

// The directory (tree) listing of `dir` as `ls` writes it, complete before
// it is printed.
bool writeListing(const std::string& dir, bool tree, const std::string& file) {
    QProcess ls;
    ls.setStandardOutputFile(QString::fromStdString(file), QIODevice::Truncate);
    ls.setStandardErrorFile(QProcess::nullDevice());
    const QStringList args = {tree ? QStringLiteral("-lR") : QStringLiteral("-l"),
                              QStringLiteral("--group-directories-first"), QStringLiteral("--"),
                              QString::fromUtf8(dir.data(), static_cast<qsizetype>(dir.size()))};
    ls.start(QStringLiteral("ls"), args);
    return ls.waitForStarted() && ls.waitForFinished(-1) && ls.exitStatus() == QProcess::NormalExit;
}

} // namespace

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
    case PmPrintTree: {
        if (li.isFtp()) {
            ShowWarning(4480); // the FTP side prints its own listing; never a tree
            return true;
        }
        const bool tree = m.message == PmPrintTree;
        const std::string file = PrivateTempFile("dir");
        if (file.empty() || !writeListing(li.path, tree, file)) {
            if (!file.empty())
                unlink(file.c_str());
            ShowWarning(4179);
            return true;
        }
        const std::string header = std::string(tree ? "KM - Print directory tree " : "KM - Print directory ") +
                                   JoinPath(li.path, App().filterMask);
        PrintFiles({{file, header}}, mainWindow);
        unlink(file.c_str());
        return true;
    }
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

bool SetDefaultPrinter(const std::string& name) {
    const std::string dir = QDir::homePath().toStdString() + "/.cups";
    QDir().mkpath(QString::fromStdString(dir));
    const std::string path = dir + "/lpoptions";
    std::string kept;
    {
        std::ifstream in(path);
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("Default ", 0) != 0)
                kept += line + "\n";
        }
    }
    std::ofstream out(path, std::ios::trunc);
    out << "Default " << name << "\n" << kept;
    return static_cast<bool>(out);
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
        QPrintDialog dlg(&printer, this);
        dlg.exec();
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
    current_->setText(def.isNull() ? QString() : def.printerName() + QStringLiteral(" on ") + def.location());
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
    if (!SetDefaultPrinter(item->text().toStdString()))
        ShowMessage("The default printer could not be changed", MbOk | MbIconStop);
    refresh();
}

} // namespace km
