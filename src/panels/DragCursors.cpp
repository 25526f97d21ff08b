#include "panels/DragCursors.h"

#include <QPainter>

namespace km {
namespace {

QPixmap canvas() {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    return pm;
}

void page(QPainter& p, int x, int y) {
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawRect(x, y, 11, 14);
    p.drawLine(x + 3, y + 4, x + 8, y + 4);
    p.drawLine(x + 3, y + 7, x + 8, y + 7);
    p.drawLine(x + 3, y + 10, x + 8, y + 10);
}

} // namespace

QPixmap DragCursorNotAllowed() {
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::red, 3));
    p.drawEllipse(QRect(14, 14, 15, 15));
    p.drawLine(17, 26, 26, 17);
    return pm;
}

QPixmap DragCursorSingle() {
    QPixmap pm = canvas();
    QPainter p(&pm);
    page(p, 14, 14);
    return pm;
}

QPixmap DragCursorMultiple() {
    QPixmap pm = canvas();
    QPainter p(&pm);
    page(p, 12, 12);
    page(p, 15, 15);
    page(p, 18, 17);
    return pm;
}

} // namespace km
