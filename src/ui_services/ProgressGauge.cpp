#include "ui_services/ProgressGauge.h"

#include "ui_services/ReadableColor.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <algorithm>

namespace km {
namespace {

bool g_registered = false;
GaugeColors g_colors;

GaugeColors colorsFromPalette() {
    return ChooseGaugeColors(
        32, QGuiApplication::palette().color(QPalette::Active, QPalette::Highlight));
}

} // namespace

GaugeColors ChooseGaugeColors(int screenDepth, const QColor& caption) {
    if (screenDepth == 1)
        return {QColor(Qt::white), QColor(Qt::black)};
    // Contrast is symmetric: one readable pair serves the text on either part.
    return {ReadableOn(QColor(Qt::white), caption), QColor(Qt::white)};
}

bool RegisterGauge() {
    if (g_registered)
        return true;
    QScreen* screen = qGuiApp ? QGuiApplication::primaryScreen() : nullptr;
    if (!screen)
        return false;
    g_colors = ChooseGaugeColors(
        screen->depth(), QGuiApplication::palette().color(QPalette::Active, QPalette::Highlight));
    g_registered = true;
    return true;
}

void PaintGauge(QPainter& painter, const QRect& client, int position, int range, QColor bar,
                QColor background, const QFont& font) {
    const int r = range <= 0 ? 1 : range;
    const int p = std::clamp(position, 0, r);
    const int w = client.width();
    const int x = static_cast<int>(static_cast<long long>(p) * w / r);
    const QString text =
        QString::asprintf("%3d%%", static_cast<int>(static_cast<long long>(p) * 100 / r));

    painter.save();
    painter.setFont(font);
    const QRect rest(client.left() + x, client.top(), w - x, client.height());
    const QRect done(client.left(), client.top(), x, client.height());
    // Both passes lay the text out in the whole area, so the halves line up.
    painter.setClipRect(rest);
    painter.fillRect(rest, background);
    painter.setPen(bar);
    painter.drawText(client, Qt::AlignCenter | Qt::TextSingleLine, text);
    painter.setClipRect(done);
    painter.fillRect(done, bar);
    painter.setPen(background);
    painter.drawText(client, Qt::AlignCenter | Qt::TextSingleLine, text);
    painter.restore();
}

ProgressGauge::ProgressGauge(QWidget* parent)
    : QWidget(parent), font_(QFontDatabase::systemFont(QFontDatabase::GeneralFont)) {
    setObjectName(QStringLiteral("GaugeClass"));
    setCursor(Qt::ArrowCursor);
    // Everything is painted in paintEvent, and a resize must repaint it all.
    setAttribute(Qt::WA_OpaquePaintEvent);
    colors_ = RegisterGauge() ? g_colors : colorsFromPalette();
}

void ProgressGauge::setPosition(int position) {
    position_ = position;
    repaint();
}

void ProgressGauge::setGaugeFont(const QFont* font, bool redraw) {
    font_ = font ? *font : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    if (redraw)
        repaint();
}

QSize ProgressGauge::sizeHint() const {
    const QFontMetrics fm(font_);
    return {fm.horizontalAdvance(QStringLiteral("100%")) * 6, fm.height() + 6};
}

void ProgressGauge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintGauge(painter, rect(), position_, kRange, colors_.bar, colors_.background, font_);
}

} // namespace km
