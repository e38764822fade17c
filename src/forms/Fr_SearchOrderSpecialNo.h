#pragma once

#include "forms/Fr_Search.h"

// The lookup of special order numbers: one row per number, date and branch of the
// special-order rows of the transfer table; newest first. Empty until searched.
class TFrSearchOrderSpecialNo : public TFrSearch {
    Q_OBJECT
public:
    explicit TFrSearchOrderSpecialNo(QWidget* parent = nullptr);

    void FormShow() override;
    // Sets the number prefix filter from Code and runs the base search step once.
    void BtSearchClick() override;

    static QStringList statementLines();
};
