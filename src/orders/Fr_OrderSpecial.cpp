#include "orders/Fr_OrderSpecial.h"

#include "data/Dm_Config.h"
#include "data/U_DM.h"
#include "forms/F_SearchProductUnitsTivasMaster.h"
#include "forms/Fr_SearchBranch.h"
#include "forms/Fr_SearchOrderSpecialNo.h"
#include "orders/PickListPrinter.h"
#include "platform/sheet/Sheet.h"
#include "platform/ui/DataLink.h"
#include "platform/ui/DbGrid.h"
#include "platform/ui/Edits.h"
#include "platform/ui/Focus.h"
#include "platform/ui/GridEditors.h"
#include "platform/ui/Guard.h"
#include "platform/ui/InputBlock.h"
#include "platform/ui/Modal.h"
#include "platform/ui/Prompts.h"
#include "util/Text.h"
#include "util/Workstation.h"

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScopeGuard>
#include <QStatusBar>
#include <QToolButton>
#include <algorithm>

namespace {

const QColor kAlternateRow(192, 220, 192);
constexpr int kBarcodeColumn = 1;
constexpr int kOrderQntyColumn = 11;

void message(const QString& text) {
    ui::Prompts::current().message({text, ui::MessageKind::Warning});
}

// F5 in an edit clicks its lookup button.
void f5Clicks(QLineEdit* edit, QToolButton* button) {
    ui::onKeyDown(edit, [button](QKeyEvent& e) {
        if (e.key() != Qt::Key_F5) {
            return false;
        }
        button->click();
        return true;
    });
}

} // namespace

TFrOrderSpecial::TFrOrderSpecial(QWidget* parent) : TFrForm(parent) {
    setWindowTitle(QStringLiteral("ใบสั่งพิเศษ"));
    setClientSize(1140, 695);

    BtImportExcel = addToolButton(QStringLiteral("Import Excel"), 4);
    BtImportExcel->setObjectName(QStringLiteral("BtImportExcel"));
    setToolButtonWidth(65);
    // Its caption is longer than the others: wide enough to be read whole.
    BtImportExcel->setFixedWidth(std::max(65, BtImportExcel->sizeHint().width()));

    connect(AcSave, &QAction::triggered, this, ui::guard([this] { AcSaveExecute(); }));
    connect(AcDel, &QAction::triggered, this, ui::guard([this] { AcDelExecute(); }));
    connect(AcPrint, &QAction::triggered, this, ui::guard([this] { AcPrintExecute(); }));
    ui::on(BtImportExcel, &QToolButton::clicked, this, &TFrOrderSpecial::BtImportExcelClick);

    buildHeader();
    buildGrid();
    MemoStatusImport = new QPlainTextEdit(Client);
    MemoStatusImport->setObjectName(QStringLiteral("MemoStatusImport"));
    MemoStatusImport->setFixedHeight(148);
    MemoStatusImport->setLineWrapMode(QPlainTextEdit::NoWrap);
    MemoStatusImport->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MemoStatusImport->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MemoStatusImport->hide();
    BtSaveRejected = new QPushButton(QStringLiteral("Save rejected rows"), Client);
    BtSaveRejected->setObjectName(QStringLiteral("BtSaveRejected"));
    BtSaveRejected->setToolTip(QStringLiteral("บันทึกแถวที่นำเข้าไม่ได้เป็นไฟล์ csv เพื่อแก้ไขแล้วนำเข้าใหม่"));
    BtSaveRejected->hide();
    ui::on(BtSaveRejected, &QPushButton::clicked, this, &TFrOrderSpecial::BtSaveRejectedClick);
    auto* importRow = new QHBoxLayout;
    importRow->addWidget(MemoStatusImport, 1);
    importRow->addWidget(BtSaveRejected, 0, Qt::AlignTop);
    ClientLayout->addLayout(importRow);
}

TFrOrderSpecial::~TFrOrderSpecial() = default;

