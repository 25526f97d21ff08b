#pragma once
// Draws a compare row: equal rows in the text colour, all others red (both
// readable on the list's base), never highlighted.
// Every row is as wide as the lists' horizontal extent.
#include <QStyledItemDelegate>

namespace km {

class CompareRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int kExtent = 4000; // pixels

    explicit CompareRowDelegate(QObject* parent = nullptr) : QStyledItemDelegate(parent) {}

    static QColor TextColor(const QPalette& palette, bool equal);

    void setRowHeight(int height) { rowHeight_ = height; }
    int rowHeight() const { return rowHeight_; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    int rowHeight_ = 16;
};

} // namespace km
