#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <exception>
#include <vector>

namespace sheet {

// The first worksheet's used range: the rectangle from the first to the last row and column
// that hold a value, as the cells' texts. Every row is as wide as the rectangle; an empty
// cell is an empty text.
struct UsedRange {
    std::vector<QStringList> rows;
    int rowCount() const { return int(rows.size()); }
    int columnCount() const { return rows.empty() ? 0 : int(rows.front().size()); }
};

// Bounds for reading files from anywhere: a file that exceeds one is refused, not read.
struct Limits {
    qint64 maxFileBytes = qint64(512) << 20;       // the file itself
    qint64 maxInflatedPerPart = qint64(256) << 20; // bytes actually inflated from one zip entry
    qint64 maxInflatedTotal = qint64(512) << 20;   // and from all entries read
    int maxEntries = 10000;                        // zip entries
    int maxRows = 1048576;
    int maxColumns = 16384;
    qint64 maxCells = 20'000'000; // cells holding a value
};

// A file that cannot be read as a spreadsheet; the message names the problem in words a
// user can act on ("not a spreadsheet file", "password-protected", ...).
class SheetError : public std::exception {
public:
    explicit SheetError(QString message) : message_(std::move(message)), utf8_(message_.toUtf8()) {}
    const QString& message() const { return message_; }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    QString message_;
    QByteArray utf8_;
};

// Reads the first worksheet's used range of an xlsx/xlsm, ods, xls or csv/txt file. The
// reader is chosen by the file's content (zip, OLE compound file, text), not its name.
UsedRange readFirstSheet(const QString& path, const Limits& limits = {});

// Cell texts as spreadsheet automation gives them: a number plain with up to 15 significant
// digits (8850999320014, 12.5, 10), a date as DD/MM/YYYY.
QString numberText(double value);
QString dateText(const QDate& date);

} // namespace sheet
