#pragma once

// The readers behind readFirstSheet, one per file family. Each gets the file's bytes and
// returns the used range of its first worksheet or throws SheetError.
#include "platform/sheet/Sheet.h"

#include <QByteArray>

namespace sheet::detail {

UsedRange readZipWorkbook(const QByteArray& bytes, const Limits& limits); // xlsx, xlsm, ods
UsedRange readCompoundFile(const QString& path, const QByteArray& bytes,
                           const Limits& limits);                           // xls; encrypted xlsx
UsedRange readDelimitedText(const QByteArray& bytes, const Limits& limits); // csv, txt

// Collects cells in any order and returns the used range; enforces the row, column and cell
// limits as cells arrive, so a declared size never allocates anything.
class RangeBuilder {
public:
    explicit RangeBuilder(const Limits& limits) : limits_(limits) {}
    // row and column count from 0; an empty text is not a value.
    void set(int row, int column, const QString& text);
    UsedRange take();

private:
    struct Cell {
        int row;
        int column;
        QString text;
    };
    const Limits& limits_;
    std::vector<Cell> cells_;
    int top_ = -1, left_ = -1, bottom_ = -1, right_ = -1;
};

} // namespace sheet::detail
