#include "ui_services/StatusLine.h"

#include "ui_services/PathField.h"

#include <QPainter>

namespace km {
namespace {

// The lines are padded with blanks, which need no room.
QString withoutTrailingBlanks(const QString& s) {
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' '))
        --n;
    return s.left(n);
}

} // namespace

// Where the text starts and ends inside the frame, as QLabel places it.
QRect StatusLine::textArea() const {
    const int indent = this->indent() >= 0 ? this->indent()
                       : frameWidth() > 0  ? fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2
                                           : 0;
    return contentsRect().adjusted(margin() + indent, margin(), -margin(), -margin());
}

StatusLine::StatusLine(Shorten how, QWidget* parent) : QLabel(parent), how_(how) {
    setTextFormat(Qt::PlainText);
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
}

void StatusLine::setTexts(const QString& full, const QString& shorter) {
    shorter_ = shorter;
    setText(full);
    update();
}

QString StatusLine::shownText() const {
    const QFontMetrics fm = fontMetrics();
    const int width = textArea().width();
    const QString full = withoutTrailingBlanks(text());
    if (fm.horizontalAdvance(full) <= width)
        return full;
    const QString shorter = withoutTrailingBlanks(shorter_);
    if (!shorter.isEmpty() && fm.horizontalAdvance(shorter) <= width)
        return shorter;
    const QString base = shorter.isEmpty() ? full : shorter;
    return how_ == Shorten::Path ? ElidePath(base, fm, width) : fm.elidedText(base, Qt::ElideRight, width);
}

void StatusLine::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawFrame(&painter);
    painter.setPen(palette().color(foregroundRole()));
    // No mnemonic: an '&' in a path is just a character.
    painter.drawText(textArea(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shownText());
}

} // namespace km
