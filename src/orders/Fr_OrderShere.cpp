#include "orders/Fr_OrderShere.h"

#include "platform/ui/Guard.h"

#include <QAction>
#include <QToolButton>

TFrOrderShere::TFrOrderShere(QWidget* parent) : TFrForm(parent) {
    // The design caption; FormShow copies it into the application title before replacing it.
    setWindowTitle(QStringLiteral("ใบแบ่ง"));
    setClientSize(1156, 560);

    AcApproved = new QAction(ImageList1.value(7), QStringLiteral("AcApproved"), this);
    QWidget::addAction(AcApproved);
    ActionList1 << AcApproved;
    BApproved = addToolButton(AcApproved);
    BApproved->setText(QStringLiteral("Approved"));

    connect(AcSave, &QAction::triggered, this, ui::guard([this] { AcSaveExecute(); }));
    connect(AcApproved, &QAction::triggered, this, ui::guard([this] { AcApprovedExecute(); }));
}

void TFrOrderShere::FormShow() {
    TFrForm::FormShow();
    BDel->hide();
    DocCode = QStringLiteral("ORD-SHARE");
    VersionText = QStringLiteral("M22.07.22");
    setWindowTitle(QStringLiteral("บันทึกใบแบ่ง Approved AUTO (") + VersionText + QStringLiteral(")"));
    BApproved->setVisible(ShowApprove);
    AcNewExecute();
}

void TFrOrderShere::AcNewExecute() {
    TFrForm::AcNewExecute();
    if (ShowApprove) {
        BApproved->setEnabled(false);
    }
    AcSave->setEnabled(false);
    AcDel->setEnabled(false);
}

void TFrOrderShere::AcSaveExecute() {}

void TFrOrderShere::AcApprovedExecute() {}
