#pragma once
#include <QStyledItemDelegate>

namespace km {

// Cut `text` to fit a column of `columnWidth` pixels, ending it in "..." when
// characters were dropped; empty when nothing would be drawn.
QString FitCellText(const QString& text, const QFontMetrics& fm, int columnWidth);

// Paints a row's cells in the panel colours of its kind and state.
struct PanelRowColors {
    QColor text, background;
};

class PanelDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    // A row's colours from the settings, the text made readable on the
    // background when the chosen pair is not.
    static PanelRowColors RowColors(int kind, bool selected, uint attributes);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

// QColor of a stored colour reference (red in the low byte).
QColor ColorFromRef(int ref);

} // namespace km