void TFrOrderSpecial::buildHeader() {
    Panel1 = new QFrame(Client);
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);
    Panel1->setFixedHeight(69);
    auto* grid = new QGridLayout(Panel1);

    EdOrderNo = new QLineEdit(Panel1);
    EdOrderNo->setObjectName(QStringLiteral("EdOrderNo"));
    ui::setUpperCase(EdOrderNo);
    EdOrderNo->setFixedWidth(150);
    BtSearchOrderNo = ui::lookupButton(Panel1, QStringLiteral("ค้นหาเลขที่เอกสาร"));
    OrderDate = new QDateEdit(Panel1);
    OrderDate->setObjectName(QStringLiteral("OrderDate"));
    OrderDate->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    OrderDate->setReadOnly(true);
    OrderDate->setButtonSymbols(QAbstractSpinBox::NoButtons);
    OrderDate->setFocusPolicy(Qt::ClickFocus); // skipped by Tab
    OrderDate->setFixedWidth(100);
    EdBranchCode = new QLineEdit(Panel1);
    EdBranchCode->setObjectName(QStringLiteral("EdBranchCode"));
    ui::setUpperCase(EdBranchCode);
    EdBranchCode->setFixedWidth(100);
    BtSearchBranchCode = ui::lookupButton(Panel1, QStringLiteral("ค้นหารหัสสาขา"));
    LbBranchName = new QLabel(Panel1);
    LbBranchName->setObjectName(QStringLiteral("LbBranchName"));
    LbBranchName->setMinimumWidth(250);
    LGroup = new QLabel(Panel1);
    LGroup->setObjectName(QStringLiteral("LGroup"));
    QFont bold = LGroup->font();
    bold.setBold(true);
    LGroup->setFont(bold);
    LGroup->setStyleSheet(QStringLiteral("color: red;"));
    LStatus = new QLabel(Panel1);
    LStatus->setObjectName(QStringLiteral("LStatus"));
    LStatus->setStyleSheet(QStringLiteral("color: fuchsia;"));

    grid->addWidget(new QLabel(QStringLiteral("เลขที่"), Panel1), 0, 0);
    grid->addWidget(EdOrderNo, 0, 1);
    grid->addWidget(BtSearchOrderNo, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("วันที่"), Panel1), 0, 3);
    grid->addWidget(OrderDate, 0, 4);
    grid->addWidget(LGroup, 0, 5, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("รหัสสาขา"), Panel1), 1, 0);
    grid->addWidget(EdBranchCode, 1, 1);
    grid->addWidget(BtSearchBranchCode, 1, 2);
    grid->addWidget(LbBranchName, 1, 3, 1, 2);
    grid->addWidget(LStatus, 1, 5, 1, 2);
    grid->setColumnStretch(6, 1);
    ClientLayout->addWidget(Panel1);
    setTabOrder(EdOrderNo, EdBranchCode);

    new ui::FieldLink(LbBranchName, &QGetBranch, QStringLiteral("BranchName"));

    ui::on(BtSearchOrderNo, &QToolButton::clicked, this, &TFrOrderSpecial::BtSearchOrderNoClick);
    ui::on(BtSearchBranchCode, &QToolButton::clicked, this,
           &TFrOrderSpecial::BtSearchBranchCodeClick);
    ui::onExit(EdOrderNo, [this] { EdOrderNoExit(); });
    ui::onExit(EdBranchCode, [this] { EdBranchCodeExit(); });
    f5Clicks(EdOrderNo, BtSearchOrderNo);
    f5Clicks(EdBranchCode, BtSearchBranchCode);
}

