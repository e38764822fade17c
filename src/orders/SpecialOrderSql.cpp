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

db::SqlSource insertLine() {
    // The values of a line are bound, never pasted into the text.
    return db::SqlSource(
        "Insert Into TranBranch(CreateDate, OrderBranchId, OrderNo, OrderDate, ProdCode, "
        "BranchCode, BarCode, OrderQnty,\n"
        "                       CloseOrder, OrderType, Transfer, SendQnty, UpdateBranch, "
        "TransendQnty, Locations,\n"
        "                       PickNO, PickDate, ResponsProdGroup)\n"
        "Values (GetDate(), 0, :OrderNo, :OrderDate, :ProdCode, :BranchCode, :BarCode, "
        ":OrderQnty, 'S', 'L', 'N', 0, 'Y', 0, '', :OrderNo, :OrderDate, 'SPECIAL')");
}

namespace {

const char* const kPickRows =
    "Select T.Id, T.PickNo,\n"
    "       Coalesce(O.Onhand,0) OnhandDC,\n"
    "       Coalesce((Select Sum(T1.OrderQnty - T1.SendQnty) From TranBranch T1 Where "
    "T1.CloseOrder In ('S','N','B','A','O') And (T1.Transfer = 'N') And (B.StopDatabase = 'N') "
    "And T1.BarCode = T.BarCode And (T1.BranchCode = T.BranchCode) ),0) SumQnty,\n"
    "       GetDate() PickDate, T.OrderNO, T.OrderDate, T.BranchCode, B.BranchName,\n"
    "       (Case When Coalesce(O.Onhand,0) > 0\n"
    "             Then LTrim(RTrim(O.WhZone)) Else 'D_'+ LTrim(RTrim(O.WhZone)) End)\n"
    "             + (Case When (Select Sum(T1.OrderQnty - T1.SendQnty) From TranBranch T1 Where "
    "T1.CloseOrder In ('S','N','B','A','O') And (T1.Transfer = 'N') And (B.StopDatabase = 'N') "
    "And T1.BarCode = T.BarCode And (T1.BranchCode = T.BranchCode))\n"
    "                         > Coalesce(O.Onhand,0) Then '*' Else '' End )ResponsProdGroup,\n"
    "       (Case When Coalesce(O.Onhand,0) > 0\n"
    "             Then LTrim(RTrim(O.WhZone)) Else 'D_'+LTrim(RTrim(O.WhZone)) END)\n"
    "             + (Case When (Select Sum(T1.OrderQnty - T1.SendQnty) From TranBranch T1 Where "
    "T1.CloseOrder In ('S','N','B','A','O') And (T1.Transfer = 'N') And (B.StopDatabase = 'N') "
    "And T1.BarCode = T.BarCode\n"
    "                   And (T1.BranchCode = T.BranchCode)\n"
    "             ) > Coalesce(O.Onhand,0) Then '*' Else '' End ) +'-' +'-'+ "
    "Ltrim(Rtrim(T.BarCode)) SortGroup,\n"
    "       T.ProdCode, P.ThaiName ProdName, T.BarCode, U.UnitName UOM,\n"
    "       T.OrderQnty, T.UserPick, T.CloseOrder, T.OrderType, T.SendQnty,\n"
    "       'Y' NewRecord, T.OrderBranchId, B.ServerName, B.Serverbranch\n"
    "From TranBranch T\n"
    "Inner Join Qrv_Config_Nvk.dbo.Branch B On (B.BranchCode = T.BranchCode)\n"
    "Inner Join Nvk.dbo.Product P On (P.Code = T.ProdCode)\n"
    "Inner Join Nvk.dbo.ProductUnits U On (U.BarCode = T.BarCode)\n"
    "Left Join ProductOnhandSend O ON (O.ProdCode = T.ProdCode)\n"
    "Where (CloseOrder = 'S') And (Transfer = 'N') And (B.StopDatabase = 'N') And (OrderType = "
    "'L')\n"
    "     And PickNo = :PickOrder";

// The text with each of the pieces replaced; a piece that is not there is a fault of this
// file, not of the data, and stops at once.
QString replaced(QString text, const std::vector<std::pair<const char*, const char*>>& pieces) {
    for (const auto& [from, to] : pieces) {
        const QString f = QString::fromUtf8(from);
        if (!text.contains(f)) {
            qFatal("statement variant: '%s' not found", from);
        }
        text.replace(f, QString::fromUtf8(to));
    }
    return text;
}

} // namespace

