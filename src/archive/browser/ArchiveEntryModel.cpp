#include "archive/browser/ArchiveEntryModel.h"

#include "panels/CellText.h"
#include "platform/LocaleInfo.h"
#include "resources/StringTable.h"
#include "ui_services/FormatThousands.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <strings.h>

namespace km {

void ArchiveEntryModel::publish() {
    beginResetModel();
    for (ArchiveRow& r : pending_)
        rows_.push_back(std::move(r));
    pending_.clear();
    endResetModel();
}

int ArchiveEntryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ArchiveEntryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 3;
}

std::string ArchiveEntryModel::TimeText(FileTime t) {
    return DateTimeText(t, CurrentLocale());
}

QVariant ArchiveEntryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size()))
        return {};
    const ArchiveRow& r = rows_[static_cast<size_t>(index.row())];
    if (role == Qt::TextAlignmentRole && index.column() == 1)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    std::string text;
    switch (index.column()) {
    case 0:
        text = r.name;
        break;
    case 1:
        text = FormatThousands(r.size);
        break;
    default:
        text = TimeText(r.modified);
        break;
    }
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QVariant ArchiveEntryModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > 2)
        return {};
    return QString::fromUtf8(LoadString(4215 + section).data());
}

void ArchiveEntryModel::sort(int column, Qt::SortOrder) {
    // A layout change, not a reset: the view's selection follows its rows, so
    // the enabled buttons still mean the rows the user picked.
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<size_t> order(rows_.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [this, column](size_t a, size_t b) {
        const ArchiveRow& x = rows_[a];
        const ArchiveRow& y = rows_[b];
        switch (column) {
        case 0:
            return strcasecmp(x.name.c_str(), y.name.c_str()) < 0;
        case 1:
            return x.size < y.size;
        default:
            return x.modified < y.modified;
        }
    });
    std::vector<ArchiveRow> sorted;
    sorted.reserve(rows_.size());
    std::vector<int> newRow(rows_.size());
    for (size_t k = 0; k < order.size(); ++k) {
        sorted.push_back(std::move(rows_[order[k]]));
        newRow[order[k]] = static_cast<int>(k);
    }
    rows_ = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    for (const QModelIndex& i : before)
        after << index(newRow[static_cast<size_t>(i.row())], i.column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace km
