#pragma once

#include "platform/db/Backend.h"
#include "platform/db/Query.h"

// The share order's statements, with the variants kept for backends that cannot run a
// text as written.
namespace share_sql {

db::SqlSource header();          // QHd, parameter DocNo
db::UpdateSql headerUpdate();    // UHd
db::SqlSource detail();          // QDt, parameters BarCode, IdHd
db::UpdateSql detailUpdate();    // UDt
db::SqlSource product();         // QGetBarcode, parameter Barcode
db::SqlSource branchList();      // QLoadN, parameter Barcode
db::SqlSource availableStock();  // QChkOnHand, parameter GetBarcode
db::SqlSource approvalScript();  // SQLInsertTranBranch, parameters UserApproced, GetDocNo
db::SqlSource headerStillOpen(); // parameter Id: one row while the order may be changed

} // namespace share_sql