db::SqlSource pickRows() {
    db::SqlSource s(kPickRows);
    // The embedded server joins texts with ||; + adds numbers there.
    s.variant(db::BackendKind::Sqlite,
              replaced(QString::fromUtf8(kPickRows),
                       {{"'D_'+ LTrim", "'D_' || LTrim"},
                        {"'D_'+LTrim", "'D_' || LTrim"},
                        {"End)\n             + (Case", "End)\n             || (Case"},
                        {"END)\n             + (Case", "END)\n             || (Case"},
                        {"End ) +'-' +'-'+ Ltrim", "End ) || '-' || '-' || Ltrim"}}));
    return s;
}

db::SqlSource pickUpdate() {
    return db::SqlSource("Update TranBranch\n"
                         "Set PickNo = :PickNo,\n"
                         "    PickDate = GetDate(),\n"
                         "    UserPick = :UserPick,\n"
                         "    ResponsProdGroup = :ResponsProdGroup,\n"
                         "    TranSendQnty = 0 ,\n"
                         "    BoxNo = '' ,\n"
                         "    remark = '' ,\n"
                         "    CloseOrder = 'P',\n"
                         "    UpdateBranch = 'N',\n"
                         "    ProductManageNo = :ProductManageNo,\n"
                         "    Locations = ''\n"
                         "Where Id = :Id");
}

db::SqlSource pickClose() {
    const char* const update = "Update TranBranch\n"
                               "Set PickNo = :PickNo,\n"
                               "    PickDate = GetDate(),\n"
                               "    UserPick = :UserPick,\n"
                               "    ResponsProdGroup = :ResponsProdGroup,\n"
                               "    CloseOrder = :Status,\n"
                               "    UpdateBranch = (Case When CloseOrder = :Status Then "
                               "UpdateBranch Else 'N' End),\n"
                               "    Locations = ''\n"
                               "Where Id = :Id\n";
    // As written, its own transaction nests in the save's on a server that counts nested
    // transactions. The embedded server and PostgreSQL cannot nest one: there the save's
    // unit of work is the only one.
    db::SqlSource s(QStringLiteral("Begin Transaction\n\n") + QString::fromUtf8(update) +
                    QStringLiteral(" Commit"));
    s.variant(db::BackendKind::Sqlite, QString::fromUtf8(update));
    // PostgreSQL's COMMIT would end the save's own transaction there.
    s.variant(db::BackendKind::Pgsql, QString::fromUtf8(update));
    return s;
}

db::SqlSource numberUsed() {
    return db::SqlSource("Select Count(Id) Used From TranBranch Where OrderNo = :OrderNo");
}

db::SqlSource pickLines() {
    // Outer joins: a row whose product, unit or branch has gone still prints, without names.
    return db::SqlSource(
        "Select T.Id, T.OrderNo, T.OrderDate, T.BranchCode, Coalesce(B.BranchName, '') "
        "BranchName,\n"
        "       T.BarCode, Coalesce(P.ThaiName, '') ThaiName, Coalesce(U.UnitName, '') UnitName,\n"
        "       T.OrderQnty, T.CloseOrder, Coalesce(T.ResponsProdGroup, '') ResponsProdGroup,\n"
        "       Coalesce(T.ProductManageNo, '') ProductManageNo\n"
        "From TranBranch T\n"
        "Left Join Nvk.dbo.Product P On (P.Code = T.ProdCode)\n"
        "Left Join Nvk.dbo.ProductUnits U On (U.BarCode = T.BarCode)\n"
        "Left Join Qrv_Config_Nvk.dbo.Branch B On (B.BranchCode = T.BranchCode)\n"
        "Where (T.OrderType = 'L') And (T.OrderNo = :DocNo)\n"
        "Order By T.Id");
}

} // namespace special_sql
