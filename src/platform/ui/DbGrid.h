#pragma once

#include "platform/ui/DatasetModel.h"

#include <QTableView>

namespace ui {

// A data-aware grid: shows a dataset through DatasetModel and keeps the view's current
// row and the dataset's cursor together in both directions.
class DbGrid : public QTableView {
    Q_OBJECT
public:
    explicit DbGrid(QWidget* parent = nullptr);

    void setDataset(db::Dataset* dataset);
    db::Dataset* dataset() const { return model_ ? model_->dataset() : nullptr; }
    DatasetModel* datasetModel() const { return model_; }
    void setColumns(std::vector<GridColumn> columns);
    // A column as wide as that many average characters of the grid's font, title left-aligned.
    GridColumn charColumn(const QString& field, int chars, const QString& title,
                          bool editable = false) const;
    void setCellColors(DatasetModel::ColorsFn fn);
    // Rows painted alternately in this colour (none by default).
    void setAlternateRowColor(const QColor& color);
    void setTitlesClickable(bool on);
    // Enter moves to the next cell as Tab does (and commits an open editor).
    void setEnterMovesLikeTab(bool on) { enterLikeTab_ = on; }

    // Moving down past the last row (Down, or Enter/Tab from its last cell) appends an empty
    // row, unless the last row is empty already.
    void setAppendOnDown(bool on) { appendOnDown_ = on; }
    // The first columns stay in place when the grid scrolls sideways.
    void setFrozenColumns(int count);

    // Stores what an open cell editor holds and closes it, as leaving the cell would.
    void finishEditing();

    // True while a cell editor is open.
    bool isEditing() const { return state() == QAbstractItemView::EditingState; }

    // The field of the current column; nullptr without one.
    db::Field* selectedField() const;
    void setSelectedField(const QString& fieldName);

signals:
    void titleClicked(db::Field* field);
    void rowDoubleClicked();

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

private:
    void followDataset(int row);
    bool lastRowBlank() const;
    bool appendRow(int column);
    void applyWidths();
    void layoutFrozen();
    int frozenWidth() const;

    DatasetModel* model_ = nullptr;
    bool syncing_ = false;
    bool enterLikeTab_ = false;
    bool appendOnDown_ = false;
    int lastColumn_ = 0;
    int frozenCount_ = 0;
    QTableView* frozen_ = nullptr;
};

} // namespace ui
