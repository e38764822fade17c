#pragma once

#include "platform/db/Dataset.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <optional>
#include <vector>

namespace ui {

struct GridColumn {
    QString field;
    QString title; // empty: the field name shows
    int width = 0; // pixels; 0 keeps the view's default
    Qt::Alignment titleAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    bool readOnly = true;
};

struct CellColors {
    std::optional<QColor> background;
    std::optional<QColor> foreground;
    std::optional<bool> bold;
};

// A table model over a dataset: one row per dataset row, the configured columns (all
// fields when none are configured). Values show with the field's display format, dates
// as DD/MM/YYYY. Colours come from a per-cell callback. Rows a dataset has still to read
// from the server come in slices between events, and at once when the view scrolls to them.
class DatasetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using ColorsFn = std::function<CellColors(int row, const db::Field& field, bool selected)>;

    explicit DatasetModel(db::Dataset* dataset, QObject* parent = nullptr);

    db::Dataset* dataset() const { return dataset_; }
    void setColumns(std::vector<GridColumn> columns);
    const std::vector<GridColumn>& columns() const { return columns_; }
    void setCellColors(ColorsFn fn) { colors_ = std::move(fn); }
    void setSelectedRow(int row) { selectedRow_ = row; }

    // The field shown in a column; nullptr when the dataset lacks it (or is closed).
    db::Field* fieldAt(int column) const;
    int columnOf(const QString& fieldName) const;
    QString displayText(int row, const db::Field& field) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    // At most this many rows, read for at most this long, make one slice read between
    // events; a slice stops early only between chunks of rows.
    void setSlice(int rows, int budgetMs) {
        sliceRows_ = rows;
        sliceBudgetMs_ = budgetMs;
    }

private:
    void reset();
    void fetchSlice();

    QPointer<db::Dataset> dataset_;
    std::vector<GridColumn> columns_;
    ColorsFn colors_;
    int selectedRow_ = -1;
    int shownRows_ = -1;
    int shownColumns_ = -1;
    int sliceRows_ = 4096;
    int sliceBudgetMs_ = 10;
    bool freshResult_ = true;
    QTimer background_; // reads the next slice once pending events are handled
};

} // namespace ui
