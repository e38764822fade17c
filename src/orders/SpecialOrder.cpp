#include "orders/SpecialOrder.h"

#include "data/SharedStatements.h"
#include "data/U_DM.h"
#include "orders/Quantities.h"
#include "orders/SpecialOrderSql.h"
#include "platform/db/Connection.h"
#include "util/Text.h"
#include "util/Workstation.h"

#include <QScopeGuard>

namespace orders {

namespace {

void onConnection(db::Query& q, const QString& name, const QString& connection,
                  const db::SqlSource& sql) {
    q.setObjectName(name);
    q.setConnectionName(connection);
    q.setSql(sql);
}

// A function, not a static object: these classes may be built during another file's static
// initialisation, before this file's objects exist.
QString business() {
    return QStringLiteral("DMDATA");
}

QString upperTrimmed(const QString& text) {
    return util::upperAscii(text.trimmed());
}

} // namespace

SpecialOrder::SpecialOrder() {
    defineLines();
    QMemOrder.setIndexField(QStringLiteral("Barcode"));
    QObject::connect(&QMemOrder, &db::Dataset::afterOpen, &QMemOrder, [this] {
        for (const char* name : {"OnHand", "QntyBackOrder", "QntyOrderOK", "OrderQnty"}) {
            if (db::Field* f = QMemOrder.findField(QLatin1String(name))) {
                f->displayFormat = QStringLiteral("#,##0.##");
                f->editFormat = QStringLiteral("###0.##");
            }
        }
    });

    MemoryPick.setObjectName(QStringLiteral("MemoryPick"));
    MemoryPick.addField(QStringLiteral("Id"), db::FieldType::Integer);
    MemoryPick.addField(QStringLiteral("ResponsProdGroup"), db::FieldType::Text, 10);
    MemoryPick.addField(QStringLiteral("Status"), db::FieldType::Text, 1);
    MemoryPick.addField(QStringLiteral("SortGroup"), db::FieldType::Text, 50);

    onConnection(QGetBranch, QStringLiteral("QGetBranch"), QStringLiteral("DmCfg"),
                 special_sql::branch());
    onConnection(QLoad, QStringLiteral("QLoad"), business(), special_sql::load());
    for (const char* f : {"OnHand", "QntyBackOrder", "QntyOrderOK", "OnhandBranch", "OrderQnty",
                          "MinQnty", "MaxQnty", "UnitPicking"}) {
        QLoad.declareField(QLatin1String(f), db::FieldType::Float);
    }
    QLoad.declareField(QStringLiteral("DelF"), db::FieldType::Integer);
    QLoad.declareField(QStringLiteral("Status"), db::FieldType::Text);
    onConnection(QGetBarcode, QStringLiteral("QGetBarcode"), business(), special_sql::product());
    QGetBarcode.setCachedUpdates(true); // never applied
    onConnection(QChkOnHand, QStringLiteral("QChkOnHand"), business(), special_sql::stock());
    QChkOnHand.setCachedUpdates(true); // never applied
    for (const char* f : {"OnHand", "QntyBackOrder", "QntyOrderOK", "OnhandBranch"}) {
        QChkOnHand.declareField(QLatin1String(f), db::FieldType::Float);
    }
    onConnection(QRoundup, QStringLiteral("QRoundup"), business(), contract::roundupStatement());
    onConnection(QMovedOn, QStringLiteral("QMovedOn"), business(), special_sql::movedOnCount());
    onConnection(SQLCancel, QStringLiteral("SQLCancel"), business(), special_sql::cancel());
}

void SpecialOrder::defineLines() {
    using db::FieldType;
    QMemOrder.setObjectName(QStringLiteral("QMemOrder"));
    // Barcodes as wide as the stored column: a barcode cut short would be saved as another.
    QMemOrder.addField(QStringLiteral("Barcode"), FieldType::Text, 30);
    QMemOrder.addField(QStringLiteral("ThaiName"), FieldType::Text, 255);
    QMemOrder.addField(QStringLiteral("UnitName"), FieldType::Text, 60);
    QMemOrder.addField(QStringLiteral("OnHand"), FieldType::Float);
    QMemOrder.addField(QStringLiteral("OnhandBranch"), FieldType::Float);
    QMemOrder.addField(QStringLiteral("QntyBackOrder"), FieldType::Float);
    QMemOrder.addField(QStringLiteral("QntyOrderOK"), FieldType::Float);
    QMemOrder.addField(QStringLiteral("OrderQnty"), FieldType::Float);
    QMemOrder.addField(QStringLiteral("OrderAllocate"), FieldType::Text, 1);
    QMemOrder.addField(QStringLiteral("ProdCode"), FieldType::Text, 30);
    QMemOrder.addField(QStringLiteral("BarcodeOld"), FieldType::Text, 30);
    QMemOrder.addField(QStringLiteral("MinQnty"), FieldType::Integer);
    QMemOrder.addField(QStringLiteral("MaxQnty"), FieldType::Integer);
    QMemOrder.addField(QStringLiteral("Status"), FieldType::Text, 30);
    QMemOrder.addField(QStringLiteral("UnitPicking"), FieldType::Integer);
    QMemOrder.addField(QStringLiteral("RecNo"), FieldType::Integer);
    QMemOrder.addField(QStringLiteral("Negative"), FieldType::Text, 1);
}

void SpecialOrder::reset() {
    LineNo = 0;
    QGetBranch.close();
    QGetBarcode.close();
    QMemOrder.close();
}

// ---- loading ------------------------------------------------------------------------

void SpecialOrder::load(const QString& number) {
    QLoad.close();
    QLoad.params().set(QStringLiteral("DocNo"), number.trimmed());
    QLoad.open();
    auto closeLoad = qScopeGuard([this] { QLoad.close(); });
    IsNewOrder = QLoad.isEmpty();
    QMemOrder.close();
    QMemOrder.open();
    LineNo = 0; // the table is empty: its lines are numbered afresh
    orderNo_.clear();
    orderDate_ = {};
    branchCode_.clear();
    movedOn_ = 0;
    if (IsNewOrder) {
        return;
    }
    QLoad.first();
    orderNo_ = QLoad[QStringLiteral("OrderNo")].asString();
    orderDate_ = QLoad[QStringLiteral("OrderDate")].asDateTime().date().startOfDay();
    branchCode_ = QLoad[QStringLiteral("BranchCode")].asString();
    movedOn_ = QLoad[QStringLiteral("DelF")].asInteger();
    QMemOrder.disableControls();
    auto enable = qScopeGuard([this] { QMemOrder.enableControls(); });
    for (; !QLoad.eof(); QLoad.next()) {
        appendLoadedLine();
    }
    QMemOrder.append(); // the empty line to go on from
    QMemOrder.post();
    QMemOrder.first();
}

void SpecialOrder::appendLoadedLine() {
    QMemOrder.append();
    QMemOrder[QStringLiteral("RecNo")].setValue(++LineNo);
    QMemOrder[QStringLiteral("ProdCode")].setValue(QLoad[QStringLiteral("ProdCode")].value());
    QMemOrder[QStringLiteral("Barcode")].setValue(QLoad[QStringLiteral("Barcode")].value());
    QMemOrder[QStringLiteral("BarcodeOld")].setValue(QLoad[QStringLiteral("Barcode")].value());
    for (const char* f : {"ThaiName", "UnitName", "Status", "Negative"}) {
        QMemOrder[QLatin1String(f)].setValue(QLoad[QLatin1String(f)].value());
    }
    for (const char* f : {"OnHand", "OnhandBranch", "QntyBackOrder", "QntyOrderOK", "OrderQnty"}) {
        QMemOrder[QLatin1String(f)].setValue(QLoad[QLatin1String(f)].asFloat());
    }
    for (const char* f : {"MinQnty", "MaxQnty", "UnitPicking"}) {
        QMemOrder[QLatin1String(f)].setValue(QLoad[QLatin1String(f)].asInteger());
    }
    QMemOrder.post();
}

bool SpecialOrder::numbersIssuedAtSaving(const QDateTime& date, bool reread) {
    db::Query& numbering = DM->QDocumentNo;
    if (reread) {
        numbering.close();
    }
    if (!numbering.isActive()) {
        numbering.params().set(QStringLiteral("GetCode"), DocCode);
        numbering.params().set(QStringLiteral("GetYear"), YearOf(date));
        numbering.open();
    }
    return !numbering.isEmpty() &&
           numbering[QStringLiteral("AutoRun")].asString() == QLatin1String("Y");
}

// ---- branch -------------------------------------------------------------------------

void SpecialOrder::showBranch(const QString& code) {
    QGetBranch.close();
    QGetBranch.params().set(QStringLiteral("Branch"), code);
    QGetBranch.open();
}

BranchCheck SpecialOrder::checkBranch(const QString& typed) {
    const QString code = upperTrimmed(typed);
    if (code.isEmpty()) {
        return BranchCheck::Empty;
    }
    showBranch(code);
    if (QGetBranch.isEmpty()) {
        return BranchCheck::Unknown;
    }
    const db::Field* stop = QGetBranch.findField(QStringLiteral("StopDatabase"));
    if (stop && stop->asString().trimmed() != QLatin1String("N")) {
        return BranchCheck::OutOfOperation;
    }
    return BranchCheck::Known;
}

// ---- barcode lines ------------------------------------------------------------------

BarcodeEntry SpecialOrder::enterBarcode(const QString& typed, const QString& branch) {
    QGetBarcode.close();
    QGetBarcode.params().set(QStringLiteral("Barcode"), upperTrimmed(typed));
    QGetBarcode.params().set(QStringLiteral("BranchCode"), upperTrimmed(branch));
    QGetBarcode.open();
    auto closeProduct = qScopeGuard([this] { QGetBarcode.close(); });

    QMemOrder.edit();
    if (QGetBarcode.isEmpty()) {
        for (const char* f :
             {"ProdCode", "Barcode", "BarcodeOld", "ThaiName", "UnitName", "OrderAllocate"}) {
            QMemOrder[QLatin1String(f)].clear();
        }
        for (const char* f : {"OnHand", "QntyBackOrder", "QntyOrderOK", "OrderQnty"}) {
            QMemOrder[QLatin1String(f)].setValue(0);
        }
        QMemOrder.post();
        return BarcodeEntry::NotFound;
    }

    const QString found = QGetBarcode[QStringLiteral("Barcode")].asString();
    // The line gives up its barcode first, so the search below does not meet the line itself.
    QMemOrder[QStringLiteral("Barcode")].clear();
    QMemOrder.post();
    const db::Dataset::Bookmark edited = QMemOrder.bookmark();
    if (QMemOrder.findIndexed(found)) {
        return BarcodeEntry::OnOtherLine;
    }
    QMemOrder.gotoBookmark(edited);
    QMemOrder.edit();
    if (QMemOrder[QStringLiteral("BarcodeOld")].asString() == found) {
        QMemOrder[QStringLiteral("Barcode")].setValue(found);
        QMemOrder.post();
        return BarcodeEntry::Unchanged;
    }

    if (QMemOrder[QStringLiteral("RecNo")].asInteger() < 1) {
        QMemOrder[QStringLiteral("RecNo")].setValue(++LineNo);
    }
    QMemOrder[QStringLiteral("Barcode")].setValue(found);
    QMemOrder[QStringLiteral("BarcodeOld")].setValue(found);
    for (const char* f : {"ProdCode", "Negative", "ThaiName", "UnitName", "OrderAllocate"}) {
        QMemOrder[QLatin1String(f)].setValue(QGetBarcode[QLatin1String(f)].value());
    }
    for (const char* f : {"UnitPicking", "MinQnty", "MaxQnty"}) {
        QMemOrder[QLatin1String(f)].setValue(QGetBarcode[QLatin1String(f)].asInteger());
    }
    readStock(upperTrimmed(found), branch);
    QMemOrder[QStringLiteral("Status")].clear();
    QMemOrder.post();
    return BarcodeEntry::Filled;
}

void SpecialOrder::readStock(const QString& barcode, const QString& branch) {
    QChkOnHand.close();
    QChkOnHand.params().set(QStringLiteral("Barcode"), barcode);
    QChkOnHand.params().set(QStringLiteral("BranchCode"), branch);
    QChkOnHand.open();
    auto closeStock = qScopeGuard([this] { QChkOnHand.close(); });
    QMemOrder.edit();
    for (const char* f : {"OnHand", "OnhandBranch", "QntyBackOrder", "QntyOrderOK"}) {
        QMemOrder[QLatin1String(f)].setValue(QChkOnHand[QLatin1String(f)].asFloat());
    }
}

// ---- quantities ---------------------------------------------------------------------

void SpecialOrder::roundQuantityUp() {
    const qint64 typed = QMemOrder[QStringLiteral("OrderQnty")].asInteger();
    const qint64 rounded =
        roundUpToPack(QRoundup, typed, QMemOrder[QStringLiteral("UnitPicking")].asFloat());
    QMemOrder.edit();
    QMemOrder[QStringLiteral("OrderQnty")].setValue(rounded);
}

bool SpecialOrder::exceedsStock() const {
    return QMemOrder[QStringLiteral("OnHand")].asInteger() <
               QMemOrder[QStringLiteral("OrderQnty")].asInteger() &&
           QMemOrder[QStringLiteral("Negative")].asString() == QLatin1String("N");
}

void SpecialOrder::clearQuantity() {
    QMemOrder.edit();
    QMemOrder[QStringLiteral("OrderQnty")].setValue(0);
}

bool SpecialOrder::CheckOrderQnty(const QString& branch) {
    if (!QMemOrder.isActive() ||
        QMemOrder[QStringLiteral("OrderAllocate")].asString() != QLatin1String("Y")) {
        return true;
    }
    readStock(QMemOrder[QStringLiteral("Barcode")].asString(), branch);
    const double orderable = QMemOrder[QStringLiteral("QntyOrderOK")].asFloat();
    if (orderable >= QMemOrder[QStringLiteral("OrderQnty")].asFloat()) {
        return true;
    }
    QMemOrder[QStringLiteral("OrderQnty")].setValue(orderable);
    return false;
}

// ---- cancelling ---------------------------------------------------------------------

CancelOutcome SpecialOrder::cancel() {
    const QString number = orderNo_;
    CancelOutcome outcome = CancelOutcome::MovedOn;
    {
        db::Unit unit(DM->DMdata); // the write lock from here on
        QMovedOn.close();
        QMovedOn.params().set(QStringLiteral("DocNo"), number);
        QMovedOn.open();
        const qint64 movedOn = QMovedOn[QStringLiteral("MovedOn")].asInteger();
        QMovedOn.close();
        if (movedOn == 0) {
            SQLCancel.params().set(QStringLiteral("DocNo"), number);
            if (SQLCancel.execSQL() > 0) {
                outcome = CancelOutcome::Cancelled;
            }
        }
        if (outcome == CancelOutcome::Cancelled) {
            unit.commit();
        } else {
            unit.rollback();
        }
    }
    LineNo = 0;
    load(number);
    return outcome;
}

} // namespace orders
