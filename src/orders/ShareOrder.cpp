#include "orders/ShareOrder.h"

#include "data/Dm_Config.h"
#include "data/SharedStatements.h"
#include "data/U_DM.h"
#include "orders/Quantities.h"
#include "orders/ShareOrderSql.h"
#include "orders/Suggest.h"
#include "platform/db/Connection.h"
#include "util/Text.h"
#include "util/Workstation.h"

#include <QScopeGuard>
#include <map>
#include <vector>

namespace orders {

namespace {

void onBusiness(db::Query& q, const QString& name, const db::SqlSource& sql) {
    q.setObjectName(name);
    q.setConnectionName(QStringLiteral("DMDATA"));
    q.setSql(sql);
}

QDateTime serverDate() {
    return DM->ServerDateTime().date().startOfDay();
}

bool isYes(const db::Field& f) {
    return f.asString() == QLatin1String("Y");
}

} // namespace

ShareOrder::ShareOrder() {
    onBusiness(QHd, QStringLiteral("QHd"), share_sql::header());
    QHd.declareField(QStringLiteral("UnitPicking"), db::FieldType::Float);
    QHd.setCachedUpdates(true);
    UHd = share_sql::headerUpdate();
    QHd.setUpdateObject(&UHd);

    onBusiness(QDt, QStringLiteral("QDt"), share_sql::detail());
    for (const char* f : {"OrderQnty", "BackOrder", "ReOrderQnty", "MinQnty", "MaxQnty",
                          "OldOrderQnty", "ProductRoute", "OnhandBranch"}) {
        QDt.declareField(QLatin1String(f), db::FieldType::Float);
    }
    for (const char* f : {"Status", "Remark", "ProductManageNo", "BranchName", "CloseOrder"}) {
        QDt.declareField(QLatin1String(f), db::FieldType::Text);
    }
    QDt.declareField(QStringLiteral("OrderShereHd"), db::FieldType::Integer);
    QDt.setCachedUpdates(true);
    UDt = share_sql::detailUpdate();
    QDt.setUpdateObject(&UDt);

    onBusiness(QGetBarcode, QStringLiteral("QGetBarcode"), share_sql::product());
    onBusiness(QLoadN, QStringLiteral("QLoadN"), share_sql::branchList());
    onBusiness(QChkOnHand, QStringLiteral("QChkOnHand"), share_sql::availableStock());
    onBusiness(QRoundup, QStringLiteral("QRoundup"), contract::roundupStatement());
    onBusiness(QStillOpen, QStringLiteral("QStillOpen"), share_sql::headerStillOpen());
    SQLInsertTranBranch.setObjectName(QStringLiteral("SQLInsertTranBranch"));
    SQLInsertTranBranch.setConnectionName(QStringLiteral("DMDATA"));
    SQLInsertTranBranch.setSql(share_sql::approvalScript());
}

// ---- loading ------------------------------------------------------------------------

void ShareOrder::load(const QString& number, const QString& barcodeShown) {
    QHd.close();
    QHd.params().set(QStringLiteral("DocNo"), number);
    QHd.open();

    QGetBarcode.close();
    QGetBarcode.params().set(QStringLiteral("Barcode"), util::upperAscii(barcodeShown.trimmed()));
    QGetBarcode.open();
    CheckStock = !QGetBarcode.isEmpty() && isYes(QGetBarcode[QStringLiteral("OrderAllocate")]);
    QGetBarcode.close();

    IsNewOrder = QHd.isEmpty();
    QHd.edit(); // appends the new header when there is none
    if (IsNewOrder) {
        QHd[QStringLiteral("Delflag")].setValue(QStringLiteral("N"));
        QHd[QStringLiteral("OrderDate")].setValue(serverDate());
        QHd[QStringLiteral("Approved")].setValue(QStringLiteral("N"));
        QHd[QStringLiteral("UpToTranBranch")].setValue(QStringLiteral("N"));
    }

    QDt.close();
    QDt.params().set(QStringLiteral("IdHd"), QHd[QStringLiteral("Id")].asInteger());
    QDt.params().set(QStringLiteral("BarCode"), QHd[QStringLiteral("BarCode")].asString());
    QDt.open();
    QDt.first();
}

bool ShareOrder::isCancelled() const {
    return QHd.isActive() && !IsNewOrder && isYes(QHd.fieldByName(QStringLiteral("Delflag")));
}

bool ShareOrder::isOpenStored() const {
    return QHd.isActive() && !IsNewOrder &&
           QHd.fieldByName(QStringLiteral("Approved")).asString() == QLatin1String("N") &&
           QHd.fieldByName(QStringLiteral("UpToTranBranch")).asString() == QLatin1String("N") &&
           !isCancelled();
}

// ---- barcode and branch list --------------------------------------------------------

bool ShareOrder::fillFromBarcode(const QString& typed) {
    QGetBarcode.close();
    QGetBarcode.params().set(QStringLiteral("Barcode"), util::upperAscii(typed));
    QGetBarcode.open();
    auto closeProduct = qScopeGuard([this] { QGetBarcode.close(); });
    if (QGetBarcode.isEmpty()) {
        QHd.edit();
        for (const char* f : {"ProdCode", "BarCode", "ThaiName", "UnitName"}) {
            QHd[QLatin1String(f)].clear();
        }
        return false;
    }
    CheckStock = isYes(QGetBarcode[QStringLiteral("OrderAllocate")]);
    QHd.edit();
    QHd[QStringLiteral("ProdCode")].setValue(QGetBarcode[QStringLiteral("Code")].asString());
    for (const char* f : {"Barcode", "ThaiName", "UnitName", "BuyingDecisionCode"}) {
        QHd[QLatin1String(f)].setValue(QGetBarcode[QLatin1String(f)].asString());
    }
    QHd[QStringLiteral("UnitPicking")].setValue(
        QGetBarcode[QStringLiteral("UnitPicking")].asInteger());

    QLoadN.close();
    QLoadN.params().set(QStringLiteral("Barcode"),
                        QGetBarcode[QStringLiteral("Barcode")].asString());
    QLoadN.open();
    QDt.close();
    QDt.params().set(QStringLiteral("IdHd"), 0);
    QDt.open();
    QDt.disableControls();
    for (QLoadN.first(); !QLoadN.eof(); QLoadN.next()) {
        QDt.append();
        QDt[QStringLiteral("BranchCode")].setValue(QLoadN[QStringLiteral("BranchCode")].asString());
        QDt[QStringLiteral("BranchName")].setValue(QLoadN[QStringLiteral("BranchName")].asString());
        for (const char* f :
             {"BackOrder", "ReOrderQnty", "MinQnty", "MaxQnty", "ProductRoute", "OnhandBranch"}) {
            QDt[QLatin1String(f)].setValue(QLoadN[QLatin1String(f)].asInteger());
        }
        QDt[QStringLiteral("Status")].setValue(QString());
        QDt[QStringLiteral("OrderQnty")].setValue(0);
        QDt[QStringLiteral("OldOrderQnty")].setValue(0);
        QDt.post();
    }
    QDt.first();
    QDt.enableControls();
    QLoadN.close();
    return true;
}

// ---- quantities ---------------------------------------------------------------------

double ShareOrder::availableStock(const QString& barcode) {
    QChkOnHand.close();
    QChkOnHand.params().set(QStringLiteral("GetBarcode"), barcode);
    QChkOnHand.open();
    const double available =
        QChkOnHand.isEmpty() ? 0 : QChkOnHand[QStringLiteral("OnHand")].asFloat();
    QChkOnHand.close();
    return available;
}

qint64 ShareOrder::roundUp(qint64 typed, double pack) {
    return roundUpToPack(QRoundup, typed, pack);
}

double ShareOrder::total() {
    QDt.disableControls();
    const db::Dataset::Bookmark mark = QDt.bookmark();
    double sum = 0;
    for (QDt.first(); !QDt.eof(); QDt.next()) {
        sum += QDt[QStringLiteral("OrderQnty")].asFloat();
    }
    if (QDt.bookmarkValid(mark)) {
        QDt.gotoBookmark(mark);
    }
    QDt.enableControls();
    return sum;
}

StockCheck ShareOrder::check(bool withStock, const QString& barcode) {
    StockCheck c;
    c.total = total();
    if (CheckStock && withStock) {
        c.available = availableStock(barcode);
        c.fits = c.total <= c.available;
    }
    return c;
}

StockCheck ShareOrder::suggest(const QString& barcode) {
    const double pack = QHd[QStringLiteral("UnitPicking")].asFloat();
    std::map<qint64, qint64> rounded; // one rounding statement per distinct need
    std::vector<double> quantities;
    QDt.disableControls(); // no back-order notice for suggested values
    auto resume = qScopeGuard([this] {
        QDt.first();
        QDt.enableControls();
    });
    for (QDt.first(); !QDt.eof(); QDt.next()) {
        BranchFigures f;
        f.onhandBranch = QDt[QStringLiteral("OnhandBranch")].asFloat();
        f.productRoute = QDt[QStringLiteral("ProductRoute")].asFloat();
        f.backOrder = QDt[QStringLiteral("BackOrder")].asFloat();
        f.minQnty = QDt[QStringLiteral("MinQnty")].asFloat();
        f.maxQnty = QDt[QStringLiteral("MaxQnty")].asFloat();
        const qint64 need = needOf(f);
        if (need > 0 && !rounded.count(need)) {
            rounded[need] = roundUp(need, pack);
        }
        quantities.push_back(need > 0 ? double(rounded[need]) : 0);
    }
    StockCheck c;
    c.available = availableStock(barcode);
    const std::vector<double> shares = prorate(quantities, pack, c.available);
    std::size_t i = 0;
    for (QDt.first(); !QDt.eof(); QDt.next(), ++i) {
        QDt.edit();
        QDt[QStringLiteral("OrderQnty")].setValue(shares[i]);
        QDt.post();
        c.total += shares[i];
    }
    c.fits = c.total <= c.available;
    return c;
}

// ---- saving and approval ------------------------------------------------------------

QString ShareOrder::userCode() {
    db::Query& user = DmConfig->QUser;
    user.close();
    user.params().set(QStringLiteral("uid"), DM->CommandLine.value(2).toInt());
    user.open();
    const QString code = user.isEmpty() ? QString() : user[QStringLiteral("Code")].asString();
    user.close();
    return code;
}

bool ShareOrder::stillOpen() {
    QStillOpen.close();
    QStillOpen.params().set(QStringLiteral("Id"), QHd[QStringLiteral("Id")].asInteger());
    QStillOpen.open();
    const bool open = !QStillOpen.isEmpty();
    QStillOpen.close();
    return open;
}

SaveOutcome ShareOrder::save(bool approveOnly, StockCheck* shortage) {
    // The header as it was, to put back when the save does not go through after the
    // stored header was read again.
    std::vector<std::pair<QString, QVariant>> before;
    for (const auto& f : QHd.fields()) {
        before.emplace_back(f->name(), f->value());
    }
    bool headerReread = false;
    auto putBack = qScopeGuard([&] {
        QDt.restoreDeleted(); // rows without a quantity that an approval took off
        if (!headerReread) {
            return;
        }
        // Nothing was stored: the unsaved header again, still a new order.
        QHd.close();
        QHd.params().set(QStringLiteral("DocNo"), QString());
        QHd.open();
        QHd.edit();
        for (const auto& [name, value] : before) {
            if (db::Field* f = QHd.findField(name)) {
                f->setValue(value);
            }
        }
    });

    db::Unit unit(DM->DMdata); // the write lock from here on
    if (!IsNewOrder && !stillOpen()) {
        unit.rollback();
        return SaveOutcome::TakenElsewhere;
    }
    // Checked again under the lock: another workstation may have taken the stock since.
    const StockCheck stock = check(true, QHd[QStringLiteral("BarCode")].asString().trimmed());
    if (!stock.fits) {
        if (shortage) {
            *shortage = stock;
        }
        unit.rollback();
        return SaveOutcome::StockShort;
    }

    QHd.edit();
    if (IsNewOrder && !QDt.isEmpty()) {
        const QString number =
            DM->NextDocumentNo(DocCode, QHd[QStringLiteral("OrderDate")].asDateTime());
        QHd[QStringLiteral("UserCode")].setValue(userCode());
        QHd[QStringLiteral("Delflag")].setValue(QStringLiteral("N"));
        QHd[QStringLiteral("Version")].setValue(VersionText);
        QHd[QStringLiteral("LocalIP")].setValue(GetLocalIP());
        QHd[QStringLiteral("OrderNO")].setValue(number);
        QHd.applyUpdates();
        headerReread = true;
        QHd.close();
        QHd.params().set(QStringLiteral("DocNo"), number);
        QHd.open();
    }
    const qint64 headerId = QHd[QStringLiteral("Id")].asInteger();
    for (QDt.first(); !QDt.eof(); QDt.next()) {
        QDt.edit();
        if (!approveOnly && QDt[QStringLiteral("OrderQnty")].isNull()) {
            QDt[QStringLiteral("OrderQnty")].setValue(0);
        }
        QDt[QStringLiteral("OrderShereHd")].setValue(headerId);
        QDt.post();
    }
    QDt.applyUpdates();
    if (!IsNewOrder && !approveOnly) {
        const QString code = userCode();
        QHd.edit();
        QHd[QStringLiteral("UserCode")].setValue(code);
        QHd.applyUpdates();
    }
    SQLInsertTranBranch.params().set(QStringLiteral("GetDocNo"),
                                     QHd[QStringLiteral("OrderNO")].asString());
    SQLInsertTranBranch.params().set(QStringLiteral("UserApproced"), DmConfig->UserId);
    SQLInsertTranBranch.execute();
    unit.commit();
    putBack.dismiss();
    return SaveOutcome::Saved;
}

} // namespace orders
