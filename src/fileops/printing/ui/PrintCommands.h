#pragma once
// The print commands of a local panel (0x415 files, 0x435 the directory
// listing, 0x436 the tree) and the two printing dialogs.
#include "ui_services/PanelMessage.h"

#include <QDialog>

#include <array>
#include <string>
#include <utility>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QRadioButton;

namespace km {

class FilePanel;

// Prints the files (path and header each) with "PRINTDLG" over the main window;
// says so when there is no printer.
void PrintFiles(const std::vector<std::pair<std::string, std::string>>& jobs, QWidget* mainWindow);

// Lists `dir` (its tree with `tree`) with the filter mask applied and prints
// the listing under "PRINTDLG", whose Cancel also ends the listing. False
// when nothing was printed (cancelled, or the listing failed: 4179).
bool PrintDirectoryListing(const std::string& dir, bool tree, const std::string& mask, QWidget* mainWindow);

// True when `m` was one of the three print messages.
bool HandlePrintCommand(FilePanel& panel, const PanelMessageEvent& m, QWidget* mainWindow);

// "PRINTSETTINGS": layout, character set, tab size, line numbers, cutting.
class PrintSettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit PrintSettingsDialog(QWidget* parent);
    static bool Ask(QWidget* parent);

private:
    void save();
    std::array<QRadioButton*, 3> layouts_{};
    QRadioButton* ansi_;
    QRadioButton* oem_;
    QLineEdit* tab_;
    QCheckBox* numbers_;
    QCheckBox* cut_;
};

// "PRSETUP": the installed printers and the user's default among them.
class PrinterSetupDialog : public QDialog {
    Q_OBJECT
public:
    explicit PrinterSetupDialog(QWidget* parent);
    static void Ask(QWidget* parent);

private:
    void refresh();
    void makeDefault();
    QLabel* current_;
    QListWidget* printers_;
};

// Makes `name` the user's default printer with `lpoptions -d`, which every
// CUPS program reads. Empty, or why it failed.
std::string SetDefaultPrinter(const std::string& name);
// The printer's device URI as CUPS reports it; empty when unknown.
std::string PrinterDevice(const std::string& name);

} // namespace km
