#include "platform/ui/DbGrid.h"

#include "platform/ui/Guard.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

namespace ui {

DbGrid::DbGrid(QWidget* parent) : QTableView(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->hide();
    horizontalHeader()->setHighlightSections(false);
    setWordWrap(false);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
        if (model_ && horizontalHeader()->sectionsClickable()) {
            if (db::Field* f = model_->fieldAt(section)) {
                emit titleClicked(f);
            }
        }
    });
}

void DbGrid::setDataset(db::Dataset* dataset) {
    model_ = new DatasetModel(dataset, this);
    setModel(model_);
    connect(dataset, &db::Dataset::currentChanged, this, &DbGrid::followDataset);
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        applyWidths();
        followDataset(this->dataset() ? this->dataset()->currentRow() : -1);
    });
}

void DbGrid::setColumns(std::vector<GridColumn> columns) {
    model_->setColumns(std::move(columns));
    applyWidths();
}

void DbGrid::applyWidths() {
    if (!model_) {
        return;
    }
    const auto& cols = model_->columns();
    for (int c = 0; c < int(cols.size()); ++c) {
        if (cols[c].width > 0) {
            setColumnWidth(c, cols[c].width);
        }
    }
}

void DbGrid::setCellColors(DatasetModel::ColorsFn fn) {
    model_->setCellColors(std::move(fn));
}

void DbGrid::setAlternateRowColor(const QColor& color) {
    setAlternatingRowColors(true);
    QPalette p = palette();
    p.setColor(QPalette::AlternateBase, color);
    setPalette(p);
}

void DbGrid::setTitlesClickable(bool on) {
    horizontalHeader()->setSectionsClickable(on);
}

db::Field* DbGrid::selectedField() const {
    return model_ ? model_->fieldAt(currentIndex().column()) : nullptr;
}

void DbGrid::setSelectedField(const QString& fieldName) {
    const int column = model_ ? model_->columnOf(fieldName) : -1;
    if (column >= 0) {
        const int row = currentIndex().isValid() ? currentIndex().row() : 0;
        setCurrentIndex(model_->index(row, column));
    }
}

void DbGrid::followDataset(int row) {
    if (syncing_ || !model_) {
        return;
    }
    syncing_ = true;
    model_->setSelectedRow(row);
    if (row >= 0 && row < model_->rowCount()) {
        // A reset of the model forgets the current cell: the column the user was in stays.
        const int column = currentIndex().isValid() ? currentIndex().column() : lastColumn_;
        setCurrentIndex(model_->index(row, std::min(column, model_->columnCount() - 1)));
    }
    syncing_ = false;
}

void DbGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (current.isValid()) {
        lastColumn_ = current.column();
    }
    if (syncing_ || !model_ || !current.isValid() || current.row() == previous.row()) {
        return;
    }
    db::Dataset* ds = dataset();
    if (ds && ds->isActive() && ds->recNo() != current.row() + 1) {
        syncing_ = true;
        guard([ds, row = current.row()] { ds->setRecNo(row + 1); })();
        syncing_ = false;
    }
    model_->setSelectedRow(current.row());
    viewport()->update();
}

void DbGrid::keyPressEvent(QKeyEvent* event) {
    if (enterLikeTab_ && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        state() != QAbstractItemView::EditingState) {
        const QModelIndex next = moveCursor(QAbstractItemView::MoveNext, event->modifiers());
        if (next.isValid()) {
            setCurrentIndex(next);
        }
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void DbGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableView::mouseDoubleClickEvent(event);
    if (indexAt(event->position().toPoint()).isValid()) {
        emit rowDoubleClicked();
    }
}

} // namespace ui
