#pragma once

#include "forms/Fr_Form.h"
#include "orders/ShareOrder.h"

#include <QString>

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QToolButton;

namespace ui {
class DbGrid;
class GridEditors;
} // namespace ui

// The share order ("ใบแบ่ง"): one product, named by the barcode of its smallest unit,
// shared out over the branches in operation. Saving numbers the order, stores header and
// branch lines and approves it at once, writing one transfer-order row per branch with a
// quantity.
class TFrOrderShere : public TFrForm {
    Q_OBJECT
public:
    explicit TFrOrderShere(QWidget* parent = nullptr);
    ~TFrOrderShere() override;

    // The document's database work; the names below are its datasets and state.
    orders::ShareOrder Order;

    // Offers the separate Approved button; start-up sets it false before the form is shown.
    bool ShowApprove = false;
    QString& DocCode = Order.DocCode;         // document code for numbering
    QString& VersionText = Order.VersionText; // shown in the caption, stored with each order
    bool& IsNewOrder = Order.IsNewOrder;
    bool& CheckStock = Order.CheckStock;

    QAction* AcApproved = nullptr;
    QAction* AcSuggest = nullptr; // fills the quantities by the branches' min/max levels
    QToolButton* BSuggest = nullptr;
    QToolButton* BApproved = nullptr;

    QFrame* PanelHead = nullptr;
    QLineEdit* EdOrderNO = nullptr;
    QToolButton* BtSearchOrderNo = nullptr;
    QLineEdit* EdOrderDate = nullptr;
    QLineEdit* EdBarcode = nullptr;
    QToolButton* BtSearchBarcode = nullptr;
    QLabel* LbProductName = nullptr;
    QLabel* LbUnitName = nullptr;
    QLineEdit* EUnitPicking = nullptr;
    QLineEdit* BuyingDecisionCode = nullptr;
    ui::DbGrid* GridDt = nullptr;
    ui::GridEditors* GridEditors = nullptr;
    QFrame* PanelLast = nullptr;
    QLineEdit* EdOnHand = nullptr;
    QLineEdit* EdQntyTotal = nullptr;

    db::Query& QHd = Order.QHd;
    db::Query& QDt = Order.QDt;
    db::Query& QGetBarcode = Order.QGetBarcode;
    db::Query& QLoadN = Order.QLoadN;
    db::Query& QChkOnHand = Order.QChkOnHand;
    db::Query& QRoundup = Order.QRoundup;
    db::Script& SQLInsertTranBranch = Order.SQLInsertTranBranch;

    void FormShow() override;
    void AcNewExecute() override;
    void LoadOrder(const QString& number);
    void EdOrderNOExit();
    void BtSearchOrderNoClick();
    void EdBarcodeExit();
    void BtSearchBarcodeClick();
    void EdOrderQntyExit();
    bool CheckQuantities(bool checkStock);
    void GridDtFieldChanged(db::Field* field);
    void AcSaveExecute();
    void AcApprovedExecute();
    void AcSuggestExecute();

    // The figures the footer shows.
    double quantityTotal() const { return quantityTotal_; }
    double availableStock() const { return availableStock_; }

private:
    void buildHeader();
    void buildGrid();
    void buildFooter();
    void setFooter(QLineEdit* box, double value);
    void stockShort(double available);
    void showState();
    void updateSuggest();
    void saveOrder(bool approveOnly);

    double quantityTotal_ = 0;
    double availableStock_ = 0;
    bool saving_ = false;
};
