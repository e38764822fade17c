#include "platform/ui/GridEditors.h"

#include "platform/db/Value.h"
#include "platform/ui/DatasetModel.h"
#include "platform/ui/Format.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Prompts.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

namespace ui {

void GridEditors::setLineEditor(int column, std::function<void(QLineEdit*)> setup,
                                std::function<void()> onExit) {
    columns_[column] = Column{false, {}, std::move(setup), std::move(onExit), std::nullopt};
}

void GridEditors::setNumberEditor(int column, NumericRange range,
                                  std::function<void(QLineEdit*)> setup,
                                  std::function<void()> onExit) {
    columns_[column] = Column{false, {}, std::move(setup), std::move(onExit), range};
}

void GridEditors::setComboEditor(int column, const QStringList& items,
                                 std::function<void()> onExit) {
    columns_[column] = Column{true, items, {}, std::move(onExit), std::nullopt};
}

QWidget* GridEditors::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
    const auto it = columns_.find(index.column());
    if (it == columns_.end()) {
        return QStyledItemDelegate::createEditor(parent, option, index);
    }
    if (it->second.combo) {
        auto* combo = new QComboBox(parent);
        combo->setEditable(true); // the list's texts or free text
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setMaxVisibleItems(8);
        combo->addItems(it->second.items);
        return combo;
    }
    auto* edit = new QLineEdit(parent);
    edit->setFrame(false);
    if (it->second.range) {
        setNumeric(edit);
    }
    if (it->second.setup) {
        it->second.setup(edit);
    }
    return edit;
}

void GridEditors::setEditorData(QWidget* editor, const QModelIndex& index) const {
    const auto* model = qobject_cast<const DatasetModel*>(index.model());
    const db::Field* field = model ? model->fieldAt(index.column()) : nullptr;
    QString text = index.data(Qt::DisplayRole).toString();
    if (field && field->type() != db::FieldType::Text) {
        const QVariant v = index.data(Qt::EditRole);
        text = v.isNull() ? QString()
               : field->editFormat.isEmpty()
                   ? db::variantToText(v)
                   : formatFloat(field->editFormat, db::variantToDouble(v));
    }
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        combo->setEditText(text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        // Selected, so a key that starts the edit replaces the text, as typing into a cell does.
        edit->setText(text);
        edit->selectAll();
    } else {
        QStyledItemDelegate::setEditorData(editor, index);
    }
}

void GridEditors::setModelData(QWidget* editor, QAbstractItemModel* model,
                               const QModelIndex& index) const {
    const auto it = columns_.find(index.column());
    QString text;
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        text = combo->currentText();
    } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        text = edit->text();
    } else {
        QStyledItemDelegate::setModelData(editor, model, index);
        return;
    }
    const auto* dm = qobject_cast<const DatasetModel*>(model);
    const db::Field* field = dm ? dm->fieldAt(index.column()) : nullptr;
    QVariant value;
    if (it != columns_.end() && it->second.range) {
        const std::optional<double> number = numericValue(text);
        if (!number && !text.isEmpty()) {
            return; // a lone minus or point: nothing to store
        }
        if (number && !it->second.range->contains(*number)) {
            Prompts::current().message(
                {it->second.range->outOfRangeMessage(), MessageKind::Warning});
            return;
        }
        if (number) {
            value = *number;
        }
    } else if (!text.trimmed().isEmpty()) {
        if (field && field->type() != db::FieldType::Text) {
            bool ok = false;
            const double d = QString(text).remove(QLatin1Char(',')).trimmed().toDouble(&ok);
            value = ok ? QVariant(d) : QVariant();
        } else {
            value = text;
        }
    }
    guard([&] { model->setData(index, value, Qt::EditRole); })();
    if (it != columns_.end() && it->second.onExit) {
        guard(it->second.onExit)();
    }
}

bool GridEditors::eventFilter(QObject* object, QEvent* event) {
    auto* editor = qobject_cast<QWidget*>(object);
    if (editor && event->type() == QEvent::FocusOut) {
        // Qt stores and closes an editor whenever its window loses the focus; a question
        // shown over the window (the exit question on Esc) must find the editor as it was.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) {
            return false;
        }
    }
    if (editor && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            // Enter stores the value and moves on as Tab does.
            emit commitData(editor);
            emit closeEditor(editor, QAbstractItemDelegate::EditNextItem);
            return true;
        }
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

} // namespace ui
