#pragma once

#include "forms/Fr_Form.h"
#include "platform/db/Query.h"
#include "platform/db/Script.h"

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

    // Offers the separate Approved button; start-up sets it false before the form is shown.
    bool ShowApprove = false;
    QString DocCode;     // document code for numbering
    QString VersionText; // shown in the caption and stored with each saved order
    bool IsNewOrder = false;
    bool CheckStock = false;

    QAction* AcApproved = nullptr;
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

    db::Query QHd;
    db::UpdateSql UHd;
    db::Query QDt;
    db::UpdateSql UDt;
    db::Query QGetBarcode;
    db::Query QLoadN;
    db::Query QChkOnHand;
    db::Query QRoundup;
    db::Query QStillOpen;
    db::Script SQLInsertTranBranch;

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

    // The figures the footer shows.
    double quantityTotal() const { return quantityTotal_; }
    double availableStock() const { return availableStock_; }

private:
    void buildHeader();
    void buildGrid();
    void buildFooter();
    void setFooter(QLineEdit* box, double value);
    void saveOrder(bool approveOnly);
    QString userCode();
    QDateTime serverDate();
    bool headerStillOpen();

    double quantityTotal_ = 0;
    double availableStock_ = 0;
    bool saving_ = false;
};
