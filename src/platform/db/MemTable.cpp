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

void MemTable::sortOn(const QString& fieldName, bool descending, const QLocale& locale) {
    ensureBrowse();
    const Field& f = fieldByName(fieldName);
    const int i = f.index();
    const Bookmark current = bookmark();
    QCollator collator(locale);
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
    seqOrdered_ = false;
    notifyLayout();
    if (current != 0) {
        gotoBookmark(current);
    }
}

void MemTable::setIndexField(const QString& fieldName) {
    indexField_ = fieldName;
    rowsReset();
}

QString MemTable::indexKey(const std::vector<QVariant>& values) const {
    const QVariant& v = values[indexColumn_];
    return v.isNull() ? QString() : v.toString();
}

void MemTable::rowsReset() {
    index_.clear();
    const Field* f = indexField_.isEmpty() ? nullptr : findField(indexField_);
    indexColumn_ = isActive() && f ? f->index() : -1;
    if (indexColumn_ < 0) {
        return;
    }
    for (const Row& r : rows_) {
        rowStored(r.seq, nullptr, &r.values);
    }
}

void MemTable::rowStored(Bookmark seq, const std::vector<QVariant>* before,
                         const std::vector<QVariant>* after) {
    if (indexColumn_ < 0) {
        return;
    }
    const QString was = before ? indexKey(*before) : QString();
    const QString now = after ? indexKey(*after) : QString();
    if (before && after && was == now) {
        return;
    }
    if (!was.isEmpty()) {
        auto it = index_.find(was);
        if (it != index_.end()) {
            it->removeOne(seq);
            if (it->isEmpty()) {
                index_.erase(it);
            }
        }
    }
    if (!now.isEmpty()) {
        index_[now].append(seq);
    }
}

bool MemTable::findIndexed(const QString& text) {
    ensureBrowse();
    if (indexColumn_ < 0) {
        throw DbError(QStringLiteral("%1: No index on field '%2'").arg(objectNameOr(), indexField_),
                      objectNameOr());
    }
    const auto it = index_.constFind(text);
    if (it == index_.constEnd() || text.isEmpty()) {
        return false;
    }
    int first = -1;
    for (const Bookmark b : *it) {
        const int at = positionOf(b);
        if (at >= 0 && (first < 0 || at < first)) {
            first = at;
        }
    }
    if (first < 0) {
        return false;
    }
    setRecNo(first + 1);
    return true;
}

} // namespace db
