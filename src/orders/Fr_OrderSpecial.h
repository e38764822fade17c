#pragma once

#include "forms/Fr_Form.h"
#include "orders/PickLists.h"
#include "orders/SpecialOrder.h"
#include "orders/SpecialOrderImport.h"
#include "orders/SpecialOrderSave.h"

#include <QPointer>
#include <QString>

class QDateEdit;
class QFileDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace ui {
class DbGrid;
class GridEditors;
} // namespace ui

// The special order ("ใบสั่งพิเศษ"): many products for one branch, entered by barcode or
// imported from a spreadsheet. A stored order is shown read-only; only cancelling changes
// it.
class TFrOrderSpecial : public TFrForm {
    Q_OBJECT
public:
    explicit TFrOrderSpecial(QWidget* parent = nullptr);
    ~TFrOrderSpecial() override;

    // The document's database work; the names below are its datasets and state.
    orders::SpecialOrder Order;
    orders::SpecialOrderSave Saving{Order};
    orders::SpecialOrderImport Importing{Order};
    orders::PickLists Picking;

    QString& DocCode = Order.DocCode; // document code for numbering
    bool& IsNewOrder = Order.IsNewOrder;

    QToolButton* BtImportExcel = nullptr;
    QFrame* Panel1 = nullptr;
    QLineEdit* EdOrderNo = nullptr;
    QToolButton* BtSearchOrderNo = nullptr;
    QDateEdit* OrderDate = nullptr;
    QLineEdit* EdBranchCode = nullptr;
    QToolButton* BtSearchBranchCode = nullptr;
    QLabel* LbBranchName = nullptr;
    QLabel* LGroup = nullptr;
    QLabel* LStatus = nullptr;
    ui::DbGrid* GridDt = nullptr;
    ui::GridEditors* GridEditors = nullptr;
    QPlainTextEdit* MemoStatusImport = nullptr;
    QPushButton* BtSaveRejected = nullptr; // beside the status list after an import
    // The grid's cell editors while open.
    QPointer<QLineEdit> Barcode;
    QPointer<QLineEdit> EdOrderQnty;

    db::MemTable& QMemOrder = Order.QMemOrder;
    db::MemTable& MemoryPick = Order.MemoryPick;
    db::Query& QGetBranch = Order.QGetBranch;
    db::Query& QLoad = Order.QLoad;
    db::Query& QGetBarcode = Order.QGetBarcode;
    db::Query& QChkOnHand = Order.QChkOnHand;
    db::Query& QRoundup = Order.QRoundup;
    db::Query& QTranBranch = Saving.QTranBranch;
    db::MemTable& QTempImport = Importing.QTempImport;

    void FormShow() override;
    void AcNewExecute() override;
    void LoadOrder(const QString& number);
    void EdOrderNoExit();
    void EdBranchCodeExit();
    void BtSearchOrderNoClick();
    void BtSearchBranchCodeClick();
    void GridDtEnter();
    void GridDtExit();
    bool GridDtKeyDown(int key);
    void BarcodeExit();
    void BarcodeCustomDlg();
    void EdOrderQntyExit();
    bool CheckOrderQnty();
    void AcDelExecute();
    void AcSaveExecute();
    void AcPrintExecute();
    void BtImportExcelClick();
    void BtSaveRejectedClick();

    // The caption and application title while shown: the menu caption and the version.
    static QString captionText();

private:
    void buildHeader();
    void buildGrid();
    void trackGridFocus();
    void showStored();
    bool autoNumbered(bool reread);
    void saveOrder();
    QString chooseSpreadsheet();
    void importFile(const QString& path);
    void addStatus(const QString& line);
    void showImportStatus(bool shown);
    void showProgress(QLabel* label, const QString& text);

    bool saving_ = false;
    // The number of the order just saved while its pick lists are printed; the document on
    // screen is still the new one then.
    QString printAfterSave_;
    QString branchText() const;
};
