#include "orders/SpecialOrderImport.h"

#include "orders/SpecialOrder.h"
#include "platform/sheet/Sheet.h"
#include "util/Text.h"

#include <QElapsedTimer>
#include <QSaveFile>
#include <QScopeGuard>
#include <array>
#include <cmath>
#include <limits>

namespace orders {

namespace {

// The header names in their columns; functions, not static objects (see SpecialOrder.cpp).
std::array<QString, 4> headerNames() {
    return {QStringLiteral("BarCode"), QStringLiteral("ThaiName"), QStringLiteral("UOM"),
            QStringLiteral("Order_Qty")};
}

QString cell(const sheet::UsedRange& range, int row, int column) {
    if (row >= range.rowCount() || column >= range.columnCount()) {
        return QString();
    }
    return range.rows[std::size_t(row)][column];
}

} // namespace

SpecialOrderImport::SpecialOrderImport(SpecialOrder& order) : order_(order) {
    QTempImport.setObjectName(QStringLiteral("QTempImport"));
    for (const QString& name : headerNames()) {
        QTempImport.addField(name, db::FieldType::Text, 100);
    }
}

bool SpecialOrderImport::headerFits(const sheet::UsedRange& range) {
    const std::array<QString, 4> names = headerNames();
    for (int c = 0; c < 4; ++c) {
        // A range narrower than four columns reads as empty cells: a wrong header.
        if (util::upperAscii(cell(range, 0, c).trimmed()) != util::upperAscii(names[c])) {
            return false;
        }
    }
    return true;
}

void SpecialOrderImport::stage(const sheet::UsedRange& range) {
    rejected_.clear();
    QTempImport.close();
    QTempImport.open();
    QTempImport.disableControls();
    auto resume = qScopeGuard([this] {
        QTempImport.first();
        QTempImport.enableControls();
    });
    // Columns by their header names, trimmed: the check passed them with blanks around.
    std::array<db::Field*, 4> columns{};
    for (int c = 0; c < 4; ++c) {
        columns[c] = &QTempImport.fieldByName(cell(range, 0, c).trimmed());
    }
    for (int row = 1; row < range.rowCount(); ++row) {
        if (cell(range, row, 0).trimmed().isEmpty()) {
            continue;
        }
        QTempImport.append();
        for (int c = 0; c < 4; ++c) {
            columns[c]->setValue(cell(range, row, c));
        }
        QTempImport.post();
    }
}

void SpecialOrderImport::clearLines() {
    db::MemTable& lines = order_.QMemOrder;
    lines.close();
    lines.open();
}

double SpecialOrderImport::quantityOf(const QString& text) const {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value)) {
        throw sheet::SheetError(
            QStringLiteral("'%1' is not a valid floating point value").arg(text));
    }
    // The rounding statement takes the quantity as the server's int.
    if (std::fabs(value) > double(std::numeric_limits<qint32>::max())) {
        throw sheet::SheetError(QStringLiteral("'%1' is too large for a quantity").arg(text));
    }
    return value;
}

void SpecialOrderImport::fillLines(const QString& branch, const ImportFeedback& feedback) {
    db::MemTable& lines = order_.QMemOrder;
    auto status = [&feedback](const QString& line) {
        if (feedback.status) {
            feedback.status(line);
        }
    };
    QElapsedTimer sinceRepaint;
    sinceRepaint.start();
    lines.disableControls();
    QTempImport.disableControls();
    auto resume = qScopeGuard([&] {
        QTempImport.first();
        QTempImport.enableControls();
        if (!lines.isEmpty()) {
            lines.first();
        }
        lines.enableControls();
    });
    for (QTempImport.first(); !QTempImport.eof(); QTempImport.next()) {
        const QString barcode = QTempImport[QStringLiteral("BarCode")].asString().trimmed();
        lines.append();
        lines.post();
        const db::Dataset::Bookmark appended = lines.bookmark();
        const BarcodeEntry entry = order_.enterBarcode(barcode, branch);
        if (entry == BarcodeEntry::Filled || entry == BarcodeEntry::Unchanged) {
            double quantity = 0;
            try {
                quantity = quantityOf(QTempImport[QStringLiteral("Order_Qty")].asString());
            } catch (const sheet::SheetError& e) {
                lines.deleteRecord(); // the row that stops the import makes no line
                reject(e.message());
                throw;
            }
            lines.edit();
            lines[QStringLiteral("OrderQnty")].setValue(quantity);
            order_.roundQuantityUp();
            const std::size_t rejectedBefore = rejected_.size();
            // Unlike typed entry, whatever the product's Negative flag says.
            if (lines[QStringLiteral("OnHand")].asInteger() <
                lines[QStringLiteral("OrderQnty")].asInteger()) {
                status(QStringLiteral(" BarCode :") + barcode +
                       QStringLiteral(" มีสินค้าคงเหลือไม่พอจัดให้สาขา "));
                order_.clearQuantity();
                reject(QStringLiteral("มีสินค้าคงเหลือไม่พอจัดให้สาขา"));
            }
            if (!order_.CheckOrderQnty(branch)) {
                status(QStringLiteral(" BarCode :") + barcode +
                       QStringLiteral(" ไม่สามารถ สั่งสินค้าเกินจำนวน สั่งจัดได้ !!"));
                order_.clearQuantity();
                reject(QStringLiteral("ไม่สามารถ สั่งสินค้าเกินจำนวน สั่งจัดได้"));
            }
            if (rejected_.size() == rejectedBefore &&
                lines[QStringLiteral("OrderQnty")].asFloat() == 0) {
                reject(QStringLiteral("จำนวนเป็น 0")); // a line the save will drop
            }
            lines.post();
        } else {
            status(QStringLiteral("ไม่พบ Barcode : ") + barcode);
            reject(entry == BarcodeEntry::OnOtherLine ? QStringLiteral("Barcode ซ้ำกับรายการก่อนหน้า")
                                                      : QStringLiteral("ไม่พบ Barcode"));
            // The line appended for this row, wherever the cursor went.
            lines.gotoBookmark(appended);
            lines.deleteRecord();
        }
        if (feedback.repaint && sinceRepaint.elapsed() >= 50) {
            lines.enableControls(); // the grid shows the lines so far
            feedback.repaint();
            lines.disableControls();
            sinceRepaint.restart();
        }
    }
}

void SpecialOrderImport::reject(const QString& reason) {
    QStringList cells;
    for (const QString& name : headerNames()) {
        cells << QTempImport[name].asString();
    }
    rejected_.push_back({cells, reason});
}

namespace {

QString csvField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'))) {
        return text;
    }
    return QLatin1Char('"') + QString(text).replace(QLatin1String("\""), QLatin1String("\"\"")) +
           QLatin1Char('"');
}

} // namespace

void SpecialOrderImport::writeRejected(const QString& path) const {
    QStringList header;
    for (const QString& name : headerNames()) {
        header << name;
    }
    header << QStringLiteral("Reason");
    QByteArray out = "\xEF\xBB\xBF";
    auto line = [&out](const QStringList& fields) {
        QStringList quoted;
        for (const QString& f : fields) {
            quoted << csvField(f);
        }
        out += quoted.join(QLatin1Char(',')).toUtf8() + "\r\n";
    };
    line(header);
    for (const Rejected& r : rejected_) {
        line(QStringList(r.cells) << r.reason);
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(out) != out.size() || !file.commit()) {
        throw sheet::SheetError(
            QStringLiteral("The file %1 cannot be written: %2").arg(path, file.errorString()));
    }
}

} // namespace orders
