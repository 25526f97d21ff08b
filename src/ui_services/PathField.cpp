#include "ui_services/PathField.h"

#include "ui_services/ReadableColor.h"

#include <QFontMetrics>
#include <QPainter>

namespace km {

QString ElidePath(const QString& text, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    const QString dots = QStringLiteral("...");
    const qsizetype slash = text.lastIndexOf(QLatin1Char('/'));
    const QString name = slash > 0 ? text.mid(slash) : QString();
    if (name.isEmpty() || metrics.horizontalAdvance(dots + name) > width)
        return metrics.elidedText(text, Qt::ElideMiddle, width);
    // The longest beginning that still fits before the ellipsis and the name.
    qsizetype lo = 0, hi = slash;
    while (lo < hi) {
        const qsizetype mid = (lo + hi + 1) / 2;
        if (metrics.horizontalAdvance(text.left(mid) + dots + name) <= width)
            lo = mid;
        else
            hi = mid - 1;
    }
    if (lo > 0 && text.at(lo - 1).isHighSurrogate())
        --lo;
    return text.left(lo) + dots + name;
}

PathField::PathField(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void PathField::setText(std::string_view utf8) {
    text_ = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    repaint();
}

QString PathField::shownText() const {
    return ElidePath(text_, fontMetrics(), width());
}

QSize PathField::sizeHint() const {
    return {fontMetrics().averageCharWidth() * 48, fontMetrics().height() + 4};
}

void PathField::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor face = palette().color(QPalette::Button);
    painter.fillRect(rect(), face);
    painter.setPen(ReadableOn(face, palette().color(QPalette::ButtonText)));
    // No Qt::TextShowMnemonic: an '&' in a file name is just a character.
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shownText());
}

} // namespace km