void TFrOrderSpecial::buildGrid() {
    GridDt = new ui::DbGrid(Client);
    GridDt->setObjectName(QStringLiteral("GridDt"));
    GridDt->setDataset(&QMemOrder);
    auto col = [this](const char* field, int chars, const QString& title, bool editable = false) {
        return GridDt->charColumn(QLatin1String(field), chars, title, editable);
    };
    GridDt->setColumns({col("RecNo", 5, QStringLiteral("ลำดับ")),
                        col("Barcode", 17, QStringLiteral("Barcode"), true),
                        col("ThaiName", 26, QStringLiteral("ชื่อสินค้า")),
                        col("UnitName", 7, QStringLiteral("หน่วยนับ")),
                        col("UnitPicking", 10, QStringLiteral("UnitPicking")),
                        col("OnHand", 9, QStringLiteral("คงเหลือ DC")),
                        col("OnhandBranch", 9, QStringLiteral("คงเหลือสาขา")),
                        col("MinQnty", 6, QStringLiteral("จุดต่ำสุด")),
                        col("MaxQnty", 6, QStringLiteral("จุดสูงสุด")),
                        col("QntyBackOrder", 8, QStringLiteral("ค้างจัด")),
                        col("QntyOrderOK", 10, QStringLiteral("สั่งจัดได้")),
                        col("OrderQnty", 10, QStringLiteral("จำนวน"), true),
                        col("Status", 30, QStringLiteral("สถานะ"))});
    GridDt->setTitlesClickable(false);
    GridDt->setAlternateRowColor(kAlternateRow);
    GridDt->setEnterMovesLikeTab(true);
    GridDt->setAppendOnDown(true);
    GridDt->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    GridDt->setSelectionBehavior(QAbstractItemView::SelectItems);

    GridEditors = new ui::GridEditors(GridDt);
    GridEditors->setLineEditor(
        kBarcodeColumn,
        [this](QLineEdit* e) {
            e->setObjectName(QStringLiteral("Barcode"));
            ui::setUpperCase(e);
            // The editor's own button opens the product lookup.
            QAction* pick = e->addAction(style()->standardIcon(QStyle::SP_FileDialogContentsView),
                                         QLineEdit::TrailingPosition);
            pick->setToolTip(QStringLiteral("ค้นหาสินค้า (F5)"));
            connect(pick, &QAction::triggered, this, ui::guard([this] { BarcodeCustomDlg(); }));
            ui::onKeyDown(e, [this](QKeyEvent& k) { return GridDtKeyDown(k.key()); });
            Barcode = e;
        },
        [this] { BarcodeExit(); });
    // The rounding statement takes the quantity as the server's int, a whole number.
    GridEditors->setNumberEditor(
        kOrderQntyColumn, ui::NumericRange::int32(),
        [this](QLineEdit* e) {
            e->setObjectName(QStringLiteral("EdOrderQnty"));
            EdOrderQnty = e;
        },
        [this] { EdOrderQntyExit(); });
    GridDt->setItemDelegate(GridEditors);
    ui::onKeyDown(GridDt, [this](QKeyEvent& k) { return GridDtKeyDown(k.key()); });
    ClientLayout->addWidget(GridDt, 1);
    trackGridFocus();
}

// The grid's enter and exit: the form's key handling is off while the focus is in the grid
// or its cell editors, so Enter moves between cells and Esc does not close the form.
void TFrOrderSpecial::trackGridFocus() {
    auto inGrid = [this](const QWidget* w) {
        return w != nullptr && (w == GridDt || GridDt->isAncestorOf(w));
    };
    connect(qApp, &QApplication::focusChanged, this, [this, inGrid](QWidget* old, QWidget* now) {
        if (inGrid(now) && !inGrid(old)) {
            GridDtEnter();
        } else if (inGrid(old) && !inGrid(now) && now != nullptr && now->window() == this) {
            GridDtExit();
        }
    });
}

void TFrOrderSpecial::GridDtEnter() {
    setKeyPreview(false);
}

void TFrOrderSpecial::GridDtExit() {
    setKeyPreview(true);
}

QString TFrOrderSpecial::captionText() {
    const QString menuCaption = DmConfig != nullptr ? DmConfig->MenuCaption : QString();
    return menuCaption + QStringLiteral(" (M24.03.26)");
}

QString TFrOrderSpecial::branchText() const {
    return EdBranchCode->text();
}

// ---- document life ------------------------------------------------------------------

void TFrOrderSpecial::FormShow() {
    TFrForm::FormShow();
    BDel->hide();
    BPrint->show();
    AcPrint->setVisible(true);
    AcPrint->setEnabled(true);
    AcSave->setVisible(true);
    DocCode = QStringLiteral("PICKSPECIA");
    const QString caption = captionText();
    ui::setApplicationTitle(caption);
    setWindowTitle(caption);
    AcNewExecute();
}

