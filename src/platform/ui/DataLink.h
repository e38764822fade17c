#pragma once

#include "platform/db/Dataset.h"

#include <QObject>
#include <QPointer>

class QLabel;
class QLineEdit;

namespace ui {

// Ties an edit or a label to a field of a dataset's current row: the control shows the
// field (with its display format, dates as DD/MM/YYYY) and typing into an edit puts the
// dataset into edit mode and stores the text in the field.
class FieldLink : public QObject {
    Q_OBJECT
public:
    FieldLink(QLineEdit* edit, db::Dataset* dataset, const QString& fieldName);
    FieldLink(QLabel* label, db::Dataset* dataset, const QString& fieldName);

    void refresh();
    // A picture for numbers, e.g. ",0.##;-,0.##"; empty shows the value as it is.
    QString displayFormat;

private:
    void connectDataset();
    QString text() const;

    QPointer<QLineEdit> edit_;
    QPointer<QLabel> label_;
    QPointer<db::Dataset> dataset_;
    QString fieldName_;
};

// A read-only number box's text for a value and picture (e.g. the footer totals).
QString numberText(const QString& picture, double value);

} // namespace ui
