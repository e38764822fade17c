#include "orders/Fr_OrderShere.h"

#include "data/Dm_Config.h"
#include "data/U_DM.h"
#include "forms/F_SearchProductUnitsTivasMaster.h"
#include "forms/Fr_SearchOrderShereNo.h"
#include "platform/ui/DataLink.h"
#include "platform/ui/DbGrid.h"
#include "platform/ui/Edits.h"
#include "platform/ui/Focus.h"
#include "platform/ui/Format.h"
#include "platform/ui/GridEditors.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Modal.h"
#include "util/Text.h"
#include "util/Workstation.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QToolButton>

namespace {

const char* const kFooterPicture = ",0.##;-,0.##";
const char* const kStockPicture = "#,##0.##;-#,##0.##";
const QColor kFilledQuantity(174, 251, 205);
const QColor kAlternateRow(240, 202, 166);
const QColor kMaroon(128, 0, 0);

bool isF5(const QKeyEvent& e) {
    return e.key() == Qt::Key_F5;
}

} // namespace

TFrOrderShere::TFrOrderShere(QWidget* parent) : TFrForm(parent) {
    // The design caption; FormShow copies it into the application title before replacing it.
    setWindowTitle(QStringLiteral("ใบแบ่ง"));
    setClientSize(1156, 560);

    AcApproved = new QAction(ImageList1.value(7), QStringLiteral("AcApproved"), this);
    QWidget::addAction(AcApproved);
    ActionList1 << AcApproved;
    BApproved = addToolButton(AcApproved);
    BApproved->setText(QStringLiteral("Approved"));

    AcSuggest = new QAction(QStringLiteral("Suggest"), this);
    AcSuggest->setShortcut(Qt::Key_F7);
    AcSuggest->setToolTip(QStringLiteral("เสนอจำนวนตามจุดต่ำสุด/สูงสุดของสาขา (F7)"));
    AcSuggest->setEnabled(false);
    QWidget::addAction(AcSuggest);
    ActionList1 << AcSuggest;
    BSuggest = addToolButton(AcSuggest);
    connect(AcSuggest, &QAction::triggered, this, ui::guard([this] { AcSuggestExecute(); }));

    connect(AcSave, &QAction::triggered, this, ui::guard([this] { AcSaveExecute(); }));
    connect(AcApproved, &QAction::triggered, this, ui::guard([this] { AcApprovedExecute(); }));

    connect(&QDt, &db::Dataset::afterOpen, this, [this] {
        if (db::Field* f = QDt.findField(QStringLiteral("OrderQnty"))) {
            f->displayFormat = QStringLiteral("#,##0.##");
            f->editFormat = QStringLiteral("###0.##");
        }
    });
    connect(&QDt, &db::Dataset::fieldChanged, this,
            ui::guard([this](db::Field* f) { GridDtFieldChanged(f); }));

    buildHeader();
    buildGrid();
    buildFooter();
}

TFrOrderShere::~TFrOrderShere() = default;

