#pragma once

#include "platform/db/Backend.h"

// The special order's statements, with the variants kept for backends that cannot run a
// text as written.
namespace special_sql {

db::SqlSource branch();       // QGetBranch on DmCfg, parameter Branch
db::SqlSource load();         // QLoad, parameter DocNo
db::SqlSource product();      // QGetBarcode, parameters Barcode, BranchCode
db::SqlSource stock();        // QChkOnHand, parameters BranchCode, Barcode
db::SqlSource movedOnCount(); // parameter DocNo: rows of the order picking has moved on
db::SqlSource cancel();       // parameter DocNo

} // namespace special_sql
