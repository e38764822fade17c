#pragma once

#include "platform/db/Query.h"
#include "platform/db/Script.h"

#include <QDateTime>
#include <QString>

namespace orders {

// The stock a document's total is held against, as read at one moment.
struct StockCheck {
    bool fits = true;
    double total = 0;
    double available = 0;
};

enum class SaveOutcome {
    Saved,
    TakenElsewhere, // approved, passed on or cancelled by another workstation meanwhile
    StockShort,     // the stock no longer covers the total under the write lock
};

// The share order's database work, without any window: loading, filling the branch list
// from a barcode, rounding and checking quantities, saving and approving. The window calls
// it with the datasets it shows; tests and benchmarks call it directly.
class ShareOrder {
public:
    ShareOrder();
    ShareOrder(const ShareOrder&) = delete;
    ShareOrder& operator=(const ShareOrder&) = delete;

    QString DocCode = QStringLiteral("ORD-SHARE");
    QString VersionText = QStringLiteral("M22.07.22");
    bool IsNewOrder = false;
    bool CheckStock = false;

    db::Query QHd;
    db::UpdateSql UHd;
    db::Query QDt;
    db::UpdateSql UDt;
    db::Query QGetBarcode;
    db::Query QLoadN;
    db::Query QChkOnHand;
    db::Query QRoundup;
    db::Query QStillOpen;
    db::Script SQLInsertTranBranch;

    // Loads the order of that number (a fresh header when none matches) and its rows.
    // barcodeShown is the barcode on screen before loading, which decides CheckStock.
    void load(const QString& number, const QString& barcodeShown);
    // A stored order that may still be changed: neither approved, passed on nor cancelled.
    bool isOpenStored() const;
    bool isCancelled() const;

    // Looks the barcode up; when it names a small unit, fills the header's product and one
    // row per branch in operation. False when there is no such unit.
    bool fillFromBarcode(const QString& typed);

    // The stock available at the distribution centre, read now; 0 without a row.
    double availableStock(const QString& barcode);
    // The typed quantity rounded up to the picking multiple; as typed without a pack size.
    qint64 roundUp(qint64 typed, double pack);
    // The sum of the rows' quantities, the user's row kept current.
    double total();
    // The total against the available stock (read only when CheckStock and withStock).
    StockCheck check(bool withStock, const QString& barcode);

    // Fills every branch's quantity with what the min/max rule suggests, rounded up to the
    // picking multiple and shared out in whole packs when the stock at the distribution
    // centre is short. No change notices are sent for the values. Returns the new total and
    // the stock read.
    StockCheck suggest(const QString& barcode);

    // Stores the header and rows and approves the order, all or nothing, under the write
    // lock. approveOnly: the Approved button's variant (no header write, no empty-to-zero).
    // The caller has asked the question and, for approveOnly, removed the zero rows.
    SaveOutcome save(bool approveOnly, StockCheck* shortage = nullptr);

private:
    bool stillOpen();
    QString userCode();
};

} // namespace orders
