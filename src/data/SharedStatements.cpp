#include "data/SharedStatements.h"

namespace contract {

db::SqlSource roundupStatement() {
    db::SqlSource s(
        QStringLiteral("Declare @Qty Int\n"
                       "Declare @UnitPicking Decimal(20,2)\n"
                       "Set @Qty = :Qty\n"
                       "Set @UnitPicking = :UnitPicking\n"
                       "select (CEILING(@Qty / @UnitPicking) * @UnitPicking) RoundupQty"));
    // No variables on the embedded server: the conversions to Int and Decimal(20,2) and the
    // decimal division and product are spelt out as its functions.
    s.variant(db::BackendKind::Sqlite,
              QStringLiteral("select DecMul(CEILING(DecDiv(Cast(:Qty As Integer), "
                             "DecRound(:UnitPicking, 2))), DecRound(:UnitPicking, 2)) RoundupQty"));
    // PostgreSQL has no batch variables either; its numeric is the decimal arithmetic.
    s.variant(db::BackendKind::Pgsql,
              QStringLiteral("select (Ceiling(Cast(:Qty As integer) / Cast(:UnitPicking As "
                             "numeric(20,2))) * Cast(:UnitPicking As numeric(20,2))) RoundupQty"));
    return s;
}

} // namespace contract
