#include "forms/Fr_SearchOrderSpecialNo.h"

#include "platform/ui/DbGrid.h"

#include <QLabel>
#include <QLineEdit>

TFrSearchOrderSpecialNo::TFrSearchOrderSpecialNo(QWidget* parent) : TFrSearch(parent) {
    setWindowTitle(QStringLiteral("ค้นหา เลขที่ Order พิเศษ"));
    Label3->setText(QStringLiteral("เลขที่"));
    QSearch.setConnectionName(QStringLiteral("DMDATA"));
    QSearch.setSqlLines(statementLines());
    DgSearch->setColumns({{QStringLiteral("OrderNo"), QStringLiteral("เลขที่"), 138},
                          {QStringLiteral("OrderDate"), QStringLiteral("วันที่"), 97},
                          {QStringLiteral("BranchCode"), QStringLiteral("รหัสสาขา"), 116}});
}

QStringList TFrSearchOrderSpecialNo::statementLines() {
    return {QStringLiteral("Select OrderNo, OrderDate, BranchCode"),
            QStringLiteral("From TranBranch"),
            QStringLiteral("Where (OrderType = 'L') And(OrderNo Like :DocNo)"),
            QStringLiteral("Group By OrderNo, OrderDate, BranchCode"),
            QStringLiteral("Order By OrderNo Desc")};
}

void TFrSearchOrderSpecialNo::FormShow() {
    TFrSearch::FormShow();
    KeyFieldName = QStringLiteral("OrderNO");
    Code->clear();
    QSearch.close();
    Code->setFocus(Qt::OtherFocusReason);
}

void TFrSearchOrderSpecialNo::BtSearchClick() {
    QSearch.close();
    // The number matches from its start; an empty edit matches every order.
    QSearch.params().set(QStringLiteral("DocNo"), Code->text().trimmed() + QLatin1Char('%'));
    // One run with the new filter, so the focus follows this search's own result.
    TFrSearch::BtSearchClick();
}
