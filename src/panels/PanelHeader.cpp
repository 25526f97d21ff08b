#include "panels/PanelHeader.h"

#include <QApplication>
#include <QPainter>
#include <QPolygon>

namespace km {

PanelHeader::PanelHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setSectionsClickable(true);
    setHighlightSections(false);
}

void PanelHeader::setSortArrow(int column, bool descending) {
    sortColumn_ = column;
    descending_ = descending;
    viewport()->update();
}

void PanelHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    if (!rect.isValid())
        return;
    const QPalette& pal = palette();
    painter->save();
    painter->fillRect(rect, pal.color(QPalette::Button));
    painter->setPen(pal.color(QPalette::Light));
    painter->drawLine(rect.topLeft(), rect.topRight());
    painter->drawLine(rect.topLeft(), rect.bottomLeft());
    painter->setPen(pal.color(QPalette::Dark));
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    painter->drawLine(rect.topRight(), rect.bottomRight());

    const bool pressed = (QApplication::mouseButtons() & Qt::LeftButton) &&
                         logicalIndexAt(mapFromGlobal(QCursor::pos())) == logicalIndex &&
                         underMouse();
    QRect r = rect;
    if (pressed)
        r.translate(1, 1);
    const int inset = 2 * fontMetrics().horizontalAdvance(QLatin1Char(' '));
    QRect text = r.adjusted(inset, 0, -inset, 0);
    if (logicalIndex == sortColumn_) {
        const int h = r.height();
        text.setRight(text.right() - h);
        const int th = std::max(3, h / 3);
        const int cx = r.right() - h / 2 - inset / 2, cy = r.center().y();
        QPolygon tri;
        if (descending_) // up
            tri << QPoint(cx - th / 2 - 1, cy + th / 2) << QPoint(cx + th / 2 + 1, cy + th / 2)
                << QPoint(cx, cy - th / 2);
        else // down
            tri << QPoint(cx - th / 2 - 1, cy - th / 2) << QPoint(cx + th / 2 + 1, cy - th / 2)
                << QPoint(cx, cy + th / 2);
        painter->setPen(pal.color(QPalette::Dark));
        painter->setBrush(pal.color(QPalette::Button));
        painter->drawPolygon(tri);
        painter->setPen(pal.color(QPalette::Light));
        painter->drawLine(tri[1], tri[2]);
    }
    const QString title = model() ? model()->headerData(logicalIndex, Qt::Horizontal).toString() : QString();
    const auto align = logicalIndex == 1 ? Qt::AlignRight : Qt::AlignLeft;
    painter->setPen(pal.color(QPalette::ButtonText));
    painter->drawText(text, static_cast<int>(align | Qt::AlignVCenter | Qt::TextSingleLine),
                      fontMetrics().elidedText(title, Qt::ElideRight, std::max(0, text.width())));
    painter->restore();
}

} // namespace km
