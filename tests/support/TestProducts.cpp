#include "support/TestProducts.h"

#include "platform/db/Query.h"

namespace testing_support {

namespace {

void exec(const QString& sql, const QVariantList& values) {
    db::Query q(QStringLiteral("DMDATA"), db::SqlSource(sql));
    for (int i = 0; i < values.size(); ++i) {
        q.params().set(QStringLiteral("p%1").arg(i), values[i]);
    }
    q.execSQL();
}

} // namespace

QString addProduct(int n, const std::vector<ZoneStock>& stock, const QString& negative,
                   double pack) {
    const int id = 900000 + n;
    const QString code = QStringLiteral("T%1").arg(id);
    const QString barcode = QStringLiteral("99%1").arg(id, 11, 10, QLatin1Char('0'));
    for (const QString& db : {QStringLiteral("Nvk.dbo."), QString()}) {
        exec(QStringLiteral("insert into %1Product (Id, Code, ThaiName, UnitPicking, Negative) "
                            "values (:p0, :p1, :p2, :p3, :p4)")
                 .arg(db),
             {id, code, QStringLiteral("สินค้าทดสอบ %1").arg(n), pack, negative});
        exec(QStringLiteral("insert into %1ProductUnits (Id, Product, Barcode, UnitName, Fraction, "
                            "SmallUnitFlag) values (:p0, :p0, :p1, 'ชิ้น', 1, 'Y')")
                 .arg(db),
             {id, barcode});
    }
    for (const ZoneStock& s : stock) {
        exec(QStringLiteral("insert into ProductOnhandSend (ProdCode, WhCode, WhZone, Onhand) "
                            "values (:p0, 'DC01', :p1, :p2)"),
             {code, s.zone, s.onhand});
    }
    return barcode;
}

} // namespace testing_support
