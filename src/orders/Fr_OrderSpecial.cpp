#include "orders/Fr_OrderSpecial.h"

#include "data/Dm_Config.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Modal.h"

#include <QAction>
#include <QToolButton>

TFrOrderSpecial::TFrOrderSpecial(QWidget* parent) : TFrForm(parent) {
    setClientSize(1140, 695);

    BtImportExcel = addToolButton(QStringLiteral("Import Excel"), 4);
    setToolButtonWidth(65);

    connect(AcSave, &QAction::triggered, this, ui::guard([this] { AcSaveExecute(); }));
    connect(AcPrint, &QAction::triggered, this, ui::guard([this] { AcPrintExecute(); }));
    connect(BtImportExcel, &QToolButton::clicked, this,
            ui::guard([this] { BtImportExcelClick(); }));
}

QString TFrOrderSpecial::captionText() {
    const QString menuCaption = DmConfig != nullptr ? DmConfig->MenuCaption : QString();
    return menuCaption + QStringLiteral(" (M24.03.26)");
}

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
    AcSave->setEnabled(false);
    AcDel->setEnabled(false);
}

void TFrOrderSpecial::AcSaveExecute() {}

// The special order has no print layout: printing is offered but does nothing.
void TFrOrderSpecial::AcPrintExecute() {}

void TFrOrderSpecial::BtImportExcelClick() {}
