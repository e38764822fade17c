#pragma once

#include "platform/db/MemTable.h"
#include "platform/db/Query.h"

#include <QDateTime>
#include <QString>

namespace orders {

// What leaving a line's barcode cell did to the line.
enum class BarcodeEntry {
    NotFound,    // no smallest unit has it: the product fields were emptied
    OnOtherLine, // another line holds it: the cursor is there, the edited line has no barcode
    Unchanged,   // the line's confirmed barcode: nothing refilled
    Filled,      // the line was filled for the product
};

enum class BranchCheck {
    Empty,          // nothing typed: nothing to check
    Unknown,        // not in the branch table
    OutOfOperation, // in the table but no longer in operation: its rows would never be picked
    Known,
};

enum class CancelOutcome {
    Cancelled,
    MovedOn, // picking moved a row of the order on meanwhile: nothing changed
};

// The special order's database work, without any window: the line table, the branch, the
// loading of a stored order, the lines filled from barcodes, the quantity rules and the
// cancelling of a stored order. The window calls it on its current line; the save, the
// import, tests and benchmarks call it directly.
class SpecialOrder {
public:
    SpecialOrder();
    SpecialOrder(const SpecialOrder&) = delete;
    SpecialOrder& operator=(const SpecialOrder&) = delete;

    QString DocCode = QStringLiteral("PICKSPECIA");
    bool IsNewOrder = false;
    int LineNo = 0; // the running line number

    db::MemTable QMemOrder;
    db::MemTable MemoryPick;
    db::Query QGetBranch;
    db::Query QLoad;
    db::Query QGetBarcode;
    db::Query QChkOnHand;
    db::Query QRoundup;
    db::Query QMovedOn;
    db::Query SQLCancel;

    // The document on screen is discarded: queries closed, line table empty, numbering
    // from 1.
    void reset();

    // Loads the stored order of that number (trimmed) into the line table, with one empty
    // line after its lines; without one, an empty line table for a new order.
    void load(const QString& number);
    // Of the last load: the stored order's number, date (day only) and branch, and how many
    // of its rows picking has moved on (cancelling needs none).
    const QString& orderNo() const { return orderNo_; }
    const QDateTime& orderDate() const { return orderDate_; }
    const QString& branchCode() const { return branchCode_; }
    qint64 movedOnRows() const { return movedOn_; }

    // Whether order numbers are issued at saving (AutoRun "Y" for DocCode in the date's
    // year). reread reads the rule again; otherwise an open rule is reused.
    bool numbersIssuedAtSaving(const QDateTime& date, bool reread);

    // Looks the typed branch code up (trimmed, upper case) and keeps QGetBranch open on it.
    BranchCheck checkBranch(const QString& typed);
    // Reopens QGetBranch on a code as it is (an empty code shows no branch).
    void showBranch(const QString& code);

    // The barcode cell of the current line was left with this text; branch as typed.
    BarcodeEntry enterBarcode(const QString& typed, const QString& branch);
    // Fills the current line's stock figures for its barcode (QChkOnHand).
    void readStock(const QString& barcode, const QString& branch);

    // The current line's quantity rounded up to its picking multiple, as a whole number.
    void roundQuantityUp();
    // The current line asks for more than the distribution centre holds of a product whose
    // stock may not go below zero.
    bool exceedsStock() const;
    void clearQuantity();
    // True when the current line may be ordered with its quantity; otherwise the quantity
    // is cut to what may still be ordered.
    bool CheckOrderQnty(const QString& branch);

    // Cancels the loaded stored order, all or nothing, when picking has moved none of its
    // rows on; reloads it either way, so the line table shows the statuses now stored.
    CancelOutcome cancel();

private:
    void defineLines();
    void appendLoadedLine();

    QString orderNo_;
    QDateTime orderDate_;
    QString branchCode_;
    qint64 movedOn_ = 0;
};

} // namespace orders