void TFrOrderShere::buildHeader() {
    PanelHead = new QFrame(Client);
    PanelHead->setFrameShape(QFrame::Panel);
    PanelHead->setFrameShadow(QFrame::Sunken);
    PanelHead->setFixedHeight(106);
    auto* grid = new QGridLayout(PanelHead);

    EdOrderNO = new QLineEdit(PanelHead);
    ui::setUpperCase(EdOrderNO);
    EdOrderNO->setFixedWidth(150);
    BtSearchOrderNo = ui::lookupButton(PanelHead, QStringLiteral("ค้นหาเลขที่เอกสาร"));
    EdOrderDate = new QLineEdit(PanelHead);
    EdOrderDate->setReadOnly(true);
    EdOrderDate->setFocusPolicy(Qt::ClickFocus); // skipped by Tab
    EdOrderDate->setFixedWidth(100);
    EdBarcode = new QLineEdit(PanelHead);
    ui::setUpperCase(EdBarcode);
    EdBarcode->setFixedWidth(150);
    BtSearchBarcode = ui::lookupButton(PanelHead, QStringLiteral("ค้นหาเลขที่เอกสาร"));
    LbProductName = new QLabel(PanelHead);
    LbUnitName = new QLabel(PanelHead);
    EUnitPicking = new QLineEdit(PanelHead);
    EUnitPicking->setEnabled(false);
    EUnitPicking->setFixedWidth(80);
    BuyingDecisionCode = new QLineEdit(PanelHead);
    BuyingDecisionCode->setEnabled(false);
    BuyingDecisionCode->setFixedWidth(120);

    auto row = [grid](int r, const QString& label, QWidget* a, QWidget* b = nullptr) {
        grid->addWidget(new QLabel(label), r, 0);
        grid->addWidget(a, r, 1);
        if (b) {
            grid->addWidget(b, r, 2);
        }
    };
    row(0, QStringLiteral("เลขที่ใบแบ่ง"), EdOrderNO, BtSearchOrderNo);
    grid->addWidget(new QLabel(QStringLiteral("วันที่")), 0, 3);
    grid->addWidget(EdOrderDate, 0, 4);
    row(1, QStringLiteral("Barcode"), EdBarcode, BtSearchBarcode);
    grid->addWidget(new QLabel(QStringLiteral("ชื่อสินค้า :")), 1, 3);
    grid->addWidget(LbProductName, 1, 4, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("หน่วยนับ :")), 1, 7);
    grid->addWidget(LbUnitName, 1, 8);
    row(2, QStringLiteral("UnitPicking"), EUnitPicking);
    grid->addWidget(new QLabel(QStringLiteral("Buying Decision Code")), 2, 3);
    grid->addWidget(BuyingDecisionCode, 2, 4);
    grid->setColumnStretch(9, 1);
    ClientLayout->addWidget(PanelHead);

    new ui::FieldLink(EdOrderNO, &QHd, QStringLiteral("OrderNO"));
    new ui::FieldLink(EdOrderDate, &QHd, QStringLiteral("OrderDate"));
    new ui::FieldLink(EdBarcode, &QHd, QStringLiteral("BarCode"));
    new ui::FieldLink(LbProductName, &QHd, QStringLiteral("ThaiName"));
    new ui::FieldLink(LbUnitName, &QHd, QStringLiteral("UnitName"));
    new ui::FieldLink(EUnitPicking, &QHd, QStringLiteral("UnitPicking"));
    new ui::FieldLink(BuyingDecisionCode, &QHd, QStringLiteral("BuyingDecisionCode"));

    ui::on(BtSearchOrderNo, &QToolButton::clicked, this, &TFrOrderShere::BtSearchOrderNoClick);
    ui::on(BtSearchBarcode, &QToolButton::clicked, this, &TFrOrderShere::BtSearchBarcodeClick);
    ui::onExit(EdOrderNO, [this] { EdOrderNOExit(); });
    ui::onExit(EdBarcode, [this] { EdBarcodeExit(); });
    ui::onKeyDown(EdOrderNO, [this](QKeyEvent& e) {
        if (isF5(e)) {
            BtSearchOrderNo->click();
            return true;
        }
        return false;
    });
    for (QLineEdit* edit : {EdBarcode, EUnitPicking, BuyingDecisionCode}) {
        ui::onKeyDown(edit, [this](QKeyEvent& e) {
            if (isF5(e)) {
                BtSearchBarcode->click();
                return true;
            }
            return false;
        });
    }
}

void TFrOrderShere::buildGrid() {
    GridDt = new ui::DbGrid(Client);
    GridDt->setDataset(&QDt);
    auto col = [this](const char* field, int chars, const QString& title, bool editable = false) {
        return GridDt->charColumn(QLatin1String(field), chars, title, editable);
    };
    GridDt->setColumns({col("BranchCode", 10, QStringLiteral("รหัสสาขา")),
                        col("BranchName", 30, QStringLiteral("ชื่อสาขา")),
                        col("BackOrder", 10, QStringLiteral("ค้างจัด")),
                        col("MinQnty", 8, QStringLiteral("Min Stock")),
                        col("MaxQnty", 8, QStringLiteral("Max Stock")),
                        col("ProductRoute", 8, QStringLiteral("สินค้าระหว่างทาง")),
                        col("OnhandBranch", 10, QStringLiteral("คงเหลือสาขา")),
                        col("OrderQnty", 10, QStringLiteral("จำนวน"), true),
                        col("Status", 17, QStringLiteral("สถานะ")),
                        col("Remark", 15, QStringLiteral("หมายเหตุ"), true),
                        col("ProductManageNo", 20, QStringLiteral("เลขจัดสินค้า"))});
    GridDt->setTitlesClickable(false);
    GridDt->setAlternateRowColor(kAlternateRow);
    GridDt->setEnterMovesLikeTab(true);
    GridDt->setFrozenColumns(6);
    GridDt->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    GridDt->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                            QAbstractItemView::EditKeyPressed);
    GridDt->setSelectionBehavior(QAbstractItemView::SelectItems);
    GridDt->setCellColors([this](int row, const db::Field& field, bool) {
        ui::CellColors c;
        if (field.name().trimmed().toUpper() == QLatin1String("ORDERQNTY") &&
            db::variantToDouble(QDt.valueAt(row, field.index())) > 0) {
            c.background = kFilledQuantity;
            c.foreground = palette().color(QPalette::WindowText);
            c.bold = false;
        }
        return c;
    });
    GridEditors = new ui::GridEditors(GridDt);
    // The rounding statement takes the quantity as the server's int, a whole number.
    GridEditors->setNumberEditor(
        7, ui::NumericRange::int32(),
        [](QLineEdit* e) { e->setObjectName(QStringLiteral("EdOrderQnty")); },
        [this] { EdOrderQntyExit(); });
    GridEditors->setComboEditor(7 + 2, {QStringLiteral("สาขาสั่งสินค้าไม่ทันรอบ"),
                                        QStringLiteral("ลูกค้าสั่งซื้อ"), QStringLiteral("อื่นๆ")});
    GridDt->setItemDelegate(GridEditors);
    ClientLayout->addWidget(GridDt, 1);

    // Enter moves between the grid's cells; the key preview stays on for Esc, which asks
    // to leave from the cell editors too.
    leaveEnterTo(GridDt);
}

