#pragma once

#include "forms/Fr_Form.h"

#include <QString>

class QAction;
class QToolButton;

// The share order ("ใบแบ่ง"): one product shared out over the branches in operation.
class TFrOrderShere : public TFrForm {
    Q_OBJECT
public:
    explicit TFrOrderShere(QWidget* parent = nullptr);

    // Offers the separate Approved button; start-up sets it false before the form is shown.
    bool ShowApprove = false;
    // Document code for numbering.
    QString DocCode;
    // Program version, shown in the caption and stored with each saved order.
    QString VersionText;

    QAction* AcApproved = nullptr;
    QToolButton* BApproved = nullptr;

    void FormShow() override;
    void AcNewExecute() override;
    void AcSaveExecute();
    void AcApprovedExecute();
};