void TFrOrderSpecial::AcNewExecute() {
    TFrForm::AcNewExecute();
    BtImportExcel->setEnabled(false);
    showImportStatus(false);
    MemoStatusImport->clear();
    LGroup->clear();
    LStatus->clear();
    for (QWidget* w : std::initializer_list<QWidget*>{EdBranchCode, BtSearchBranchCode, EdOrderNo,
                                                      BtSearchOrderNo}) {
        w->setEnabled(true);
    }
    EdOrderNo->clear();
    EdBranchCode->clear();
    EdOrderNo->setFocus();
    AcSave->setEnabled(false);
    AcDel->setEnabled(false);
    GridDt->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Order.reset();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    LoadOrder(QString());
}

void TFrOrderSpecial::LoadOrder(const QString& number) {
    Order.load(number);
    BDel->hide();
    if (IsNewOrder) {
        BPrint->setEnabled(false);
        OrderDate->setDate(DM->ServerDateTime().date());
        BtImportExcel->setEnabled(true);
        if (autoNumbered(false)) {
            EdOrderNo->clear(); // the number is issued at saving
        }
        EdBranchCode->clear();
        Order.showBranch(QString());
    } else {
        showStored();
    }
    if (!QMemOrder.isEmpty()) {
        QMemOrder.first();
    }
}

void TFrOrderSpecial::showStored() {
    BDel->show();
    AcDel->setEnabled(Order.movedOnRows() == 0 && DmConfig->AddRight);
    EdOrderNo->setText(Order.orderNo());
    OrderDate->setDate(Order.orderDate().date());
    EdBranchCode->setText(Order.branchCode());
    Order.showBranch(Order.branchCode());
    BPrint->setEnabled(true);
}

bool TFrOrderSpecial::autoNumbered(bool reread) {
    return Order.numbersIssuedAtSaving(OrderDate->date().startOfDay(), reread);
}

void TFrOrderSpecial::EdOrderNoExit() {
    LoadOrder(EdOrderNo->text());
    EdOrderNo->setEnabled(false);
    BtSearchOrderNo->setEnabled(false);
    const bool isNew = IsNewOrder;
    EdBranchCode->setEnabled(isNew);
    BtSearchBranchCode->setEnabled(isNew);
    BtImportExcel->setEnabled(isNew);
    if (!isNew) {
        GridDt->setFocus();
    }
    if (!autoNumbered(true) && EdOrderNo->text().trimmed().isEmpty()) {
        message(QStringLiteral("คุณไม่ได้ป้อนเลขที่เอกสาร !!"));
    }
}

void TFrOrderSpecial::EdBranchCodeExit() {
    switch (Order.checkBranch(EdBranchCode->text())) {
    case orders::BranchCheck::Empty:
        return;
    case orders::BranchCheck::Unknown:
        message(QStringLiteral("ไม่พบรหัสสาขาที่ป้อน !!"));
        AcNewExecute();
        return;
    case orders::BranchCheck::OutOfOperation:
        // Its rows would never be picked: picking passes over branches out of operation.
        message(QStringLiteral("สาขา ") + QGetBranch[QStringLiteral("BranchCode")].asString() +
                QStringLiteral(" ปิดดำเนินการแล้ว ไม่สามารถสั่งสินค้าให้สาขานี้ได้ !!"));
        AcNewExecute();
        return;
    case orders::BranchCheck::Known:
        break;
    }
    EdBranchCode->setText(QGetBranch[QStringLiteral("BranchCode")].asString());
    AcSave->setEnabled(IsNewOrder && DmConfig->AddRight);
    EdBranchCode->setEnabled(false);
    BtSearchBranchCode->setEnabled(false);
    if (IsNewOrder) {
        GridDt->setEditTriggers(QAbstractItemView::AnyKeyPressed |
                                QAbstractItemView::DoubleClicked |
                                QAbstractItemView::EditKeyPressed);
        if (QMemOrder.isEmpty()) {
            QMemOrder.append(); // a line to type the first barcode into
            QMemOrder.post();
        }
    }
    GridDt->setFocus();
    GridDt->setSelectedField(QStringLiteral("Barcode"));
}

