#include "platform/ui/DataLink.h"

#include "platform/ui/Format.h"
#include "platform/ui/Guard.h"

#include <QLabel>
#include <QLineEdit>

namespace ui {

FieldLink::FieldLink(QLineEdit* edit, db::Dataset* dataset, const QString& fieldName)
    : QObject(edit), edit_(edit), dataset_(dataset), fieldName_(fieldName) {
    connectDataset();
    connect(edit, &QLineEdit::textEdited, this, guard([this](const QString& typed) {
                if (!dataset_ || !dataset_->isActive() || edit_->isReadOnly()) {
                    return;
                }
                db::Field* f = dataset_->findField(fieldName_);
                if (!f) {
                    return;
                }
                dataset_->edit();
                f->setValue(typed.isEmpty() ? QVariant() : QVariant(typed));
            }));
    refresh();
}

FieldLink::FieldLink(QLabel* label, db::Dataset* dataset, const QString& fieldName)
    : QObject(label), label_(label), dataset_(dataset), fieldName_(fieldName) {
    connectDataset();
    refresh();
}

void FieldLink::connectDataset() {
    auto update = [this] { refresh(); };
    connect(dataset_, &db::Dataset::layoutChanged, this, update);
    connect(dataset_, &db::Dataset::rowChanged, this, update);
    connect(dataset_, &db::Dataset::currentChanged, this, update);
    connect(dataset_, &db::Dataset::stateChanged, this, update);
    connect(dataset_, &db::Dataset::afterOpen, this, update);
    connect(dataset_, &db::Dataset::afterClose, this, update);
}

QString FieldLink::text() const {
    if (!dataset_ || !dataset_->isActive()) {
        return {};
    }
    const db::Field* f = dataset_->findField(fieldName_);
    if (!f || f->isNull()) {
        return {};
    }
    if (f->type() == db::FieldType::DateTime) {
        return f->asDateTime().toString(QLatin1String(db::kDisplayDateFormat));
    }
    if (!displayFormat.isEmpty() && f->type() != db::FieldType::Text) {
        return formatFloat(displayFormat, f->asFloat());
    }
    return f->asString();
}

void FieldLink::refresh() {
    const QString t = text();
    if (edit_ && edit_->text() != t) {
        edit_->setText(t);
    }
    if (label_ && label_->text() != t) {
        label_->setText(t);
    }
}

QString numberText(const QString& picture, double value) {
    return formatFloat(picture, value);
}

} // namespace ui
