#include "platform/db/MemTable.h"

#include "platform/db/DbError.h"

#include <QCollator>
#include <algorithm>

namespace db {

void MemTable::addField(const QString& name, FieldType type, int size) {
    if (isActive()) {
        throw DbError(
            QStringLiteral("%1: Cannot define fields of an open table").arg(objectNameOr()));
    }
    fieldDefs_.push_back(FieldDef{name, type, size});
}

void MemTable::clearFields() {
    close();
    fieldDefs_.clear();
}

void MemTable::doOpen(std::vector<FieldDef>& defs, std::vector<Row>&) {
    defs = fieldDefs_;
}

void MemTable::sortOn(const QString& fieldName, bool descending) {
    ensureBrowse();
    const Field& f = fieldByName(fieldName);
    const int i = f.index();
    const Bookmark current = bookmark();
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(false);
    auto less = [&](const Row& a, const Row& b) {
        const QVariant& x = a.values[i];
        const QVariant& y = b.values[i];
        if (x.isNull() || y.isNull()) {
            return x.isNull() && !y.isNull();
        }
        switch (f.type()) {
        case FieldType::Text:
            return collator.compare(x.toString(), y.toString()) < 0;
        case FieldType::DateTime:
            return variantToDateTime(x) < variantToDateTime(y);
        default:
            return variantToDouble(x) < variantToDouble(y);
        }
    };
    std::stable_sort(rows_.begin(), rows_.end(), [&](const Row& a, const Row& b) {
        return descending ? less(b, a) : less(a, b);
    });
    notifyLayout();
    if (current != 0) {
        gotoBookmark(current);
    }
}

} // namespace db
