#include "orders/SpecialOrderSql.h"

namespace special_sql {

db::SqlSource branch() {
    return db::SqlSource("Select *\n"
                         "From Branch\n"
                         "Where BranchCode = :Branch");
}

db::SqlSource load() {
    return db::SqlSource(
        "Select T.OrderNo, T.OrderDate, T.BranchCode,\n"
        "       T.ProdCode, T.Barcode, P.Negative, T.OrderQnty,\n"
        "       T.CloseOrder, T.OrderType, T.Transfer, T.SendQnty,\n"
        "       T.UpdateBranch, T.TransendQnty, T.Locations,\n"
        "       T.PickNO, T.PickDate, T.ResponsProdGroup,\n"
        "       P.ThaiName, U.UnitName, P.UnitPicking,\n"
        "       Coalesce(Sum(Coalesce(W.OnHand, 0)), 0) OnHand,\n"
        "       Coalesce(Sum(B.BackOrder), 0) QntyBackOrder,\n"
        "       Coalesce(Sum(Coalesce(W.OnHand, 0)), 0) - Coalesce(Sum(B.BackOrder), 0) "
        "QntyOrderOK,\n"
        "       Coalesce(M.ReOrderQnty,0)ReOrderQnty, Coalesce(M.MinQnty,0)MinQnty, "
        "Coalesce(M.MaxQnty,0)MaxQnty,\n"
        "       (Case When CloseOrder IN ('N','B') Then 'รอรอบการจัดสินค้า'\n"
        "             When CloseOrder = 'A' Then 'อยู่ระหว่างการ Pack สินค้า'\n"
        "             When CloseOrder In ('O') Then 'สินค้าหมด'\n"
        "             When CloseOrder In ('P') Then 'อยู่ระหว่างการจัด'\n"
        "             When CloseOrder In ('X','C') Then 'จัดสินค้าไม่ครบ '\n"
        "             When CloseOrder In ('W','T','Y') Then 'จัดส่งครบแล้ว'\n"
        "             When CloseOrder In ('S') Then 'ข้อมูลมีปัญหา กรุณาตรวจสอบ'\n"
        "        End) Status\n"
        "       ,(select Sum(O.Onhand) From NVKBranch.dbo.ProductOnhandAllBranch O Where "
        "(O.BranchCode = T.BranchCode) And (O.Barcode = T.Barcode) ) OnhandBranch\n"
        "       ,(select Count(Id) From Tranbranch Where Orderno = :DocNo And CloseOrder Not In "
        "('P','N')) DelF\n"
        "From TranBranch T\n"
        "Inner Join Nvk.Dbo.Product P On (P.Code = T.ProdCode)\n"
        "Inner Join Nvk.Dbo.ProductUnits U On (U.Barcode = T.Barcode)\n"
        "Left Join ProductOnhandSend W On (W.ProdCode = T.ProdCode) And (Left(W.WhCode,1) <> 'W')\n"
        "Left Join (Select BarCode, Sum(OrderQnty-SendQnty)BackOrder\n"
        "           From TranBranch\n"
        "           Where CloseOrder Not In ('Y','W','X','C','T') And (OrderNo <> :DocNo)\n"
        "           Group BY BarCode) B On (B.BarCode = T.BarCode)\n"
        "Left Join Nvk.dbo.ProductManageBranch M On (M.BarCode = T.BarCode) And (M.BranchCode = "
        "T.BranchCode)\n"
        "Where (T.OrderType = 'L') And (T.OrderNo = :DocNo)\n"
        "Group By T.OrderNo, T.OrderDate, T.BranchCode,\n"
        "         T.ProdCode, T.Barcode, P.Negative, T.OrderQnty,\n"
        "         T.CloseOrder, T.OrderType, T.Transfer, T.SendQnty,\n"
        "         T.UpdateBranch, T.TransendQnty, T.Locations,\n"
        "         T.PickNO, T.PickDate, T.ResponsProdGroup,\n"
        "         P.ThaiName, U.UnitName, P.Code, U.Barcode, P.UnitPicking,\n"
        "         Coalesce(M.ReOrderQnty,0), Coalesce(M.MinQnty,0), Coalesce(M.MaxQnty,0)\n"
        "Order By P.Code, U.Barcode");
}

db::SqlSource product() {
    return db::SqlSource(
        "Select U.Barcode, P.Negative, P.ThaiName, U.UnitName, P.Code ProdCode, P.UnitPicking,\n"
        "       'N' LockBarcodeSale,\n"
        "       'N' OrderAllocate,\n"
        "       Coalesce(M.ReOrderQnty,0)ReOrderQnty, Coalesce(M.MinQnty,0)MinQnty, "
        "Coalesce(M.MaxQnty,0)MaxQnty\n"
        "From Nvk.Dbo.ProductUnits U\n"
        "Inner Join Nvk.Dbo.Product P On (P.Id = U.Product)\n"
        "Left Join Nvk.dbo.ProductManageBranch M On (M.BarCode = :Barcode) And (M.BranchCode = "
        ":BranchCode)\n"
        "Where (U.Barcode = :Barcode)   And (U.SmallUnitFlag = 'Y')");
}

db::SqlSource stock() {
    return db::SqlSource(
        "Select Sum(OnHand)OnHand, Sum(BackOrder)QntyBackOrder, Sum(OnHand-BackOrder)QntyOrderOK\n"
        "       ,(select Sum(O.Onhand) From NVKBranch.dbo.ProductOnhandAllBranch O Where "
        "O.BranchCode = :BranchCode And O.Barcode = :Barcode) OnhandBranch\n"
        "From (\n"
        "  Select Coalesce(Sum(Coalesce(O.Onhand, 0)), 0)OnHand, 0 BackOrder\n"
        "  From ProductOnhandSend O\n"
        "  Inner Join Product P On (P.Code = O.ProdCode)\n"
        "  Where (P.Id = (select Product From ProductUnits Where BarCode = :Barcode))\n"
        "  UNion All\n"
        "  Select 0 OnHand, Sum(T.OrderQnty-T.SendQnty)BackOrder\n"
        "  From TranBranch T\n"
        "  Inner Join Product P On (P.Code = T.ProdCode)\n"
        "  Where T.CloseOrder Not In ('Y','W','X','C','T') And (P.Id = (select Product From "
        "ProductUnits Where BarCode = :Barcode))\n"
        "  Group BY T.BarCode\n"
        "  Having Sum(OrderQnty-SendQnty) <> 0\n"
        ") As M");
}

db::SqlSource movedOnCount() {
    // The count the load calls DelF, read again when the order is cancelled.
    return db::SqlSource("Select Count(Id) MovedOn From TranBranch\n"
                         "Where OrderNo = :DocNo And CloseOrder Not In ('P','N')");
}

db::SqlSource cancel() {
    // The remark column is Remark, as the pick statements name it.
    return db::SqlSource("Update TranBranch\n"
                         "Set CloseOrder = 'C', Remark = 'ยกเลิก Order '\n"
                         "Where OrderType = 'L' And OrderNo = :DocNo");
}

} // namespace special_sql
