#include "forms/Fr_SearchOrderShereNo.h"

#include "platform/ui/DbGrid.h"
#include "platform/ui/Edits.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TFrSearchOrderShereNo::TFrSearchOrderShereNo(QWidget* parent) : TFrSearch(parent) {
    setWindowTitle(QStringLiteral("ค้นหาเลขที่ใบแบ่ง"));
    Label3->setText(QStringLiteral("เลขที่"));
    Code->setFixedWidth(149);

    Label1 = new QLabel(QStringLiteral("Barcode"), PanelHeader);
    Label1->setObjectName(QStringLiteral("Label1"));
    addHeaderWidget(Label1);
    Barcode = new QLineEdit(PanelHeader);
    Barcode->setObjectName(QStringLiteral("Barcode"));
    ui::setUpperCase(Barcode);
    Barcode->setFixedWidth(149);
    addHeaderWidget(Barcode);
    setTabOrder(Code, Barcode);
    setTabOrder(Barcode, BtOk);
    setClientSize(762, 392);

    QSearch.setConnectionName(QStringLiteral("DMDATA"));
    QSearch.setSqlLines(statementLines());
    DgSearch->setColumns({{QStringLiteral("OrderNO"), QStringLiteral("เลขที่ใบแบ่ง"), 125},
                          {QStringLiteral("OrderDate"), QStringLiteral("วันที่"), 107},
                          {QStringLiteral("BarCode"), QString(), 105},
                          {QStringLiteral("ProdName"), QStringLiteral("ชื่อสินค้า"), 164},
                          {QStringLiteral("UnitName"), QStringLiteral("หน่วยนับ"), 101},
                          {QStringLiteral("ProdCode"), QStringLiteral("รหัสสินค้า"), 83},
                          {QStringLiteral("Approved"), QString(), 0}});
}

QStringList TFrSearchOrderShereNo::statementLines() {
    return {QStringLiteral("Select H.OrderNO, H.OrderDate, H.ProdCode, H.BarCode, H.Delflag,"),
            QStringLiteral("       (Select ThaiName From Product Where Id = U.Product) ProdName,"),
            QStringLiteral("       U.UnitName, H.Approved"),
            QStringLiteral("From OrderShereHd H"),
            QStringLiteral("Inner Join ProductUnits U On (U.Barcode = H.Barcode)"),
            QStringLiteral("Where (H.OrderNO Like :DocNo) And(H.BarCode Like :Barcode)"),
            QStringLiteral("Order By H.OrderNO Desc")};
}

void TFrSearchOrderShereNo::FormShow() {
    TFrSearch::FormShow();
    KeyFieldName = QStringLiteral("OrderNO");
    Code->clear();
    Barcode->clear();
    QSearch.close();
    Code->setFocus(Qt::OtherFocusReason);
}

void TFrSearchOrderShereNo::BtSearchClick() {
    QSearch.close();
    // Both filters match from the start of the value; an empty edit matches everything.
    QSearch.params().set(QStringLiteral("DocNo"), Code->text().trimmed() + QLatin1Char('%'));
    QSearch.params().set(QStringLiteral("Barcode"), Barcode->text().trimmed() + QLatin1Char('%'));
    // One run with the new filters, so the focus follows this search's own result.
    TFrSearch::BtSearchClick();
}
