#include "mainwindow/ThisComputerDialog.h"

#include "platform/ComputerInfo.h"
#include "resources/StringTable.h"
#include "ui_services/DialogButtons.h"
#include "ui_services/FormatThousands.h"

#include <QApplication>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPrinterInfo>
#include <QScreen>
#include <QVBoxLayout>

namespace km {
namespace {

QString qs(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

} // namespace

QString MemoryText(uint64_t kib) { return qs(FormatThousands(kib)) + QStringLiteral(" K"); }

QString ScreenText(int width, int height, int depth) {
    QString colors;
    switch (depth) {
    case 4: colors = QStringLiteral("16"); break;
    case 8: colors = QStringLiteral("256"); break;
    case 16: colors = QStringLiteral("64K"); break;
    case 24: colors = QStringLiteral("16M"); break;
    case 32: colors = QStringLiteral("32-bits"); break;
    default: colors = QString::number(depth) + QStringLiteral("-bits"); break;
    }
    return QStringLiteral("%1x%2, ").arg(width).arg(height) + colors + QString::fromUtf8(LoadString(4221).data());
}

QString PrinterText(const QString& name, const QString& location) {
    return location.isEmpty() ? name : name + QString::fromUtf8(LoadString(4181).data()) + location;
}

ThisComputerDialog::ThisComputerDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("THISCOMPUTER"));
    setWindowTitle(QStringLiteral("KM - About this computer"));
    const ComputerInfo info = ReadComputerInfo();
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    auto add = [&](int id, const char* label, const QString& value) {
        auto* v = new QLabel(value, this);
        v->setObjectName(QStringLiteral("static%1").arg(id));
        v->setTextFormat(Qt::PlainText);
        form->addRow(QString::fromLatin1(label), v);
    };
    add(2030, "Processor: ", qs(info.processor));
    add(2050, "Physical memory: ", MemoryText(info.physicalKiB));
    add(2060, "Virtual memory: ", MemoryText(info.swapKiB));
    add(2130, "BIOS: ", qs(info.bios));
    const QScreen* screen = QGuiApplication::primaryScreen();
    add(2070, "Screen resolution: ",
        screen ? ScreenText(screen->size().width(), screen->size().height(), screen->depth()) : QString());
    add(2080, "Driver: ", QGuiApplication::platformName());
    const QPrinterInfo printer = QPrinterInfo::defaultPrinter();
    add(2090, "Default printer: ", printer.isNull() ? QString() : PrinterText(printer.printerName(), printer.location()));
    add(2120, "Operating system:", qs(info.system));
    layout->addLayout(form);
    AddDialogButtons(this, layout, [this] { accept(); });
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ABOUTDLG"));
    setWindowTitle(QStringLiteral("KM - About"));
    auto* layout = new QVBoxLayout(this);
    auto* icon = new QLabel(this);
    icon->setPixmap(QApplication::windowIcon().pixmap(32, 32));
    layout->addWidget(icon);
    layout->addWidget(new QLabel(QStringLiteral("Kestrum"), this));
    layout->addWidget(new QLabel(QStringLiteral("A two-panel file manager"), this));
    AddDialogButtons(this, layout, [this] { accept(); });
}

} // namespace km
