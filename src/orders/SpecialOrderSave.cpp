#include "orders/SpecialOrderSave.h"

#include "data/U_DM.h"
#include "orders/SpecialOrder.h"
#include "orders/SpecialOrderSql.h"
#include "platform/db/Connection.h"
#include "platform/db/Decimal.h"
#include "util/Text.h"

#include <QCollator>
#include <QLocale>
#include <QScopeGuard>
#include <map>

namespace orders {

namespace {

// A function, not a static object: these classes may be built during another file's static
// initialisation, before this file's objects exist.
QString business() {
    return QStringLiteral("DMDATA");
}
// Longer than the 10 characters a stored pick group keeps: the first row always opens a group.
QString noGroupYet() {
    return QStringLiteral("MOOXdsdplsd");
}

void onBusiness(db::Query& q, const QString& name, const db::SqlSource& sql) {
    q.setObjectName(name);
    q.setConnectionName(business());
    q.setSql(sql);
}

QLocale thai() {
    return QLocale(QLocale::Thai, QLocale::Thailand);
}

// The quantity as the row stores it: at most two decimals.
double twoDecimals(double quantity) {
    const std::optional<db::Decimal> d = db::Decimal::fromVariant(quantity);
    return d ? d->rounded(2).toDouble() : quantity;
}

QString refusedText(const QString& barcode) {
    return QStringLiteral("Barcode : ") + barcode + QChar(13) +
           QStringLiteral("ไม่สามารถ สั่งสินค้าเกินจำนวน สั่งจัดได้ !!");
}

} // namespace

SpecialOrderSave::SpecialOrderSave(SpecialOrder& order) : order_(order) {
    onBusiness(SQLInsert, QStringLiteral("SQLInsert"), special_sql::insertLine());
    onBusiness(QTranBranch, QStringLiteral("QTranBranch"), special_sql::pickRows());
    QTranBranch.setCachedUpdates(true); // never applied
    QTranBranch.declareField(QStringLiteral("OnhandDC"), db::FieldType::Float);
    QTranBranch.declareField(QStringLiteral("ResponsProdGroup"), db::FieldType::Text);
    QTranBranch.declareField(QStringLiteral("SortGroup"), db::FieldType::Text);
    onBusiness(SQLUpdateTranBranch, QStringLiteral("SQLUpdateTranBranch"),
               special_sql::pickUpdate());
    onBusiness(SQLCloseTranBranch, QStringLiteral("SQLCloseTranBranch"), special_sql::pickClose());
    onBusiness(QNumberUsed, QStringLiteral("QNumberUsed"), special_sql::numberUsed());
}

QString SpecialOrderSave::chunkText(int chunk) {
    return (QStringLiteral("00") + QString::number(chunk)).right(3);
}

int SpecialOrderSave::lineCount() const {
    return order_.QMemOrder.isActive() ? order_.QMemOrder.recordCount() : 0;
}

// ---- preparation --------------------------------------------------------------------

QStringList SpecialOrderSave::prepare(const QString& branch) {
    db::MemTable& lines = order_.QMemOrder;
    QStringList refused;
    if (!lines.isActive()) {
        return refused;
    }
    lines.first();
    lines.disableControls();
    auto resume = qScopeGuard([&lines] {
        lines.first();
        lines.enableControls();
    });
    while (!lines.eof() && !lines.isEmpty()) {
        const db::Field& barcode = lines[QStringLiteral("Barcode")];
        const db::Field& qty = lines[QStringLiteral("OrderQnty")];
        if (barcode.isNull() || barcode.asString().trimmed().isEmpty() || qty.isNull() ||
            qty.asFloat() == 0) {
            lines.deleteRecord();
        } else {
            lines.next();
        }
    }
    for (lines.first(); !lines.eof(); lines.next()) {
        if (!order_.CheckOrderQnty(branch)) {
            refused << refusedText(lines[QStringLiteral("Barcode")].asString());
        }
    }
    return refused;
}

// The checks of line entry again, on the figures read now: the stock may have gone since
// a line was entered.
QStringList SpecialOrderSave::recheck(const QString& branch) {
    db::MemTable& lines = order_.QMemOrder;
    QStringList refused;
    lines.disableControls();
    auto resume = qScopeGuard([&lines] {
        lines.first();
        lines.enableControls();
    });
    for (lines.first(); !lines.eof(); lines.next()) {
        if (lines[QStringLiteral("Negative")].asString() == QLatin1String("N")) {
            order_.readStock(
                util::upperAscii(lines[QStringLiteral("Barcode")].asString().trimmed()), branch);
            if (order_.exceedsStock()) {
                order_.clearQuantity();
                refused << QStringLiteral("มีสินค้าคงเหลือไม่พอจัดให้สาขา");
            }
        }
        if (!order_.CheckOrderQnty(branch)) {
            refused << refusedText(lines[QStringLiteral("Barcode")].asString());
        }
    }
    return refused;
}

// ---- saving -------------------------------------------------------------------------

SaveReport SpecialOrderSave::save(const SaveRequest& request, const SaveProgress& progress) {
    SaveReport outcome;
    outcome.lines = lineCount();
    if (outcome.lines == 0) {
        return outcome;
    }
    const QString branch = request.branch.trimmed();
    const bool autoRun = order_.numbersIssuedAtSaving(request.orderDate, false);
    QString number = request.typedNumber.trimmed();
    if (!autoRun && number.isEmpty()) {
        outcome.result = SaveResult::NumberMissing;
        return outcome;
    }
    // The sibling databases the statements name are reached before the unit of work.
    QTranBranch.reach();
    order_.QChkOnHand.reach();

    db::Unit unit(DM->DMdata); // the write lock from here on
    outcome.messages = recheck(request.branch);
    if (!outcome.messages.isEmpty()) {
        unit.rollback();
        outcome.result = SaveResult::LinesRefused;
        return outcome;
    }
    if (autoRun) {
        number = DM->NextDocumentNo(order_.DocCode, request.orderDate);
    } else if (numberUsed(number)) {
        unit.rollback();
        outcome.result = SaveResult::NumberTaken;
        outcome.number = number;
        return outcome;
    }
    if (progress.numbered) {
        progress.numbered(number);
    }
    insertLines(number, request.orderDate, branch);
    const std::vector<PickRow> rows = readPickRows(number, progress);
    if (int(rows.size()) != outcome.lines) {
        // Some rows would stay unpicked (a branch out of operation, a barcode no unit has).
        unit.rollback();
        outcome.result = SaveResult::CountMismatch;
        outcome.rows = int(rows.size());
        return outcome;
    }
    fillMemoryPick(rows);
    assignPicking(number, request.orderDate, request.userId, progress);
    unit.commit();
    outcome.result = SaveResult::Saved;
    outcome.number = number;
    return outcome;
}

bool SpecialOrderSave::numberUsed(const QString& number) {
    QNumberUsed.close();
    QNumberUsed.params().set(QStringLiteral("OrderNo"), number);
    QNumberUsed.open();
    auto close = qScopeGuard([this] { QNumberUsed.close(); });
    return QNumberUsed[QStringLiteral("Used")].asInteger() > 0;
}

void SpecialOrderSave::insertLines(const QString& number, const QDateTime& date,
                                   const QString& branch) {
    db::MemTable& lines = order_.QMemOrder;
    lines.disableControls();
    auto resume = qScopeGuard([&lines] {
        lines.first();
        lines.enableControls();
    });
    db::Params& p = SQLInsert.params();
    p.set(QStringLiteral("OrderNo"), number);
    p.set(QStringLiteral("OrderDate"), date);
    p.set(QStringLiteral("BranchCode"), branch);
    for (lines.first(); !lines.eof(); lines.next()) {
        p.set(QStringLiteral("ProdCode"), lines[QStringLiteral("ProdCode")].asString());
        p.set(QStringLiteral("BarCode"),
              lines[QStringLiteral("Barcode")].asString().trimmed().left(15));
        p.set(QStringLiteral("OrderQnty"),
              twoDecimals(lines[QStringLiteral("OrderQnty")].asFloat()));
        SQLInsert.execSQL();
    }
}

// The rows just inserted with their stock and pick group, one per row: a product with
// several stock rows comes back once per stock row, and the row with the most stock (on a
// tie, the first group in sort order) gives the row its group.
std::vector<SpecialOrderSave::PickRow>
SpecialOrderSave::readPickRows(const QString& number, const SaveProgress& progress) {
    QTranBranch.close();
    QTranBranch.params().set(QStringLiteral("PickOrder"), number);
    QTranBranch.open();
    auto close = qScopeGuard([this] { QTranBranch.close(); });
    QCollator collator(thai());
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::map<qint64, PickRow> byId;
    const int count = QTranBranch.recordCount();
    int i = 0;
    for (QTranBranch.first(); !QTranBranch.eof(); QTranBranch.next()) {
        ++i;
        if (progress.step) {
            progress.step(QStringLiteral("กำลังบันทึก Memory %1 / %2").arg(i).arg(count), QString());
        }
        PickRow row;
        row.id = QTranBranch[QStringLiteral("Id")].asInteger();
        row.onhand = QTranBranch[QStringLiteral("OnhandDC")].asFloat();
        row.group = QTranBranch[QStringLiteral("ResponsProdGroup")].asString();
        row.sortGroup = QTranBranch[QStringLiteral("SortGroup")].asString();
        auto [it, added] = byId.try_emplace(row.id, row);
        if (!added && (row.onhand > it->second.onhand ||
                       (row.onhand == it->second.onhand &&
                        collator.compare(row.sortGroup, it->second.sortGroup) < 0))) {
            it->second = row;
        }
    }
    std::vector<PickRow> rows;
    rows.reserve(byId.size());
    for (auto& [id, row] : byId) {
        rows.push_back(std::move(row));
    }
    return rows;
}

void SpecialOrderSave::fillMemoryPick(const std::vector<PickRow>& rows) {
    db::MemTable& pick = order_.MemoryPick;
    pick.close();
    pick.open();
    for (const PickRow& row : rows) { // in Id order: rows of one sort group stay in that order
        pick.append();
        pick[QStringLiteral("Id")].setValue(row.id);
        pick[QStringLiteral("ResponsProdGroup")].setValue(row.group);
        pick[QStringLiteral("SortGroup")].setValue(row.sortGroup);
        pick[QStringLiteral("Status")].setValue(
            db::variantToInteger(row.onhand) <= 0 ? QStringLiteral("B") : QStringLiteral("P"));
        pick.post();
    }
    pick.sortOn(QStringLiteral("SortGroup"), false, thai());
    pick.first();
}

void SpecialOrderSave::assignPicking(const QString& number, const QDateTime& date, int userId,
                                     const SaveProgress& progress) {
    db::MemTable& pick = order_.MemoryPick;
    auto close = qScopeGuard([&pick] { pick.close(); });
    QString previousGroup = noGroupYet();
    QString previousSort;
    int count = 1;
    int chunk = 1;
    QString pickingNo;
    const int rows = pick.recordCount();
    int i = 0;
    for (pick.first(); !pick.eof(); pick.next()) {
        ++i;
        const QString status = pick[QStringLiteral("Status")].asString();
        const QString group = pick[QStringLiteral("ResponsProdGroup")].asString();
        const QString sortGroup = pick[QStringLiteral("SortGroup")].asString();
        const bool picked = status == QLatin1String("P");
        if (picked) {
            if (group != previousGroup) {
                count = 1;
                chunk = 1;
                previousGroup = group;
                previousSort = sortGroup;
                pickingNo = DM->NextDocumentNo(QStringLiteral("PRODUCTMANAGE"), date);
            } else {
                if (sortGroup != previousSort) {
                    previousSort = sortGroup;
                    ++count;
                }
                if (count > GroupsPerNumber) {
                    ++chunk;
                    count = 1;
                    pickingNo = DM->NextDocumentNo(QStringLiteral("PRODUCTMANAGE"), date);
                }
            }
        }
        if (progress.step) {
            progress.step(QStringLiteral("กำลังบันทึกข้อมูล %1 / %2").arg(i).arg(rows),
                          QString::number(count) + QStringLiteral(" => ") + group +
                              QStringLiteral("#") + chunkText(chunk));
        }
        const qint64 id = pick[QStringLiteral("Id")].asInteger();
        if (picked) {
            db::Params& p = SQLUpdateTranBranch.params();
            p.set(QStringLiteral("PickNo"), number);
            p.set(QStringLiteral("UserPick"), userId);
            p.set(QStringLiteral("ResponsProdGroup"),
                  group + QStringLiteral("#") + chunkText(chunk));
            p.set(QStringLiteral("ProductManageNo"), pickingNo);
            p.set(QStringLiteral("Id"), id);
            SQLUpdateTranBranch.execSQL();
        } else {
            db::Params& p = SQLCloseTranBranch.params();
            p.set(QStringLiteral("PickNo"), number);
            p.set(QStringLiteral("UserPick"), userId);
            p.set(QStringLiteral("Status"), status);
            p.set(QStringLiteral("ResponsProdGroup"), QString());
            p.set(QStringLiteral("Id"), id);
            SQLCloseTranBranch.execSQL();
        }
    }
}

} // namespace orders
