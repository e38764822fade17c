#include "orders/PickListPrinter.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLocale>
#include <QPagedPaintDevice>
#include <QPainter>
#include <array>
#include <iterator>

namespace {

using orders::PickLine;
using orders::PickList;
using orders::PickListSet;

// Columns as parts of the printable width: line, barcode, name, unit, quantity, tick.
constexpr double kColumns[] = {0.06, 0.20, 0.42, 0.10, 0.12, 0.10};
constexpr int kColumnCount = int(std::size(kColumns));

QString quantityText(double quantity) {
    // Whole numbers without decimals, others with at most two, as the window shows them.
    QLocale c(QLocale::C);
    c.setNumberOptions(QLocale::DefaultNumberOptions);
    QString text = c.toString(quantity, 'f', 2);
    while (text.contains(QLatin1Char('.')) &&
           (text.endsWith(QLatin1Char('0')) || text.endsWith(QLatin1Char('.')))) {
        text.chop(1);
    }
    return text;
}

// One pass over the pages, the painter held open across them.
class Layout {
public:
    Layout(QPagedPaintDevice& device, QPainter& painter)
        : device_(device), painter_(painter), width_(device.width()), height_(device.height()) {
        const QString family = PickListPrinter::fontFamily();
        body_ = QFont(family, 11);
        heading_ = QFont(family, 11, QFont::Bold);
        title_ = QFont(family, 15, QFont::Bold);
        rowHeight_ = QFontMetricsF(body_, &device_).height() * 1.6;
    }

    void list(const PickListSet& set, const PickList& list, bool first) {
        int page = 1;
        if (!first) {
            device_.newPage();
        }
        double y = heading(set, list, page);
        int number = 0;
        for (const PickLine& line : list.lines) {
            if (y + rowHeight_ > height_ - rowHeight_) { // the last row stays for the count
                device_.newPage();
                y = heading(set, list, ++page);
            }
            row(y,
                {QString::number(++number), line.barcode, line.name, line.unit,
                 quantityText(line.quantity), QString()},
                false);
            y += rowHeight_;
        }
        painter_.setFont(body_);
        painter_.drawText(QRectF(0, y, width_, rowHeight_), Qt::AlignLeft | Qt::AlignVCenter,
                          QStringLiteral("รวม %1 รายการ").arg(list.lines.size()));
    }

private:
    // The heading of each page of a list; returns where its rows start.
    double heading(const PickListSet& set, const PickList& list, int page) {
        double y = 0;
        painter_.setFont(title_);
        const double titleHeight = QFontMetricsF(title_, &device_).height() * 1.3;
        painter_.drawText(QRectF(0, y, width_, titleHeight), Qt::AlignLeft | Qt::AlignVCenter,
                          PickListPrinter::listTitle(list));
        painter_.setFont(body_);
        painter_.drawText(QRectF(0, y, width_, titleHeight), Qt::AlignRight | Qt::AlignVCenter,
                          page > 1 ? QStringLiteral("หน้า %1 (ต่อ)").arg(page)
                                   : QStringLiteral("หน้า %1").arg(page));
        y += titleHeight;
        const QString date = set.orderDate.toString(QStringLiteral("dd/MM/yyyy"));
        const QString lines[] = {
            QStringLiteral("ใบสั่งพิเศษเลขที่ %1    วันที่ %2").arg(set.orderNo, date),
            QStringLiteral("สาขา %1 %2").arg(set.branchCode, set.branchName).trimmed(),
            QStringLiteral("กลุ่มจัด %1    เลขที่ใบจัด %2")
                .arg(list.group.isEmpty() ? QStringLiteral("-") : list.group,
                     list.pickingNo.isEmpty() ? QStringLiteral("-") : list.pickingNo),
        };
        for (const QString& text : lines) {
            painter_.drawText(QRectF(0, y, width_, rowHeight_), Qt::AlignLeft | Qt::AlignVCenter,
                              text);
            y += rowHeight_;
        }
        y += rowHeight_ / 2;
        row(y,
            {QStringLiteral("ลำดับ"), QStringLiteral("บาร์โค้ด"), QStringLiteral("ชื่อสินค้า"),
             QStringLiteral("หน่วย"), QStringLiteral("จำนวน"), QStringLiteral("จัดแล้ว")},
            true);
        return y + rowHeight_;
    }

    void row(double y, const std::array<QString, kColumnCount>& cells, bool isHeading) {
        painter_.setFont(isHeading ? heading_ : body_);
        const QFontMetricsF metrics(painter_.font(), &device_);
        const double pad = metrics.averageCharWidth() / 2;
        double x = 0;
        for (int i = 0; i < kColumnCount; ++i) {
            const double w = width_ * kColumns[i];
            const QRectF cell(x, y, w, rowHeight_);
            painter_.drawRect(cell);
            const bool number = !isHeading && (i == 0 || i == 4);
            const QRectF inner = cell.adjusted(pad, 0, -pad, 0);
            painter_.drawText(inner, (number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
                              metrics.elidedText(cells[i], Qt::ElideRight, inner.width()));
            x += w;
        }
    }

    QPagedPaintDevice& device_;
    QPainter& painter_;
    double width_;
    double height_;
    QFont body_;
    QFont heading_;
    QFont title_;
    double rowHeight_ = 0;
};

} // namespace

QString PickListPrinter::fontFamily() {
    const QStringList installed = QFontDatabase::families();
    for (const char* family : {"Garuda", "Loma", "Norasi", "Kinnari", "Sawasdee"}) {
        if (installed.contains(QLatin1String(family))) {
            return QLatin1String(family);
        }
    }
    // None of them: fontconfig finds a substitute with Thai glyphs when one exists.
    return QGuiApplication::font().family();
}

QString PickListPrinter::listTitle(const orders::PickList& list) {
    switch (list.kind) {
    case PickList::Kind::Picking:
        return QStringLiteral("ใบจัดสินค้า %1").arg(list.pickingNo);
    case PickList::Kind::Unassigned:
        return QStringLiteral("รายการที่ยังไม่ได้จัดกลุ่ม");
    case PickList::Kind::NoStock:
        return QStringLiteral("รายการสินค้าไม่มีสต็อก (B)");
    }
    return QString();
}

bool PickListPrinter::print(const orders::PickListSet& set, QPagedPaintDevice& device) {
    QPainter painter(&device);
    if (!painter.isActive()) {
        return false; // the device could not start: a file that cannot be written
    }
    painter.setPen(QPen(Qt::black, 0));
    Layout layout(device, painter);
    bool first = true;
    for (const orders::PickList& list : set.lists) {
        layout.list(set, list, first);
        first = false;
    }
    return painter.end();
}