void TFrOrderShere::buildFooter() {
    PanelLast = new QFrame(Client);
    PanelLast->setFixedHeight(41);
    auto* row = new QHBoxLayout(PanelLast);
    QFont big = font();
    big.setPixelSize(19);
    big.setBold(true);
    auto box = [&](const QString& caption) {
        auto* label = new QLabel(caption, PanelLast);
        label->setFont(big);
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, kMaroon);
        label->setPalette(p);
        auto* edit = new QLineEdit(PanelLast);
        edit->setReadOnly(true);
        edit->setFocusPolicy(Qt::NoFocus);
        edit->setAlignment(Qt::AlignRight);
        edit->setFont(big);
        QPalette ep = edit->palette();
        ep.setColor(QPalette::Text, kMaroon);
        edit->setPalette(ep);
        edit->setFixedWidth(180);
        row->addWidget(label);
        row->addWidget(edit);
        return edit;
    };
    row->addStretch(1);
    EdOnHand = box(QStringLiteral("คงเหลือ"));
    EdQntyTotal = box(QStringLiteral("จำนวนรวม"));
    ClientLayout->addWidget(PanelLast);
    setFooter(EdOnHand, 0);
    setFooter(EdQntyTotal, 0);
}

void TFrOrderShere::setFooter(QLineEdit* box, double value) {
    box->setText(ui::formatFloat(QLatin1String(kFooterPicture), value));
}

// ---- document life ------------------------------------------------------------------

void TFrOrderShere::FormShow() {
    TFrForm::FormShow();
    BDel->hide();
    DocCode = QStringLiteral("ORD-SHARE");
    VersionText = QStringLiteral("M22.07.22");
    setWindowTitle(QStringLiteral("บันทึกใบแบ่ง Approved AUTO (") + VersionText + QStringLiteral(")"));
    BApproved->setVisible(ShowApprove);
    AcNewExecute();
}

void TFrOrderShere::AcNewExecute() {
    TFrForm::AcNewExecute();
    if (ShowApprove) {
        BApproved->setEnabled(false);
    }
    CheckStock = false;
    AcSave->setEnabled(false);
    AcDel->setEnabled(false);
    QDt.close();
    LoadOrder(QString());
    quantityTotal_ = availableStock_ = 0;
    setFooter(EdQntyTotal, 0);
    setFooter(EdOnHand, 0);
    for (QWidget* w :
         std::initializer_list<QWidget*>{EdOrderNO, BtSearchOrderNo, EdBarcode, BtSearchBarcode}) {
        w->setEnabled(true);
    }
    EdOrderNO->setFocus();
}

void TFrOrderShere::LoadOrder(const QString& number) {
    Order.load(number, EdBarcode->text());
    if (Order.isOpenStored()) {
        AcSave->setEnabled(DmConfig->AddRight);
        if (ShowApprove) {
            BApproved->setEnabled(true);
        }
    }
    showState();
}

// A cancelled order loads read-only like a closed one, and says so.
void TFrOrderShere::showState() {
    StatusPanels[0]->setText(Order.isCancelled() ? QStringLiteral("ยกเลิก") : QString());
    updateSuggest();
}

