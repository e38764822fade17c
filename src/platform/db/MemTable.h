#pragma once

#include "platform/db/Dataset.h"

#include <QHash>
#include <QLocale>

namespace db {

// A dataset held only in memory, its fields defined in code. Text longer than a field is
// cut when stored; closing and reopening empties it.
class MemTable : public Dataset {
    Q_OBJECT
public:
    explicit MemTable(QObject* parent = nullptr) : Dataset(parent) {}

    void addField(const QString& name, FieldType type, int size = 0);
    void clearFields();
    const std::vector<FieldDef>& fieldDefs() const { return fieldDefs_; }

    // Sorts on one field: text in the locale's order without regard to case, numbers and
    // dates by value, empty values first; equal values keep their order. The current row
    // stays current.
    void sortOn(const QString& fieldName, bool descending = false,
                const QLocale& locale = QLocale());

    // Keeps an index of the stored texts of one field, so that findIndexed() finds a row
    // without comparing every row. Empty texts are not indexed.
    void setIndexField(const QString& fieldName);
    // Moves to the first row (in row order) whose indexed field holds exactly this text,
    // as stored; false, the cursor unmoved, when none does. Posts a pending edit first.
    bool findIndexed(const QString& text);

protected:
    void doOpen(std::vector<FieldDef>& defs, std::vector<Row>& rows) override;
    bool modifiable() const override { return true; }
    void rowStored(Bookmark seq, const std::vector<QVariant>* before,
                   const std::vector<QVariant>* after) override;
    void rowsReset() override;

private:
    QString indexKey(const std::vector<QVariant>& values) const;

    std::vector<FieldDef> fieldDefs_;
    QString indexField_;
    int indexColumn_ = -1;                  // of the open table; -1 when not indexed
    QHash<QString, QList<Bookmark>> index_; // text -> rows holding it
};

} // namespace db
