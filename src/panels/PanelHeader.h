#pragma once
#include <QHeaderView>

namespace km {

// The panel's column header: titles inset by two spaces, and a small
// raised triangle on the sorted column (down = ascending, up = descending).
class PanelHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit PanelHeader(QWidget* parent = nullptr);
    void setSortArrow(int column, bool descending);
    int sortColumn() const { return sortColumn_; }
    bool sortDescending() const { return descending_; }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    int sortColumn_ = 0;
    bool descending_ = false;
};

} // namespace km
