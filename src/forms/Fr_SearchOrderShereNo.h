#pragma once

#include "forms/Fr_Search.h"

class QLabel;
class QLineEdit;

// The lookup of share order numbers, filtered by number and barcode prefixes; newest
// first. Cancelled orders are drawn red and cannot be chosen. Empty until searched.
class TFrSearchOrderShereNo : public TFrSearch {
    Q_OBJECT
public:
    explicit TFrSearchOrderShereNo(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLineEdit* Barcode = nullptr;

    void FormShow() override;
    // Sets both prefix filters from the edits and runs the base search step once.
    void BtSearchClick() override;

    static QStringList statementLines();
};
