#include "panels/PanelModel.h"

#include "panels/CellText.h"
#include "resources/StringTable.h"
#include "ui_services/AppState.h"

namespace km {

PanelModel::PanelModel(PanelListing& listing, QObject* parent)
    : QAbstractTableModel(parent), listing_(listing) {}

int PanelModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : listing_.rowCount();
}

int PanelModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 3; }

QVariant PanelModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= listing_.rowCount() || index.column() > 2)
        return {};
    const FileEntry& e = listing_.entries[static_cast<size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole: {
        const std::string s = CellText(e, index.column(), App().nameCase, CurrentLocale());
        return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignVCenter |
                                   (index.column() == 1 ? Qt::AlignRight : Qt::AlignLeft));
    case KindRole: return e.kind;
    case SelectedRole: return e.selected;
    case AttributesRole: return static_cast<uint>(e.attributes);
    case RawNameRole: return QByteArray(e.name.data(), static_cast<qsizetype>(e.name.size()));
    default: return {};
    }
}

QVariant PanelModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section > 2)
        return {};
    if (role == Qt::DisplayRole) {
        const auto s = LoadString(4215 + section);
        return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignVCenter | (section == 1 ? Qt::AlignRight : Qt::AlignLeft));
    return {};
}

void PanelModel::rowsChanged(int first, int last) {
    if (first < 0 || last < first || last >= listing_.rowCount())
        return;
    emit dataChanged(index(first, 0), index(last, 2), {Qt::DisplayRole, SelectedRole});
}

void PanelModel::allRowsChanged() {
    if (listing_.rowCount() > 0)
        rowsChanged(0, listing_.rowCount() - 1);
}

} // namespace km