void TFrOrderSpecial::BtSearchOrderNoClick() {
    TFrSearchOrderSpecialNo lookup(this);
    if (ui::execModal(lookup) == QDialog::Accepted) {
        EdOrderNo->setText(lookup.SelectedCode);
    }
}

void TFrOrderSpecial::BtSearchBranchCodeClick() {
    TFrSearchBranch lookup(this);
    lookup.IncludeFSBranches = true;
    if (ui::execModal(lookup) == QDialog::Accepted) {
        EdBranchCode->setFocus();
        EdBranchCode->setText(lookup.SelectedCode);
    }
}

// ---- lines --------------------------------------------------------------------------

bool TFrOrderSpecial::GridDtKeyDown(int key) {
    const db::Field* field = GridDt->selectedField();
    if (key != Qt::Key_F5 || field == nullptr ||
        util::upperAscii(field->name().trimmed()) != QLatin1String("BARCODE")) {
        return false;
    }
    BarcodeCustomDlg();
    return true;
}

void TFrOrderSpecial::BarcodeExit() {
    const QString typed =
        Barcode ? Barcode->text() : QMemOrder[QStringLiteral("Barcode")].asString();
    Order.enterBarcode(typed, branchText());
}

void TFrOrderSpecial::BarcodeCustomDlg() {
    // Lines are typed only on a new order whose branch is fixed.
    if (GridDt->editTriggers() == QAbstractItemView::NoEditTriggers || QMemOrder.isEmpty()) {
        return;
    }
    TF_SearchProductUnitsTivasMaster lookup(this);
    lookup.SmallUnitOnly = QStringLiteral("Y");
    if (ui::execModal(lookup) != QDialog::Accepted) {
        return;
    }
    const QString picked = util::upperAscii(lookup.SelectedBarcode.trimmed());
    GridDt->setSelectedField(QStringLiteral("Barcode"));
    if (!GridDt->isEditing()) {
        GridDt->setFocus();
        GridDt->edit(GridDt->currentIndex());
    }
    if (Barcode) {
        Barcode->setFocus();
        Barcode->setText(picked);
        GridDt->finishEditing(); // stores the barcode and runs BarcodeExit
    }
}

void TFrOrderSpecial::EdOrderQntyExit() {
    if (!QMemOrder.isActive() || QMemOrder.isEmpty()) {
        return;
    }
    Order.roundQuantityUp();
    if (Order.exceedsStock()) {
        message(QStringLiteral("มีสินค้าคงเหลือไม่พอจัดให้สาขา"));
        Order.clearQuantity();
    }
    if (!CheckOrderQnty()) {
        message(QStringLiteral("Barcode : ") + QMemOrder[QStringLiteral("Barcode")].asString() +
                QChar(13) + QStringLiteral("ไม่สามารถ สั่งสินค้าเกินจำนวน สั่งจัดได้ !!"));
    }
    QMemOrder.post();
}

bool TFrOrderSpecial::CheckOrderQnty() {
    return Order.CheckOrderQnty(branchText());
}

// ---- cancelling, saving, printing, importing ----------------------------------------

void TFrOrderSpecial::AcDelExecute() {
    if (IsNewOrder || !DmConfig->AddRight || Order.movedOnRows() != 0) {
        return;
    }
    if (!DM->ConfirmDialog(QStringLiteral("ยกเลิกใบสั่งพิเศษเลขที่ ") + Order.orderNo() +
                           QStringLiteral(" ?"))) {
        return;
    }
    const orders::CancelOutcome outcome = Order.cancel();
    showStored();
    if (outcome == orders::CancelOutcome::MovedOn) {
        message(QStringLiteral("มีรายการของใบสั่งนี้เข้าสู่การจัดสินค้าแล้ว ไม่สามารถยกเลิกได้ !!"));
    }
}

void TFrOrderSpecial::AcSaveExecute() {
    // One save at a time: F10 again while this one runs starts nothing.
    if (saving_) {
        return;
    }
    saving_ = true;
    auto done = qScopeGuard([this] { saving_ = false; });
    GridDt->finishEditing(); // a barcode or quantity still in its cell counts
    if (!QMemOrder.isActive() || !IsNewOrder) {
        return;
    }
    const QStringList refused = Saving.prepare(branchText());
    for (const QString& text : refused) {
        message(text);
    }
    if (!refused.isEmpty() || Saving.lineCount() == 0 ||
        !DmConfig->ConfirmDialog(QStringLiteral("บันทึก ?"))) {
        return;
    }
    OrderDate->setDate(DM->ServerDateTime().date());
    saveOrder();
}

