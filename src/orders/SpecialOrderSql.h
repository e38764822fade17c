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

// Saving: one insert per line, the rows read back with stock and pick group, their updates.
db::SqlSource
insertLine();             // SQLInsert: OrderNo, OrderDate, BranchCode, ProdCode, BarCode, OrderQnty
db::SqlSource pickRows(); // QTranBranch, parameter PickOrder
db::SqlSource
pickUpdate(); // SQLUpdateTranBranch: PickNo, UserPick, ResponsProdGroup, ProductManageNo, Id
db::SqlSource pickClose();  // SQLCloseTranBranch: PickNo, UserPick, ResponsProdGroup, Status, Id
db::SqlSource numberUsed(); // parameter OrderNo: rows stored under a number typed by hand

// Printing: the stored rows of an order with product, unit and branch names, parameter DocNo.
db::SqlSource pickLines();

} // namespace special_sql
