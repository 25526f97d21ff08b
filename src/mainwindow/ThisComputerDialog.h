#pragma once
// "THISCOMPUTER" and "ABOUTDLG".
#include <QDialog>

namespace km {

class ThisComputerDialog : public QDialog {
    Q_OBJECT
public:
    explicit ThisComputerDialog(QWidget* parent);
};

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent);
};

// "Physical memory" and "Screen resolution" as the dialog writes them.
QString MemoryText(uint64_t kib);
QString ScreenText(int width, int height, int depth);
// The default printer as "name on location", or the name alone.
QString PrinterText(const QString& name, const QString& location);

} // namespace km
