#include "orders/ShareOrderSql.h"

namespace share_sql {

db::SqlSource header() {
    return db::SqlSource(
        "Select S.Id, S.Delflag, S.OrderNO, S.OrderDate, S.ProdCode, S.BarCode, S.UserCode,\n"
        "       P.ThaiName, U.UnitName, S.Approved, S.UpToTranBranch, S.Version, S.LocalIP, "
        "P.UnitPicking, P.BuyingCode BuyingDecisionCode\n"
        "From OrderShereHd S\n"
        "Inner Join ProductUnits U On (U.Barcode = S.Barcode)\n"
        "Inner Join Product P On (P.Id = U.Product)\n"
        "Where S.OrderNO = :DocNo");
}

db::UpdateSql headerUpdate() {
    db::UpdateSql u;
    // The update finds the row only while it is still neither approved nor passed on, so a
    // workstation holding a stale copy can never reopen an order another one approved.
    u.modifySql = db::SqlSource("update OrderShereHd\n"
                                "set\n"
                                "  Delflag = :Delflag,\n"
                                "  OrderNO = :OrderNO,\n"
                                "  OrderDate = :OrderDate,\n"
                                "  ProdCode = :ProdCode,\n"
                                "  BarCode = :BarCode,\n"
                                "  UserCode = :UserCode,\n"
                                "  Approved = :Approved,\n"
                                "  UpToTranBranch = :UpToTranBranch,\n"
                                "  Version = :Version,\n"
                                "  LocalIP = :LocalIP\n"
                                "where\n"
                                "  Id = :OLD_Id\n"
                                "  And (Approved = 'N') And (UpToTranBranch = 'N')");
    u.insertSql = db::SqlSource(
        "insert into OrderShereHd\n"
        "  (Delflag, OrderNO, OrderDate, ProdCode, BarCode, UserCode, Approved,\n"
        "   UpToTranBranch, Version, LocalIP)\n"
        "values\n"
        "  (:Delflag, :OrderNO, :OrderDate, :ProdCode, :BarCode, :UserCode, :Approved,\n"
        "   :UpToTranBranch, :Version, :LocalIP)");
    return u;
}

db::SqlSource detail() {
    return db::SqlSource(
        "Select Dt.Id, Dt.OrderShereHd, Dt.BranchCode, Dt.OrderQnty, B.BranchName,\n"
        "       Coalesce((Select Sum(OrderQnty - SendQnty) From TranBranch T Where T.CloseOrder "
        "Not In ('Y','W','T','C','X') And (T.BranchCode = B.BranchCode) And (T.BarCode = "
        ":BarCode)),0)BackOrder,\n"
        "       CloseOrder, (Case When CloseOrder IN ('N','B') Then 'รอรอบการจัดสินค้า'\n"
        "                     When CloseOrder = 'A' Then 'อยู่ระหว่าง Pack สินค้า'\n"
        "             When CloseOrder In ('O') Then 'สินค้าหมด'\n"
        "             When CloseOrder In ('P') Then 'อยู่ระหว่างการจัด'\n"
        "             When CloseOrder In ('X','C') Then 'ยกเลิก'\n"
        "             When CloseOrder In ('W','T','Y') Then 'จัดสินค้าครบแแล้ว'\n"
        "             Else ''\n"
        "      End) Status,\n"
        "      Coalesce(M.ReOrderQnty,0)ReOrderQnty, Coalesce(M.MinQnty,0)MinQnty, "
        "Coalesce(M.MaxQnty,0)MaxQnty,\n"
        "      Dt.OrderQnty OldOrderQnty, Dt.Remark,\n"
        "      (Coalesce((Select Sum(QtyOut - QtyIN)\n"
        "             From NvkTransfer.Dbo.TranAllBranchHd H\n"
        "             Inner Join NvkTransfer.Dbo.TranAllBranchDt D On (D.TranAllBranchhd = H.Id)\n"
        "             Where (H.Delflag = 'N') And (H.ToBranch = Dt.BranchCode) And (H.TranINOK = "
        "'N')\n"
        "                   And (D.BarCode = :BarCode)),0)) ProductRoute,\n"
        "      Coalesce(T.ProductManageNo,'')ProductManageNo, Coalesce(Ob.OnhandBranch,0) "
        "OnhandBranch\n"
        "From OrderShereDt Dt\n"
        "Inner Join QRV_CONFIG_Nvk.Dbo.Branch B On (B.BranchCode = Dt.BranchCode)\n"
        "Left JOin TranBranch T On (T.OrderType = 'S') And (T.OrderBranchId = Dt.Id)\n"
        "Left Join ProductManageBranch M On (M.BarCode = :BarCode) And (M.BranchCode = "
        "Dt.BranchCode)\n"
        "Left Join (Select Ob.BranchCode, Ob.BarCode, Sum(Ob.Onhand) OnhandBranch\n"
        "           From NVKBranch.dbo.ProductOnhandAllBranch Ob\n"
        "           Where Ob.Barcode = :BarCode\n"
        "           Group by Ob.BranchCode, Ob.BarCode\n"
        "           ) As Ob On (Ob.BranchCode = B.BranchCode)\n"
        "Where Dt.OrderShereHd = :IdHd And (B.StopDatabase = 'N')\n"
        "Order By B.BranchNo");
}

db::UpdateSql detailUpdate() {
    db::UpdateSql u;
    u.modifySql = db::SqlSource("update OrderShereDt\n"
                                "set\n"
                                "  OrderShereHd = :OrderShereHd,\n"
                                "  BranchCode = :BranchCode,\n"
                                "  OrderQnty = :OrderQnty,\n"
                                "  Remark = :Remark,\n"
                                "  MaxStock = :MaxQnty,\n"
                                "  MinStock = :MinQnty,\n"
                                "  BackOrder = :BackOrder,\n"
                                "  ProductRoute = :ProductRoute\n"
                                "where\n"
                                "  Id = :OLD_Id");
    u.insertSql = db::SqlSource(
        "insert into OrderShereDt\n"
        "  (OrderShereHd, BranchCode, OrderQnty, Remark, MaxStock, MinStock, BackOrder,\n"
        "ProductRoute)\n"
        "values\n"
        "  (:OrderShereHd, :BranchCode, :OrderQnty, :Remark, :MaxQnty, :MinQnty,\n"
        ":BackOrder, :ProductRoute)");
    u.deleteSql = db::SqlSource("delete from OrderShereDt\n"
                                "where\n"
                                "  Id = :OLD_Id");
    return u;
}

db::SqlSource product() {
    return db::SqlSource("Select U.Barcode, P.ThaiName, U.UnitName, P.Code,\n"
                         "       'N' LockBarcodeSale,\n"
                         "       'Y' OrderAllocate, P.UnitPicking, P.BuyingCode "
                         "BuyingDecisionCode\n"
                         "From ProductUnits U\n"
                         "Inner Join Product P On (P.Id = U.Product)\n"
                         "Where (U.Barcode = :Barcode)  And (U.SmallUnitFlag = 'Y')");
}

db::SqlSource branchList() {
    return db::SqlSource(
        "Select *\n"
        "From(\n"
        " Select B.BranchNo, B.BranchCode, B.BranchName,\n"
        "         Coalesce((Select Sum(OrderQnty - SendQnty) From TranBranch T\n"
        "                    Where T.CloseOrder Not In ('Y','W','T','C','X')\n"
        "                            And (T.BranchCode = B.BranchCode)\n"
        "                           And (T.BarCode = :Barcode)),0)BackOrder,\n"
        "         Coalesce(M.ReOrderQnty,0)ReOrderQnty, Coalesce(M.MinQnty,0)MinQnty, "
        "Coalesce(M.MaxQnty,0)MaxQnty,\n"
        "         Coalesce(ProductRoute,0)ProductRoute , Coalesce(Ob.OnhandBranch,0) "
        "OnhandBranch\n"
        "    From QRV_CONFIG_Nvk.Dbo.Branch B\n"
        "    Left Join (Select M.BranchCode, M.BarCode, M.ReOrderQnty, M.MinQnty, M.MaxQnty\n"
        "               From ProductManageBranch M\n"
        "               Where M.Barcode = :Barcode\n"
        "               )As M On (M.BranchCode = B.BranchCode)\n"
        "    Left Join (Select H.ToBranch BranchCode, Sum(QtyOut - QtyIN) ProductRoute\n"
        "               From NvkTransfer.Dbo.TranAllBranchHd H\n"
        "               Inner Join NvkTransfer.Dbo.TranAllBranchDt D On (D.TranAllBranchhd = "
        "H.Id)\n"
        "               Inner Join Nvk.dbo.Product P On (P.Code = D.ProdCode)\n"
        "               Where (H.Delflag = 'N') And (P.Id = (select Product From ProductUnits "
        "Where BarCode = :Barcode))\n"
        "                        And (H.TranINOK = 'N')\n"
        "               Group by H.ToBranch\n"
        "               Having Sum(QtyOut - QtyIN) > 0\n"
        "               ) T On (T.BranchCode = B.BranchCode)\n"
        "   Left Join (Select Ob.BranchCode, Ob.ProdCode, Sum(Ob.Onhand) OnhandBranch\n"
        "           From NVKBranch.dbo.ProductOnhandAllBranch Ob\n"
        "           Inner Join Nvk.dbo.Product P On (P.Code = Ob.ProdCode)\n"
        "           Where (P.Id = (select Product From ProductUnits Where BarCode = :Barcode))\n"
        "           Group by Ob.BranchCode, Ob.ProdCode\n"
        "           ) As Ob On (Ob.BranchCode = B.BranchCode)\n"
        "    Where (B.StopDataBase = 'N')  And (B.BranchCode <> 'DC001')\n"
        ") As M\n"
        "Order By BranchNo");
}

db::SqlSource availableStock() {
    return db::SqlSource(
        "Select Sum(Onhand)Onhand\n"
        "From(\n"
        "Select (O.Onhand) Onhand\n"
        "From ProductOnhandSend O\n"
        "Inner Join Product P On (P.Code = O.ProdCode)\n"
        "Where (P.Id = (select Product From ProductUnits Where BarCode = :GetBarcode))\n"
        "Union All\n"
        "Select -(T.OrderQnty-T.SendQnty)Onhand\n"
        "From TranBranch T\n"
        "Inner Join Product P On (P.Code = T.ProdCode)\n"
        "Where CloseOrder Not In ('Y','W','X','C','T')\n"
        "     And (P.Id = (select Product From ProductUnits Where BarCode = :GetBarcode))\n"
        ") As M\n"
        "Having Sum(Onhand) > 0");
}

namespace {

const char* const kApprove = "Update OrderShereHd\n"
                             "Set Approved = 'Y', UserApproced = :UserApproced\n"
                             "Where OrderNo = :GetDocNo\n";
const char* const kInsertHead =
    "Insert Into TranBranch(OrderBranchId, OrderNo, OrderDate, ProdCode, BarCode, OrderQnty, "
    "BranchCode, CloseOrder, OrderType, Transfer, SendQnty, UpdateBranch, TransendQnty, "
    "Locations, CreateDate)\n";
const char* const kInsertSelect =
    " Select D.Id, H.OrderNO, H.OrderDate, H.ProdCode, H.BarCode, D.OrderQnty, D.BranchCode, "
    "'N', 'S', 'N', 0, 'N', 0, '' , GetDate()\n"
    " From OrderShereDt D\n"
    " Inner Join OrderShereHd H On (H.Id = D.OrderShereHd)\n"
    " Where (Approved = 'Y') And (OrderQnty > 0) And (UpToTranBranch = 'N') And (D.BranchCode "
    "<> 'DC001') And (H.OrderNo = :GetDocNo)\n"
    // A cancelled order never becomes transfer rows.
    "   And (Coalesce(H.Delflag, '') <> 'Y')\n";
const char* const kPassedOn = "Update OrderShereHd\n"
                              "Set UpToTranBranch  = 'Y'\n"
                              "Where OrderNo = :GetDocNo";

} // namespace

db::SqlSource approvalScript() {
    const QString approve = QString::fromUtf8(kApprove);
    const QString head = QString::fromUtf8(kInsertHead);
    const QString select = QString::fromUtf8(kInsertSelect);
    const QString passedOn = QString::fromUtf8(kPassedOn);
    db::SqlSource s(approve + "/\n" + head + "(" + select + ")\n/\n" + passedOn);
    // The embedded server takes the select of an insert without parentheses.
    s.variant(db::BackendKind::Sqlite, approve + "/\n" + head + select + "/\n" + passedOn);
    return s;
}

db::SqlSource headerStillOpen() {
    return db::SqlSource("Select Id From OrderShereHd\n"
                         "Where (Id = :Id) And (Approved = 'N') And (UpToTranBranch = 'N')\n"
                         "  And (Coalesce(Delflag, '') <> 'Y')");
}

} // namespace share_sql
