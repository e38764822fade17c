#include "orders/PickLists.h"

#include "orders/SpecialOrderSql.h"
#include "platform/db/MemTable.h"

#include <QLocale>
#include <QScopeGuard>
#include <map>

namespace orders {

namespace {

QString business() {
    return QStringLiteral("DMDATA");
}

// Joins the distinct groups of a list's lines in their order: normally there is one.
QString groupsOf(const std::vector<PickLine>& lines) {
    QStringList groups;
    for (const PickLine& line : lines) {
        if (!line.group.isEmpty() && !groups.contains(line.group)) {
            groups << line.group;
        }
    }
    return groups.join(QStringLiteral(", "));
}

} // namespace

PickLists::PickLists() {
    QPickLines.setObjectName(QStringLiteral("QPickLines"));
    QPickLines.setConnectionName(business());
    QPickLines.setSql(special_sql::pickLines());
    QPickLines.declareField(QStringLiteral("OrderQnty"), db::FieldType::Float);
    QPickLines.declareField(QStringLiteral("OrderDate"), db::FieldType::DateTime);
}

QString PickLists::sortGroup(const QString& storedGroup, const QString& barcode) {
    // The save sorted on the zone before the chunk was appended to it.
    QString group = storedGroup.trimmed();
    const qsizetype chunk = group.lastIndexOf(QLatin1Char('#'));
    if (chunk >= 0) {
        group.truncate(chunk);
    }
    return group + QStringLiteral("--") + barcode.trimmed();
}

PickListSet PickLists::read(const QString& orderNo) {
    PickListSet set;
    QPickLines.close();
    QPickLines.params().set(QStringLiteral("DocNo"), orderNo.trimmed());
    QPickLines.open();
    auto close = qScopeGuard([this] { QPickLines.close(); });
    if (QPickLines.isEmpty()) {
        return set;
    }
    QPickLines.first();
    set.orderNo = QPickLines[QStringLiteral("OrderNo")].asString();
    set.orderDate = QPickLines[QStringLiteral("OrderDate")].asDateTime().date();
    set.branchCode = QPickLines[QStringLiteral("BranchCode")].asString();
    set.branchName = QPickLines[QStringLiteral("BranchName")].asString();

    // The rows sorted as the save sorted them before numbering: the same table sort in Thai
    // order without regard to case; rows of one key stay in the order they were stored.
    db::MemTable sorted;
    sorted.addField(QStringLiteral("SortGroup"), db::FieldType::Text, 80);
    sorted.addField(QStringLiteral("Row"), db::FieldType::Integer);
    sorted.open();
    std::vector<PickLine> lines;
    std::vector<QString> pickingNos;
    for (QPickLines.first(); !QPickLines.eof(); QPickLines.next()) {
        PickLine line;
        line.barcode = QPickLines[QStringLiteral("BarCode")].asString().trimmed();
        line.name = QPickLines[QStringLiteral("ThaiName")].asString();
        line.unit = QPickLines[QStringLiteral("UnitName")].asString();
        line.quantity = QPickLines[QStringLiteral("OrderQnty")].asFloat();
        line.closeOrder = QPickLines[QStringLiteral("CloseOrder")].asString().trimmed();
        line.group = QPickLines[QStringLiteral("ResponsProdGroup")].asString().trimmed();
        sorted.append();
        sorted[QStringLiteral("SortGroup")].setValue(sortGroup(line.group, line.barcode));
        sorted[QStringLiteral("Row")].setValue(qint64(lines.size()));
        sorted.post();
        lines.push_back(line);
        pickingNos.push_back(QPickLines[QStringLiteral("ProductManageNo")].asString().trimmed());
    }
    sorted.sortOn(QStringLiteral("SortGroup"), false, QLocale(QLocale::Thai, QLocale::Thailand));

    std::map<QString, std::size_t> byNumber; // picking number -> its list
    PickList unassigned{PickList::Kind::Unassigned, {}, {}, {}};
    PickList noStock{PickList::Kind::NoStock, {}, {}, {}};
    for (sorted.first(); !sorted.eof(); sorted.next()) {
        const auto row = std::size_t(sorted[QStringLiteral("Row")].asInteger());
        const QString& number = pickingNos[row];
        if (number.isEmpty()) {
            (lines[row].closeOrder == QLatin1String("B") ? noStock : unassigned)
                .lines.push_back(lines[row]);
            continue;
        }
        auto [it, added] = byNumber.try_emplace(number, set.lists.size());
        if (added) {
            set.lists.push_back({PickList::Kind::Picking, number, {}, {}});
        }
        set.lists[it->second].lines.push_back(lines[row]);
    }
    for (PickList* extra : {&unassigned, &noStock}) {
        if (!extra->lines.empty()) {
            set.lists.push_back(std::move(*extra));
        }
    }
    for (PickList& list : set.lists) {
        list.group = groupsOf(list.lines);
    }
    return set;
}

} // namespace orders
