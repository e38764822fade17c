#include "platform/ui/DbGrid.h"

#include "platform/ui/Guard.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <algorithm>

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

GridColumn DbGrid::charColumn(const QString& field, int chars, const QString& title,
                              bool editable) const {
    return GridColumn{field, title, chars * fontMetrics().averageCharWidth() + 10,
                      Qt::AlignLeft | Qt::AlignVCenter, !editable};
}

void DbGrid::finishEditing() {
    if (state() != QAbstractItemView::EditingState) {
        return;
    }
    QWidget* editor = QApplication::focusWidget();
    while (editor && editor->parentWidget() != viewport()) {
        editor = editor->parentWidget();
    }
    if (editor) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void DbGrid::setFrozenColumns(int count) {
    frozenCount_ = count;
    if (!frozen_) {
        frozen_ = new QTableView(this);
        frozen_->setFocusPolicy(Qt::NoFocus);
        frozen_->verticalHeader()->hide();
        frozen_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        frozen_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        frozen_->setSelectionBehavior(selectionBehavior());
        frozen_->setEditTriggers(QAbstractItemView::NoEditTriggers);
        frozen_->setStyleSheet(QStringLiteral("QTableView { border: none; }"));
        frozen_->setModel(model());
        frozen_->setSelectionModel(selectionModel());
        frozen_->setAlternatingRowColors(alternatingRowColors());
        frozen_->setPalette(palette());
        frozen_->verticalHeader()->setDefaultSectionSize(verticalHeader()->defaultSectionSize());
        frozen_->horizontalHeader()->setSectionsClickable(false);
        viewport()->stackUnder(frozen_);
        connect(verticalScrollBar(), &QAbstractSlider::valueChanged, frozen_->verticalScrollBar(),
                &QAbstractSlider::setValue);
        connect(frozen_->verticalScrollBar(), &QAbstractSlider::valueChanged, verticalScrollBar(),
                &QAbstractSlider::setValue);
        connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this] { layoutFrozen(); });
        connect(model(), &QAbstractItemModel::modelReset, this, [this] { layoutFrozen(); });
    }
    layoutFrozen();
}

int DbGrid::frozenWidth() const {
    int width = 0;
    for (int c = 0; c < frozenCount_ && model() && c < model()->columnCount(); ++c) {
        width += columnWidth(c);
    }
    return width;
}

void DbGrid::layoutFrozen() {
    if (!frozen_) {
        return;
    }
    frozen_->setAlternatingRowColors(alternatingRowColors());
    frozen_->setPalette(palette());
    const int columns = model() ? model()->columnCount() : 0;
    for (int c = 0; c < columns; ++c) {
        frozen_->setColumnHidden(c, c >= frozenCount_);
        if (c < frozenCount_) {
            frozen_->setColumnWidth(c, columnWidth(c));
        }
    }
    frozen_->setVisible(frozenCount_ > 0);
    frozen_->setGeometry(verticalHeader()->width() + frameWidth(), frameWidth(), frozenWidth(),
                         viewport()->height() + horizontalHeader()->height());
}

void DbGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    layoutFrozen();
}

QModelIndex DbGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    db::Dataset* ds = dataset();
    if (ds && ds->canFetchMore()) {
        if (action == MoveEnd && modifiers.testFlag(Qt::ControlModifier)) {
            // The last row is the last of the whole result: read the rest first.
            QApplication::setOverrideCursor(Qt::WaitCursor);
            guard([ds] { ds->fetchAll(); })();
            QApplication::restoreOverrideCursor();
        } else if (action == MoveDown || action == MoveNext || action == MovePageDown) {
            // Keys typed ahead of the slices read between events still move as far as asked.
            const int page = std::max(1, viewport()->height() /
                                             std::max(1, verticalHeader()->defaultSectionSize()));
            const int wanted = currentIndex().row() + 1 + (action == MovePageDown ? page : 1);
            guard([ds, wanted] {
                while (ds->recordCount() < wanted && ds->canFetchMore()) {
                    ds->fetchMore(wanted - ds->recordCount());
                }
            })();
        }
    }
    const QModelIndex current = QTableView::moveCursor(action, modifiers);
    // A cell moved to from the right must not end up hidden under the frozen columns.
    if (frozen_ && action == MoveLeft && current.column() >= frozenCount_ &&
        visualRect(current).topLeft().x() < frozenWidth()) {
        const int shift = visualRect(current).topLeft().x() - frozenWidth();
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() + shift);
    }
    return current;
}

void DbGrid::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (!frozen_ || index.column() >= frozenCount_) {
        QTableView::scrollTo(index, hint);
    }
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

bool DbGrid::lastRowBlank() const {
    const db::Dataset* ds = dataset();
    const int last = ds->recordCount() - 1;
    for (int f = 0; f < ds->fieldCount(); ++f) {
        if (!ds->valueAt(last, f).isNull()) {
            return false;
        }
    }
    return true;
}

// Appends a row below the last one and moves to it, in the given column (-1: the first
// editable one); false when there was nothing to do.
bool DbGrid::appendRow(int column) {
    db::Dataset* ds = dataset();
    if (!appendOnDown_ || !ds || !ds->isActive() || ds->isEmpty() ||
        currentIndex().row() != ds->recordCount() - 1 || lastRowBlank()) {
        return false;
    }
    guard([ds] {
        ds->append();
        ds->post();
    })();
    const int row = ds->recordCount() - 1;
    for (int c = 0; column < 0 && c < model_->columnCount(); ++c) {
        if (model_->flags(model_->index(row, c)).testFlag(Qt::ItemIsEditable)) {
            column = c; // Enter or Tab from the last cell: on to the first cell to type in
        }
    }
    setCurrentIndex(model_->index(row, std::max(column, 0)));
    return true;
}

void DbGrid::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool next = event->key() == Qt::Key_Tab || (enterLikeTab_ && enter);
    if (state() != QAbstractItemView::EditingState && model_ &&
        ((event->key() == Qt::Key_Down && event->modifiers() == Qt::NoModifier) ||
         (next && currentIndex().column() == model_->columnCount() - 1))) {
        const int column = event->key() == Qt::Key_Down ? currentIndex().column() : -1;
        if (appendRow(column)) {
            event->accept();
            return;
        }
    }
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
