#pragma once

#include "platform/db/Backend.h"

// Statements that more than one document runs, with the variants kept for backends that
// cannot run the text as written.
namespace contract {

// Rounds a quantity up to a whole number of picking packs (parameters Qty, UnitPicking;
// result RoundupQty). The pack size counts with two decimals and the quotient is exact.
db::SqlSource roundupStatement();

} // namespace contract