// Suggesting needs the branch rows of a product, on an order that may still be changed.
void TFrOrderShere::updateSuggest() {
    AcSuggest->setEnabled(QDt.isActive() && !QDt.isEmpty() &&
                          (IsNewOrder || Order.isOpenStored()) && DmConfig->AddRight);
}

void TFrOrderShere::AcSuggestExecute() {
    if (!AcSuggest->isEnabled()) {
        return;
    }
    GridDt->finishEditing();
    const orders::StockCheck c = Order.suggest(EdBarcode->text().trimmed());
    quantityTotal_ = c.total;
    availableStock_ = c.available;
    setFooter(EdQntyTotal, c.total);
    setFooter(EdOnHand, c.available);
}

void TFrOrderShere::EdOrderNOExit() {
    LoadOrder(EdOrderNO->text());
    EdOrderNO->setEnabled(false);
    BtSearchOrderNo->setEnabled(false);
    if (IsNewOrder) {
        EdBarcode->setEnabled(true);
        BtSearchBarcode->setEnabled(true);
    } else {
        GridDt->setFocus();
        EdBarcode->setEnabled(false);
        BtSearchBarcode->setEnabled(false);
    }
    db::Query& numbering = DM->QDocumentNo;
    numbering.close();
    numbering.params().set(QStringLiteral("GetCode"), DocCode);
    numbering.params().set(QStringLiteral("GetYear"),
                           YearOf(QHd[QStringLiteral("OrderDate")].asDateTime()));
    numbering.open();
    const bool autoRun = !numbering.isEmpty() &&
                         numbering[QStringLiteral("AutoRun")].asString() == QLatin1String("Y");
    if (!autoRun && QHd[QStringLiteral("OrderNO")].asString().trimmed().isEmpty()) {
        ui::Prompts::current().message(
            {QStringLiteral("คุณไม่ได้ป้อนเลขที่เอกสาร !!"), ui::MessageKind::Warning});
    }
    CheckQuantities(true);
}

void TFrOrderShere::BtSearchOrderNoClick() {
    TFrSearchOrderShereNo lookup(this);
    if (ui::execModal(lookup) == QDialog::Accepted) {
        QHd.edit();
        EdOrderNO->setText(lookup.SelectedCode);
    }
}

// ---- barcode and branch grid --------------------------------------------------------

void TFrOrderShere::EdBarcodeExit() {
    const QString typed = EdBarcode->text().trimmed();
    if (typed.isEmpty()) {
        return;
    }
    if (!IsNewOrder) {
        AcSave->setEnabled(false);
        EdBarcode->setEnabled(false);
        BtSearchBarcode->setEnabled(false);
        return;
    }
    AcSave->setEnabled(DmConfig->AddRight);
    availableStock_ = Order.availableStock(typed);
    setFooter(EdOnHand, availableStock_);
    if (!Order.fillFromBarcode(typed)) {
        ui::Prompts::current().message({QStringLiteral("ไม่พบ Barcode ที่เลือก !! ") + QChar(10) +
                                            QChar(13) +
                                            QStringLiteral("หรือเป็น BarCode ที่ไม่ใช่หน่วยนับย่อย"),
                                        ui::MessageKind::Warning});
        availableStock_ = 0;
        setFooter(EdOnHand, 0);
        EdBarcode->setEnabled(true);
        BtSearchBarcode->setEnabled(true);
        EdBarcode->setFocus();
        return;
    }
    EdBarcode->setEnabled(false);
    BtSearchBarcode->setEnabled(false);
    updateSuggest();
    GridDt->setFocus();
    GridDt->setSelectedField(QStringLiteral("OrderQnty"));
}

void TFrOrderShere::BtSearchBarcodeClick() {
    TF_SearchProductUnitsTivasMaster lookup(this);
    lookup.SmallUnitOnly = QStringLiteral("Y");
    if (ui::execModal(lookup) == QDialog::Accepted) {
        EdBarcode->setFocus();
        QHd.edit();
        EdBarcode->setText(util::upperAscii(lookup.SelectedBarcode.trimmed()));
        QHd[QStringLiteral("BarCode")].setValue(EdBarcode->text());
        EdBarcodeExit();
    }
}

void TFrOrderShere::GridDtFieldChanged(db::Field* field) {
    if (field->name() != QLatin1String("OrderQnty")) {
        return;
    }
    const db::Field* backOrder = QDt.findField(QStringLiteral("BackOrder"));
    if (backOrder && backOrder->asInteger() > 0) {
        ui::Prompts::current().message({QStringLiteral("ยังมี ยอดค้างจัดอยู่ ") + backOrder->asString(),
                                        ui::MessageKind::Information});
    }
}

