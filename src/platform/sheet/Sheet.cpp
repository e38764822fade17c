#include "platform/sheet/Sheet.h"

#include "platform/sheet/Readers.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

namespace sheet {

QString numberText(double value) {
    if (!std::isfinite(value)) {
        return QString();
    }
    if (value == std::trunc(value) && std::fabs(value) < 1e15) {
        return QString::number(qint64(value));
    }
    QString text = QString::number(value, 'g', 15);
    if (text.contains(QLatin1Char('e'))) {
        // Plain digits, as a cell shows them, for what 'g' writes with an exponent.
        const int decimals = std::max(0, 14 - int(std::floor(std::log10(std::fabs(value)))));
        text = QString::number(value, 'f', std::min(decimals, 30));
        if (text.contains(QLatin1Char('.'))) {
            while (text.endsWith(QLatin1Char('0'))) {
                text.chop(1);
            }
            if (text.endsWith(QLatin1Char('.'))) {
                text.chop(1);
            }
        }
    }
    return text;
}

QString dateText(const QDate& date) {
    return date.toString(QStringLiteral("dd/MM/yyyy"));
}

UsedRange readFirstSheet(const QString& path, const Limits& limits) {
    QFile file(path);
    if (!QFileInfo::exists(path)) {
        throw SheetError(QStringLiteral("The file %1 does not exist.").arg(path));
    }
    if (!file.open(QIODevice::ReadOnly)) {
        throw SheetError(
            QStringLiteral("The file %1 cannot be opened: %2").arg(path, file.errorString()));
    }
    if (file.size() > limits.maxFileBytes) {
        throw SheetError(QStringLiteral("The file %1 is too large to be read (%2 MB at most).")
                             .arg(path)
                             .arg(limits.maxFileBytes >> 20));
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        throw SheetError(
            QStringLiteral("The file %1 cannot be read: %2").arg(path, file.errorString()));
    }
    if (bytes.startsWith("PK\x03\x04") || bytes.startsWith("PK\x05\x06")) {
        return detail::readZipWorkbook(bytes, limits);
    }
    if (bytes.startsWith(QByteArray::fromHex("D0CF11E0A1B11AE1"))) {
        return detail::readCompoundFile(path, bytes, limits);
    }
    return detail::readDelimitedText(bytes, limits);
}

namespace detail {

void RangeBuilder::set(int row, int column, const QString& text) {
    if (text.isEmpty()) {
        return;
    }
    if (row < 0 || column < 0 || row >= limits_.maxRows || column >= limits_.maxColumns) {
        throw SheetError(QStringLiteral("The worksheet has a cell beyond %1 rows or %2 columns.")
                             .arg(limits_.maxRows)
                             .arg(limits_.maxColumns));
    }
    if (qint64(cells_.size()) >= limits_.maxCells) {
        throw SheetError(QStringLiteral("The worksheet has more than %1 cells with a value.")
                             .arg(limits_.maxCells));
    }
    cells_.push_back({row, column, text});
    top_ = top_ < 0 ? row : std::min(top_, row);
    left_ = left_ < 0 ? column : std::min(left_, column);
    bottom_ = std::max(bottom_, row);
    right_ = std::max(right_, column);
}

UsedRange RangeBuilder::take() {
    UsedRange range;
    if (cells_.empty()) {
        return range;
    }
    const qint64 width = right_ - left_ + 1;
    const qint64 height = bottom_ - top_ + 1;
    // A used range of far more empty cells than values is what a stray cell far away makes;
    // the rectangle is bounded like the cells are.
    if (width * height > std::max<qint64>(limits_.maxCells, 1)) {
        throw SheetError(QStringLiteral(
            "The worksheet's used range is too large: a value lies far from the others."));
    }
    range.rows.assign(std::size_t(height), QStringList());
    for (QStringList& r : range.rows) {
        r.resize(width);
    }
    for (Cell& c : cells_) {
        range.rows[std::size_t(c.row - top_)][c.column - left_] = std::move(c.text);
    }
    cells_.clear();
    return range;
}

} // namespace detail

} // namespace sheet
