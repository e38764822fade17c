#include "orders/Quantities.h"

#include "platform/db/Query.h"

#include <QScopeGuard>

namespace orders {

qint64 roundUpToPack(db::Query& roundup, qint64 qty, double pack) {
    if (pack <= 0) {
        return qty;
    }
    roundup.close();
    roundup.params().set(QStringLiteral("Qty"), qty);
    roundup.params().set(QStringLiteral("UnitPicking"), pack);
    roundup.open();
    auto close = qScopeGuard([&roundup] { roundup.close(); });
    return roundup.isEmpty() ? 0 : roundup[QStringLiteral("RoundupQty")].asInteger();
}

} // namespace orders
