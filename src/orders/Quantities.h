#pragma once

#include <QtGlobal>

namespace db {
class Query;
}

namespace orders {

// The quantity rounded up to a whole number of picking packs by the rounding statement
// (parameters Qty, UnitPicking; column RoundupQty). A product without a pack size (0 or
// empty) keeps the quantity as typed: the server would divide by zero.
qint64 roundUpToPack(db::Query& roundup, qint64 qty, double pack);

} // namespace orders
