#pragma once
// Printing laid-out text files on a printer (or, for tests, a PDF file),
// with the "PRINTDLG" progress window.
#include <QDialog>

#include <string>

class QLabel;
class QPrinter;

namespace km {

class PrintProgress : public QDialog {
    Q_OBJECT
public:
    explicit PrintProgress(QWidget* parent);
    void setPrinter(const QString& text);
    void setDocument(const QString& text);
    void setPage(int page);

private:
    QLabel* printer_;
    QLabel* document_;
    QLabel* page_;
};

// Prints `path` under `header` on `printer` in the stored layout. False when
// the file cannot be read or the printer cannot be used; a cancel (the main
// window's cancel flag) ends the file after the current line.
bool PrintFile(const std::string& path, const std::string& header, QPrinter& printer, PrintProgress* progress);

// The user's default printer, or none (an invalid printer) when there is no printer.
bool DefaultPrinterName(std::string& name);

class SettingsStore;

// Printer setup's choices, kept for the jobs that follow (section "Printer":
// "Paper", "Duplex", "Copies"; the orientation is the layout's "bA4").
void ApplyPrinterChoices(QPrinter& printer, SettingsStore& store);
void StorePrinterChoices(const QPrinter& printer, SettingsStore& store);

} // namespace km
