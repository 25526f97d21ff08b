#pragma once
// The browser's rows: name, size and time of each entry, drawn on demand and
// sorted ascending by the clicked column.
#include "platform/FileTime.h"

#include <QAbstractTableModel>

#include <string>
#include <vector>

namespace km {

struct ArchiveRow {
    std::string name; // as the reader delivers it
    uint64_t size = 0;
    FileTime modified = 0;  // UTC
    bool encrypted = false; // ZIP: the entry needs the password
};

class ArchiveEntryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void add(ArchiveRow row) { pending_.push_back(std::move(row)); }
    // Shows what was added while listing.
    void publish();
    const std::vector<ArchiveRow>& rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // "  dd-mm-yy  hh:mm" in the user's date order and separator.
    static std::string TimeText(FileTime t);

private:
    std::vector<ArchiveRow> rows_, pending_;
};

} // namespace km
