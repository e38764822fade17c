#pragma once

#include "forms/Fr_Search.h"

// The lookup of branches in operation, from the configuration database; returns the
// branch code. It lists every branch when shown.
class TFrSearchBranch : public TFrSearch {
    Q_OBJECT
public:
    explicit TFrSearchBranch(QWidget* parent = nullptr);

    // Set by the caller before showing: false leaves out the branches whose code begins
    // with "FS".
    bool IncludeFSBranches = false;

    void FormShow() override;
    // Builds the statement afresh from its base lines, filters by the text of Code anywhere
    // in the branch code, and runs the base search step.
    void BtSearchClick() override;

    static QStringList baseLines();
};
