#pragma once

#include "platform/db/Dataset.h"

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
    // dates by value, empty values first. The current row stays current.
    void sortOn(const QString& fieldName, bool descending = false);

protected:
    void doOpen(std::vector<FieldDef>& defs, std::vector<Row>& rows) override;
    bool modifiable() const override { return true; }

private:
    std::vector<FieldDef> fieldDefs_;
};

} // namespace db
