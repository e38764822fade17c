#pragma once

#include "platform/db/MemTable.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace sheet {
struct UsedRange;
}

namespace orders {

class SpecialOrder;

// What the import reports while it runs: status lines for the list below the grid, and a
// call now and then (at most every 50 ms) to let the window repaint.
struct ImportFeedback {
    std::function<void(const QString& line)> status;
    std::function<void()> repaint;
};

// Order lines from a spreadsheet's first worksheet, without any window: the header check,
// the staging table and the lines, each filled as a typed barcode is.
class SpecialOrderImport {
public:
    explicit SpecialOrderImport(SpecialOrder& order);
    SpecialOrderImport(const SpecialOrderImport&) = delete;
    SpecialOrderImport& operator=(const SpecialOrderImport&) = delete;

    // The staged rows: BarCode, ThaiName, UOM, Order_Qty, texts of up to 100 characters.
    db::MemTable QTempImport;

    // Row 1 names BarCode, ThaiName, UOM and Order_Qty in this order (trimmed, any case).
    static bool headerFits(const sheet::UsedRange& range);
    // Replaces the staged rows by the data rows whose first cell is not empty.
    void stage(const sheet::UsedRange& range);
    // Removes every line of the order. The running line number goes on.
    void clearLines();
    // Appends a line per staged row, filled from its barcode, its quantity rounded up to the
    // picking multiple and held against the stock; rows that fill no line are reported and
    // dropped. A quantity that is not a number (or too large) stops the import with a
    // sheet::SheetError naming the row's text; the lines made so far stay.
    void fillLines(const QString& branch, const ImportFeedback& feedback);

    // The staged rows the last import did not take: no line, or a line of quantity 0, each
    // with its four texts and why.
    struct Rejected {
        QStringList cells;
        QString reason;
    };
    const std::vector<Rejected>& rejected() const { return rejected_; }
    // Writes them as csv (UTF-8 with a byte-order mark, so office software reads the Thai
    // right): the four columns and a Reason column. Throws sheet::SheetError when the file
    // cannot be written.
    void writeRejected(const QString& path) const;

private:
    void reject(const QString& reason);
    double quantityOf(const QString& text) const;

    SpecialOrder& order_;
    std::vector<Rejected> rejected_;
};

} // namespace orders
