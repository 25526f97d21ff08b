#pragma once
// One list of the compare window: the rows of one side, their text made when
// a row is drawn so a long file costs no more than its row records.
#include "fileops/compare/DisplayRows.h"

#include <QAbstractListModel>

namespace km {

class CompareRowModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { FlagRole = Qt::UserRole + 1 }; // the row's flag, '0' or '1'

    explicit CompareRowModel(QObject* parent = nullptr) : QAbstractListModel(parent) {}

    // The rows and files must outlive the model or be replaced first; null
    // rows empty the list.
    void setRows(const std::vector<DisplayRow>* rows, const LineFile* left, const LineFile* right,
                 int tabSize);
    // Tells the view to lay out again (after a font change).
    void relayout();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    const std::vector<DisplayRow>* rows_ = nullptr;
    const LineFile* left_ = nullptr;
    const LineFile* right_ = nullptr;
    int tabSize_ = 4;
};

} // namespace km
