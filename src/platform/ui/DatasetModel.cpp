#include "platform/ui/DatasetModel.h"

#include "platform/ui/Format.h"
#include "platform/ui/Guard.h"

#include <QFont>
#include <algorithm>

namespace ui {

namespace {
constexpr int kScreenRows = 100; // more rows than any grid shows at once
} // namespace

DatasetModel::DatasetModel(db::Dataset* dataset, QObject* parent)
    : QAbstractTableModel(parent), dataset_(dataset) {
    connect(dataset, &db::Dataset::layoutChanged, this, &DatasetModel::reset);
    connect(dataset, &db::Dataset::rowsAboutToBeAppended, this,
            [this](int first, int last) { beginInsertRows({}, first, last); });
    connect(dataset, &db::Dataset::rowsAppended, this, [this] {
        shownRows_ = rowCount();
        endInsertRows();
        if (dataset_->canFetchMore()) {
            background_.start();
        }
    });
    background_.setSingleShot(true);
    background_.setInterval(0);
    connect(&background_, &QTimer::timeout, this, guard([this] { fetchSlice(); }));
    connect(dataset, &db::Dataset::rowChanged, this, [this](int row) {
        if (row >= 0 && row < rowCount()) {
            emit dataChanged(index(row, 0), index(row, columnCount() - 1));
        }
    });
}

void DatasetModel::fetchSlice() {
    if (dataset_ && dataset_->canFetchMore()) {
        // The first slice of a fresh result fills the screen and no more, so it is painted
        // before the longer slices that follow.
        const int rows = freshResult_ ? std::min(sliceRows_, kScreenRows) : sliceRows_;
        freshResult_ = false;
        dataset_->fetchMore(rows, sliceBudgetMs_);
    }
}

bool DatasetModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && dataset_ && dataset_->canFetchMore();
}

// The view asks whenever its current row is the last one read, the first row of a fresh
// result included: the slice comes between events, so the rows found so far show first.
void DatasetModel::fetchMore(const QModelIndex& parent) {
    if (!parent.isValid() && !background_.isActive()) {
        background_.start();
    }
}

void DatasetModel::reset() {
    freshResult_ = true;
    if (dataset_ && dataset_->canFetchMore()) {
        background_.start(); // opened with rows still to come
    } else {
        background_.stop();
    }
    // Same shape: repaint only, so the view keeps its current cell and any open editor.
    const int rows = rowCount();
    const int columns = columnCount();
    if (rows == shownRows_ && columns == shownColumns_ && rows > 0) {
        emit dataChanged(index(0, 0), index(rows - 1, columns - 1));
        return;
    }
    beginResetModel();
    shownRows_ = rows;
    shownColumns_ = columns;
    endResetModel();
}

void DatasetModel::setColumns(std::vector<GridColumn> columns) {
    beginResetModel();
    columns_ = std::move(columns);
    shownRows_ = rowCount();
    shownColumns_ = columnCount();
    endResetModel();
}

db::Field* DatasetModel::fieldAt(int column) const {
    if (!dataset_ || !dataset_->isActive()) {
        return nullptr;
    }
    if (columns_.empty()) {
        return column >= 0 && column < dataset_->fieldCount() ? dataset_->fields()[column].get()
                                                              : nullptr;
    }
    return column >= 0 && column < int(columns_.size())
               ? dataset_->findField(columns_[column].field)
               : nullptr;
}

int DatasetModel::columnOf(const QString& fieldName) const {
    for (int c = 0; c < columnCount(); ++c) {
        const db::Field* f = fieldAt(c);
        if (f && f->name().compare(fieldName, Qt::CaseInsensitive) == 0) {
            return c;
        }
    }
    return -1;
}

int DatasetModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !dataset_ || !dataset_->isActive()) {
        return 0;
    }
    return dataset_->recordCount();
}

int DatasetModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid()) {
        return 0;
    }
    if (!columns_.empty()) {
        return int(columns_.size());
    }
    return dataset_ && dataset_->isActive() ? dataset_->fieldCount() : 0;
}

QString DatasetModel::displayText(int row, const db::Field& field) const {
    const QVariant v = dataset_->valueAt(row, field.index());
    if (v.isNull() || !v.isValid()) {
        return {};
    }
    if ((field.type() == db::FieldType::Float || field.type() == db::FieldType::Integer) &&
        !field.displayFormat.isEmpty()) {
        return formatFloat(field.displayFormat, db::variantToDouble(v));
    }
    if (field.type() == db::FieldType::DateTime) {
        return db::variantToDateTime(v).toString(QLatin1String(db::kDisplayDateFormat));
    }
    return db::variantToText(v);
}

QVariant DatasetModel::data(const QModelIndex& index, int role) const {
    const db::Field* field = fieldAt(index.column());
    if (!field || index.row() >= rowCount()) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return displayText(index.row(), *field);
    case Qt::EditRole:
        return dataset_->valueAt(index.row(), field->index());
    case Qt::TextAlignmentRole:
        return field->type() == db::FieldType::Text || field->type() == db::FieldType::DateTime
                   ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                   : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::BackgroundRole:
    case Qt::ForegroundRole:
    case Qt::FontRole: {
        if (!colors_) {
            return {};
        }
        const CellColors c = colors_(index.row(), *field, index.row() == selectedRow_);
        if (role == Qt::BackgroundRole && c.background) {
            return *c.background;
        }
        if (role == Qt::ForegroundRole && c.foreground) {
            return *c.foreground;
        }
        if (role == Qt::FontRole && c.bold) {
            QFont f;
            f.setBold(*c.bold);
            return f;
        }
        return {};
    }
    default:
        return {};
    }
}

QVariant DatasetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) {
        return role == Qt::DisplayRole ? QVariant(section + 1) : QVariant();
    }
    if (role == Qt::DisplayRole) {
        if (!columns_.empty() && section < int(columns_.size())) {
            return columns_[section].title.isEmpty() ? columns_[section].field
                                                     : columns_[section].title;
        }
        const db::Field* f = fieldAt(section);
        return f ? f->name() : QVariant();
    }
    if (role == Qt::TextAlignmentRole && !columns_.empty() && section < int(columns_.size())) {
        return QVariant(columns_[section].titleAlignment);
    }
    return {};
}

Qt::ItemFlags DatasetModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!columns_.empty() && index.column() < int(columns_.size()) &&
        !columns_[index.column()].readOnly) {
        f |= Qt::ItemIsEditable;
    }
    return f;
}

bool DatasetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    db::Field* field = fieldAt(index.column());
    if (role != Qt::EditRole || !field || !(flags(index) & Qt::ItemIsEditable)) {
        return false;
    }
    if (dataset_->recNo() != index.row() + 1) {
        dataset_->setRecNo(index.row() + 1);
    }
    dataset_->edit();
    field->setValue(value);
    return true;
}

} // namespace ui
