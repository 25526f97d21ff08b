#pragma once
#include "panels/PanelListing.h"

#include <QAbstractTableModel>

namespace km {

// Rows of a PanelListing for the view. The listing stays the owner of the
// data; the model only translates it (and is reset around every re-read).
class PanelModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Role {
        KindRole = Qt::UserRole + 1,
        SelectedRole,
        AttributesRole,
        RawNameRole, // QByteArray of the name's real bytes
    };

    explicit PanelModel(PanelListing& listing, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void beginListingReset() { beginResetModel(); }
    void endListingReset() { endResetModel(); }
    // Rows `first`..`last` are being added at the end.
    void beginAppend(int first, int last) { beginInsertRows({}, first, last); }
    void endAppend() { endInsertRows(); }
    // Selection states or texts of rows changed.
    void rowsChanged(int first, int last);
    void allRowsChanged();

private:
    PanelListing& listing_;
};

} // namespace km