void TFrOrderSpecial::showProgress(QLabel* label, const QString& text) {
    label->setText(text);
    QApplication::processEvents(); // repaints; the input block drops any key or click
}

void TFrOrderSpecial::saveOrder() {
    const QString typedNumber = EdOrderNo->text();
    // Nothing stored: the number field as it was.
    auto putBack = qScopeGuard([&] { EdOrderNo->setText(typedNumber); });
    orders::SaveProgress progress;
    progress.numbered = [this](const QString& number) { EdOrderNo->setText(number); };
    progress.step = [this](const QString& status, const QString& group) {
        if (!group.isEmpty()) {
            showProgress(LGroup, group);
        }
        showProgress(LStatus, status);
    };
    orders::SaveReport outcome;
    {
        ui::InputBlock block;
        outcome = Saving.save(
            {branchText(), DmConfig->UserId, typedNumber, OrderDate->date().startOfDay()},
            progress);
    }
    switch (outcome.result) {
    case orders::SaveResult::Saved:
        putBack.dismiss();
        {
            printAfterSave_ = outcome.number;
            auto forget = qScopeGuard([this] { printAfterSave_.clear(); });
            // The order is stored whatever the printing does: a failure there is reported
            // and the fresh document follows all the same.
            ui::guard([this] { AcPrintExecute(); })();
        }
        AcNewExecute();
        StatusPanels[0]->setText(QStringLiteral("บันทึกใบสั่งพิเศษเลขที่ ") + outcome.number +
                                 QStringLiteral(" เรียบร้อยแล้ว"));
        return;
    case orders::SaveResult::NothingToSave:
        return;
    case orders::SaveResult::LinesRefused:
        for (const QString& text : outcome.messages) {
            message(text);
        }
        return;
    case orders::SaveResult::NumberMissing:
        message(QStringLiteral("คุณไม่ได้ป้อนเลขที่เอกสาร !!"));
        return;
    case orders::SaveResult::NumberTaken:
        message(QStringLiteral("เลขที่เอกสาร ") + outcome.number +
                QStringLiteral(" ถูกบันทึกจากเครื่องอื่นแล้ว ไม่สามารถบันทึกซ้ำได้ !!"));
        return;
    case orders::SaveResult::CountMismatch:
        message(QStringLiteral("Order มีปัญหา กรุณาแจ้งแผนก คอม ") + QString::number(outcome.lines) +
                QStringLiteral(" X ") + QString::number(outcome.rows));
        return;
    }
}

// The pick lists of the stored order on screen, or of the order just saved, in a preview
// from which they are printed. A new order has nothing stored to print.
void TFrOrderSpecial::AcPrintExecute() {
    const QString number = !printAfterSave_.isEmpty() ? printAfterSave_
                           : IsNewOrder               ? QString()
                                                      : Order.orderNo();
    if (number.trimmed().isEmpty()) {
        return;
    }
    const orders::PickListSet lists = Picking.read(number);
    if (lists.isEmpty()) {
        message(QStringLiteral("ไม่พบรายการของใบสั่งพิเศษเลขที่ ") + number);
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setDocName(QStringLiteral("PickList-") + lists.orderNo);
    QPrintPreviewDialog preview(&printer, this);
    preview.setObjectName(QStringLiteral("PickListPreview"));
    preview.setWindowTitle(QStringLiteral("ใบจัดสินค้า ใบสั่งพิเศษเลขที่ ") + lists.orderNo);
    connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
            ui::guard([&lists](QPrinter* target) { PickListPrinter::print(lists, *target); }));
    ui::execModal(preview);
}