// ---- quantities ---------------------------------------------------------------------

void TFrOrderShere::EdOrderQntyExit() {
    if (!QDt.isActive() || QDt.isEmpty()) {
        return;
    }
    const qint64 typed = QDt[QStringLiteral("OrderQnty")].asInteger();
    const qint64 rounded = Order.roundUp(typed, QHd[QStringLiteral("UnitPicking")].asFloat());
    QDt.edit();
    QDt[QStringLiteral("OrderQnty")].setValue(rounded);
    if (!CheckQuantities(true)) {
        QDt.edit();
        QDt[QStringLiteral("OrderQnty")].setValue(0);
        CheckQuantities(true);
    }
}

bool TFrOrderShere::CheckQuantities(bool checkStock) {
    if (!QDt.isActive()) {
        return false;
    }
    const orders::StockCheck c = Order.check(checkStock, EdBarcode->text().trimmed());
    quantityTotal_ = c.total;
    setFooter(EdQntyTotal, c.total);
    if (CheckStock && checkStock) {
        availableStock_ = c.available;
        setFooter(EdOnHand, c.available);
    }
    if (!c.fits) {
        stockShort(c.available);
    }
    return c.fits;
}

// The stock message; the user's row is capped at the available stock.
void TFrOrderShere::stockShort(double available) {
    ui::Prompts::current().message({QStringLiteral("คงเหลือ มีไม่พอ !!") + QChar(13) +
                                        QStringLiteral("คงเหลือปัจจุบัน : ") +
                                        ui::formatFloat(QLatin1String(kStockPicture), available),
                                    ui::MessageKind::Warning});
    if (!QDt.isEmpty()) {
        QDt.edit();
        QDt[QStringLiteral("OrderQnty")].setValue(available);
    }
}

// ---- saving and approval ------------------------------------------------------------

void TFrOrderShere::AcSaveExecute() {
    saveOrder(false);
}

void TFrOrderShere::AcApprovedExecute() {
    saveOrder(true);
}

void TFrOrderShere::saveOrder(bool approveOnly) {
    // One save at a time: a second F10 or click while this one runs does nothing.
    if (saving_) {
        return;
    }
    saving_ = true;
    auto done = qScopeGuard([this] { saving_ = false; });

    // A quantity still in its cell editor counts: it is stored, rounded and checked first.
    GridDt->finishEditing();
    if (!CheckQuantities(true)) {
        return;
    }
    if (IsNewOrder &&
        (QHd[QStringLiteral("BarCode")].asString().trimmed().isEmpty() || QDt.isEmpty())) {
        // Without a product there is nothing to number, store or approve.
        ui::Prompts::current().message(
            {QStringLiteral("ยังไม่ได้ป้อน Barcode ไม่มีรายการสาขาให้บันทึก !!"), ui::MessageKind::Warning});
        return;
    }
    QHd.edit();
    QHd[QStringLiteral("OrderDate")].setValue(DM->ServerDateTime().date().startOfDay());
    if (!DM->ConfirmDialog(QStringLiteral("จัดเก็บข้อมูล ?"))) {
        return;
    }
    if (approveOnly) {
        // Rows without a quantity go; the next row takes the place of a removed one.
        QDt.first();
        while (!QDt.isEmpty() && !QDt.eof()) {
            if (QDt[QStringLiteral("OrderQnty")].asFloat() == 0) {
                QDt.deleteRecord();
            } else {
                QDt.next();
            }
        }
    }
    orders::StockCheck shortage;
    switch (Order.save(approveOnly, &shortage)) {
    case orders::SaveOutcome::Saved:
        AcNewExecute();
        return;
    case orders::SaveOutcome::TakenElsewhere:
        AcSave->setEnabled(false);
        BApproved->setEnabled(false);
        ui::Prompts::current().message(
            {QStringLiteral("ใบแบ่งนี้ถูกอนุมัติจากเครื่องอื่นแล้ว ไม่สามารถบันทึกซ้ำได้ !!"),
             ui::MessageKind::Warning});
        return;
    case orders::SaveOutcome::StockShort:
        quantityTotal_ = shortage.total;
        availableStock_ = shortage.available;
        setFooter(EdQntyTotal, shortage.total);
        setFooter(EdOnHand, shortage.available);
        stockShort(shortage.available);
        return;
    }
}
