#pragma once

#include "platform/ui/Edits.h"

#include <QStringList>
#include <QStyledItemDelegate>
#include <functional>
#include <map>
#include <optional>

class QLineEdit;

namespace ui {

// In-cell editors of a data-aware grid, per column: a line edit (numbers or text) or an
// editable combo box. Enter commits like Tab and moves to the next cell; after a value is
// stored the column's exit handler runs (through the guard), as when focus leaves a
// control. An editor stays open, unstored, while another window (a question, a message)
// has the focus.
class GridEditors : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit GridEditors(QObject* parent = nullptr) : QStyledItemDelegate(parent) {}

    void setLineEditor(int column, std::function<void(QLineEdit*)> setup = {},
                       std::function<void()> onExit = {});
    // A line editor that takes numbers only (see ui::setNumeric). A number outside the range
    // is refused with a message: the cell keeps its value and the exit handler does not run.
    void setNumberEditor(int column, NumericRange range, std::function<void(QLineEdit*)> setup = {},
                         std::function<void()> onExit = {});
    void setComboEditor(int column, const QStringList& items, std::function<void()> onExit = {});

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

protected:
    bool eventFilter(QObject* editor, QEvent* event) override;

private:
    struct Column {
        bool combo = false;
        QStringList items;
        std::function<void(QLineEdit*)> setup;
        std::function<void()> onExit;
        std::optional<NumericRange> range; // set for number editors
    };
    std::map<int, Column> columns_;
};

} // namespace ui