void TFrOrderSpecial::BtImportExcelClick() {
    if (EdBranchCode->text().trimmed().isEmpty()) {
        message(QStringLiteral("ไม่ได้ป้อนสาขา"));
        EdBranchCode->setFocus();
        return;
    }
    const QString path = chooseSpreadsheet();
    if (path.isEmpty()) {
        return;
    }
    showImportStatus(true);
    addStatus(QStringLiteral("กำลัง Load ไฟล์Excel"));
    try {
        ui::InputBlock block; // the list and grid repaint; no key or click reaches the form
        importFile(path);
    } catch (const sheet::SheetError& e) {
        // The file, or a cell of it, could not be read: the lines made so far stay.
        message(e.message());
    }
    BtSaveRejected->setEnabled(!Importing.rejected().empty());
}

void TFrOrderSpecial::showImportStatus(bool shown) {
    MemoStatusImport->setVisible(shown);
    BtSaveRejected->setVisible(shown);
}

void TFrOrderSpecial::BtSaveRejectedClick() {
    QFileDialog SaveDialog(this);
    SaveDialog.setObjectName(QStringLiteral("SaveDialog"));
    SaveDialog.setOption(QFileDialog::DontUseNativeDialog);
    SaveDialog.setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog.setDefaultSuffix(QStringLiteral("csv"));
    SaveDialog.setNameFilters({QStringLiteral("CSV (*.csv)"), QStringLiteral("All files (*)")});
    SaveDialog.selectFile(QStringLiteral("rejected-rows.csv"));
    if (ui::execModal(SaveDialog) != QDialog::Accepted || SaveDialog.selectedFiles().isEmpty()) {
        return;
    }
    try {
        Importing.writeRejected(SaveDialog.selectedFiles().constFirst());
    } catch (const sheet::SheetError& e) {
        message(e.message());
    }
}

QString TFrOrderSpecial::chooseSpreadsheet() {
    QFileDialog OpenDialog1(this);
    OpenDialog1.setObjectName(QStringLiteral("OpenDialog1"));
    OpenDialog1.setOption(QFileDialog::DontUseNativeDialog);
    OpenDialog1.setFileMode(QFileDialog::ExistingFile);
    OpenDialog1.setNameFilters(
        {QStringLiteral("Spreadsheets (*.xlsx *.xlsm *.xls *.ods *.csv *.txt)"),
         QStringLiteral("All files (*)")});
    if (ui::execModal(OpenDialog1) != QDialog::Accepted || OpenDialog1.selectedFiles().isEmpty()) {
        return QString();
    }
    return OpenDialog1.selectedFiles().constFirst();
}

void TFrOrderSpecial::addStatus(const QString& line) {
    MemoStatusImport->appendPlainText(line);
}

void TFrOrderSpecial::importFile(const QString& path) {
    QApplication::processEvents();
    const sheet::UsedRange range = sheet::readFirstSheet(path);
    addStatus(QStringLiteral("กำลัง CheckFormat ไฟล์Excel"));
    QApplication::processEvents();
    if (!orders::SpecialOrderImport::headerFits(range)) {
        addStatus(QStringLiteral("Fomat Excel ไม่ถูกต้อง  Column ใน Excel ต้องเป็น "
                                 "BarCode,ThaiName,UOM,Order_Qty"));
        message(QStringLiteral("Fomat Excel ไม่ถูกต้อง ") + QStringLiteral("\r\n") +
                QStringLiteral("Column ใน Excel ต้องเป็น") + QStringLiteral("\r\n") +
                QStringLiteral("BarCode,ThaiName,UOM,Order_Qty"));
        showImportStatus(false);
        MemoStatusImport->clear();
        return; // a wrong file changes nothing: the lines on screen stay
    }
    Importing.stage(range);
    Importing.clearLines();
    GridDt->setFocus();
    GridDt->setSelectedField(QStringLiteral("Barcode"));
    QApplication::processEvents(); // the emptied grid and the list so far
    if (!QTempImport.isEmpty()) {
        addStatus(QString(66, QLatin1Char('-')));
        addStatus(QStringLiteral("กำลัง Insert Grid "));
        orders::ImportFeedback feedback;
        feedback.status = [this](const QString& line) { addStatus(line); };
        feedback.repaint = [] { QApplication::processEvents(); };
        Importing.fillLines(branchText(), feedback);
    }
    addStatus(QString(54, QLatin1Char('-')));
}
