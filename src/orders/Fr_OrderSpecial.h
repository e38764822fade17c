#pragma once

#include "forms/Fr_Form.h"

#include <QString>

class QToolButton;

// The special order: one branch, many products entered by barcode or imported.
class TFrOrderSpecial : public TFrForm {
    Q_OBJECT
public:
    explicit TFrOrderSpecial(QWidget* parent = nullptr);

    // Document code for numbering.
    QString DocCode;

    QToolButton* BtImportExcel = nullptr;

    void FormShow() override;
    void AcNewExecute() override;
    void AcSaveExecute();
    void AcPrintExecute();
    void BtImportExcelClick();

    // The caption and application title while shown: the menu caption and the version.
    static QString captionText();
};
