#include "forms/Fr_SearchBranch.h"

#include "platform/ui/DbGrid.h"

#include <QLabel>
#include <QLineEdit>

TFrSearchBranch::TFrSearchBranch(QWidget* parent) : TFrSearch(parent) {
    setWindowTitle(QStringLiteral("ค้นหาข้อมูลสาขา"));
    Label3->setText(QStringLiteral("รายชื่อสาขา"));
    setClientSize(553, 279);
    QSearch.setConnectionName(QStringLiteral("DmCfg"));
    QSearch.setSqlLines(baseLines());
    DgSearch->setColumns({{QStringLiteral("BranchCode"), QStringLiteral("รหัสสาขา"), 120},
                          {QStringLiteral("BranchName"), QStringLiteral("รายชื่อสาขา"), 250}});
}

QStringList TFrSearchBranch::baseLines() {
    return {QStringLiteral("Select BranchCode, BranchName"), QStringLiteral("From Branch"),
            QStringLiteral("Where (BranchCode Like :GNO) and (StopDatabase = 'N')"),
            QStringLiteral(" ")};
}

void TFrSearchBranch::FormShow() {
    TFrSearch::FormShow();
    KeyFieldName = QStringLiteral("BRANCHCODE");
    BtSearchClick();
}

void TFrSearchBranch::BtSearchClick() {
    QSearch.close();
    QStringList lines = baseLines();
    if (!IncludeFSBranches) {
        lines << QStringLiteral("And Left(Branchcode ,2) <> 'FS' ");
    }
    lines << QStringLiteral("Order By BranchNo");
    QSearch.setSqlLines(lines);
    // The text as typed (upper case, not trimmed), matched anywhere in the code.
    QSearch.params().set(QStringLiteral("GNO"), QLatin1Char('%') + Code->text() + QLatin1Char('%'));
    TFrSearch::BtSearchClick();
}
