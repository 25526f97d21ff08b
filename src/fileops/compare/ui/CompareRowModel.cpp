#include "fileops/compare/ui/CompareRowModel.h"

namespace km {

void CompareRowModel::setRows(const std::vector<DisplayRow>* rows, const LineFile* left,
                              const LineFile* right, int tabSize) {
    beginResetModel();
    rows_ = rows;
    left_ = left;
    right_ = right;
    tabSize_ = tabSize;
    endResetModel();
}

void CompareRowModel::relayout() {
    beginResetModel();
    endResetModel();
}

int CompareRowModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || rows_ == nullptr)
        return 0;
    return static_cast<int>(rows_->size()); // FillDisplayRows keeps it within int
}

QVariant CompareRowModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || rows_ == nullptr || index.row() < 0 ||
        static_cast<size_t>(index.row()) >= rows_->size())
        return {};
    const DisplayRow& row = (*rows_)[static_cast<size_t>(index.row())];
    switch (role) {
    case FlagRole:
        return QChar::fromLatin1(row.flag);
    case Qt::DisplayRole: {
        const LineFile* file = row.file == 0 ? left_ : right_;
        if (file == nullptr || row.line == kNoLine || row.line >= file->size())
            return QString();
        const std::string text = DisplayText(file->text(row.line), tabSize_);
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    default:
        return {};
    }
}

} // namespace km
