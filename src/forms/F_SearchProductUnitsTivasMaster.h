#pragma once

#include "platform/db/Query.h"

#include <QDialog>
#include <QString>

class QCheckBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ui {
class DbGrid;
}

// The lookup of product units of the product master (one row per barcode with its selling
// price of the company's price type), by product name and barcode. It stands alone: it is
// not built on the lookup base.
//
// Caller protocol: create it, set SmallUnitOnly, show it with ui::execModal, read
// SelectedBarcode only when the result is QDialog::Accepted, then free it.
class TF_SearchProductUnitsTivasMaster : public QDialog {
    Q_OBJECT
public:
    explicit TF_SearchProductUnitsTivasMaster(QWidget* parent = nullptr);
    ~TF_SearchProductUnitsTivasMaster() override;

    // "Y": only the products' smallest units are listed.
    QString SmallUnitOnly;
    // The barcode of the chosen row; emptied when the lookup is shown.
    QString SelectedBarcode;

    QLabel* Label1 = nullptr;
    QLineEdit* InputName = nullptr;
    QPushButton* BSearch = nullptr;
    QPushButton* Bok = nullptr;
    QPushButton* BCancel = nullptr;
    QCheckBox* FullWord = nullptr;
    QLabel* LbBarcode = nullptr;
    QLineEdit* EdBarcode = nullptr;
    ui::DbGrid* SearchGrid = nullptr;
    db::Query Query1;

    void FormShow();
    // Builds the statement line by line from the edits and runs it; the typed texts are
    // bound as parameters, never written into the statement.
    void BSearchClick();
    // Chooses the current row when there is one; otherwise the lookup stays open.
    void BokClick();
    void BCancelClick();
    void SearchGridDblClick();

    bool InputNameKeyDown(QKeyEvent& key);
    bool SearchGridKeyDown(QKeyEvent& key);
    bool FormKeyDown(QWidget* control, QKeyEvent& key);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};
