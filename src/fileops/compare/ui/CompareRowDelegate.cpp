#include "fileops/compare/ui/CompareRowDelegate.h"

#include "fileops/compare/ui/CompareRowModel.h"
#include "ui_services/ReadableColor.h"

#include <QPainter>

namespace km {

QColor CompareRowDelegate::TextColor(const QPalette& palette, bool equal) {
    const QColor base = palette.color(QPalette::Base);
    return ReadableOn(base, equal ? palette.color(QPalette::Text) : QColor(255, 0, 0));
}

void CompareRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    painter->save();
    painter->fillRect(option.rect, option.palette.base());
    const bool equal = index.data(CompareRowModel::FlagRole).toChar() == QLatin1Char('0');
    painter->setPen(TextColor(option.palette, equal));
    painter->setFont(option.font);
    painter->drawText(option.rect.adjusted(2, 0, 0, 0),
                      Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      index.data(Qt::DisplayRole).toString());
    painter->restore();
}

QSize CompareRowDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
    return QSize(kExtent, rowHeight_);
}

} // namespace km
