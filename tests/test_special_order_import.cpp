// Importing a special order's lines from a spreadsheet file, on the demo server, headless.
#include "orders/Fr_OrderSpecial.h"
#include "platform/db/DbError.h"
#include "platform/sheet/Sheet.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Modal.h"
#include "support/DemoModules.h"
#include "support/GuiApp.h"
#include "support/Statements.h"
#include "support/TestProducts.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

using testing_support::bind;
using testing_support::exec;
using testing_support::scalar;

const QString kPack12 = QStringLiteral("8850000000102"); // pack 12, 1,608 at the centre
const QString kOther = QStringLiteral("8850000000508");  // pack 12, 334 at the centre
const QString kHeader = QStringLiteral("BarCode,ThaiName,UOM,Order_Qty\n");
const QString kStockLine = QStringLiteral(" มีสินค้าคงเหลือไม่พอจัดให้สาขา ");

class SpecialImport : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::guiApp();
        form_ = std::make_unique<TFrOrderSpecial>();
        form_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
        form_->EdOrderNoExit();
        form_->EdBranchCode->setText(QStringLiteral("B003"));
        form_->EdBranchCodeExit();
    }
    void TearDown() override {
        EXPECT_TRUE(errors_.empty()) << errors_.joined();
        form_.reset();
    }

    // Imports a csv file of these lines, picked in the open dialog.
    void import(const QString& text) {
        const QString path = dir_.filePath(QStringLiteral("lines%1.csv").arg(++files_));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(text.toUtf8());
        f.close();
        importFile(path);
    }
    void importFile(const QString& path) {
        prompts_.answerModal([path](QDialog& d) {
            auto& dialog = dynamic_cast<QFileDialog&>(d);
            EXPECT_EQ(dialog.nameFilters().value(0),
                      QStringLiteral("Spreadsheets (*.xlsx *.xlsm *.xls *.ods *.csv *.txt)"));
            dialog.selectFile(path);
            return int(QDialog::Accepted);
        });
        form_->BtImportExcel->click();
    }
    QStringList barcodes() {
        QStringList out;
        db::MemTable& lines = form_->QMemOrder;
        for (int r = 0; r < lines.recordCount(); ++r) {
            out << lines.valueAt(r, lines.fieldByName(QStringLiteral("Barcode")).index())
                       .toString();
        }
        return out;
    }
    QVariant at(int row, const char* field) {
        db::MemTable& lines = form_->QMemOrder;
        return lines.valueAt(row, lines.fieldByName(QLatin1String(field)).index());
    }
    QStringList statusLines() {
        return form_->MemoStatusImport->toPlainText().split(QLatin1Char('\n'));
    }

    testing_support::DemoModules modules_{1, 102};
    ui::ScriptedModalPrompts prompts_;
    ui::ScopedPrompts scope_{prompts_};
    testing_support::ErrorCapture errors_;
    std::unique_ptr<TFrOrderSpecial> form_;
    QTemporaryDir dir_;
    int files_ = 0;
};

TEST_F(SpecialImport, LinesAreFilledAsTypedBarcodesWithTheStatusOfEachRow) {
    const QString elevenOnHand = testing_support::addProduct(1, {{"A01", 11}}, "Y", 12);
    // A line typed before the import goes.
    form_->QMemOrder.edit();
    form_->QMemOrder[QStringLiteral("Barcode")].setValue(kOther);
    form_->BarcodeExit();

    import(QStringLiteral("barcode,thainame,uom,order_qty\n") + kPack12 + ",x,y,10\n" +
           ",skipped,,5\n" + "NO-SUCH,,,5\n" + kPack12 + ",again,,24\n" + elevenOnHand + ",,,10\n" +
           kOther.toLower() + " ,,,25\n");
    EXPECT_TRUE(prompts_.texts().isEmpty());
    EXPECT_EQ(barcodes(), (QStringList{kPack12, elevenOnHand, kOther}));
    EXPECT_EQ(at(0, "OrderQnty").toDouble(), 12) << "10 in packs of 12";
    EXPECT_EQ(at(1, "OrderQnty").toDouble(), 0) << "12 is more than the 11 on hand";
    EXPECT_EQ(at(2, "OrderQnty").toDouble(), 36);
    EXPECT_EQ(at(2, "RecNo").toInt(), 4) << "numbering goes on from the typed line";
    EXPECT_EQ(
        statusLines(),
        (QStringList{QStringLiteral("กำลัง Load ไฟล์Excel"),
                     QStringLiteral("กำลัง CheckFormat ไฟล์Excel"), QString(66, '-'),
                     QStringLiteral("กำลัง Insert Grid "), QStringLiteral("ไม่พบ Barcode : NO-SUCH"),
                     QStringLiteral("ไม่พบ Barcode : ") + kPack12,
                     QStringLiteral(" BarCode :") + elevenOnHand + kStockLine, QString(54, '-')}));
    EXPECT_TRUE(form_->MemoStatusImport->isVisible());
}

// The demo's sample workbook, saved by office software, as the README's walk imports it.
TEST_F(SpecialImport, TheDemoWorkbook) {
    importFile(QStringLiteral(ORDERTOOL_SAMPLES "/order-lines.xlsx"));
    EXPECT_TRUE(prompts_.texts().isEmpty()) << prompts_.texts().join('\n').toStdString();
    EXPECT_EQ(barcodes(),
              (QStringList{kPack12, kOther, "8850000000706", "8850000000300", "8850000001703"}));
    EXPECT_EQ(at(0, "OrderQnty").toDouble(), 12);
    EXPECT_EQ(at(1, "OrderQnty").toDouble(), 36);
    EXPECT_EQ(at(3, "OrderQnty").toDouble(), 7) << "no pack size: as in the file";
    EXPECT_EQ(at(4, "OrderQnty").toDouble(), 0) << "no stock at the centre";
    const QStringList lines = statusLines();
    EXPECT_TRUE(lines.contains(QStringLiteral(" BarCode :8850000001703") + kStockLine));
    EXPECT_TRUE(lines.contains(QStringLiteral("ไม่พบ Barcode : 8850000099999")));
    EXPECT_TRUE(lines.contains(QStringLiteral("ไม่พบ Barcode : ") + kPack12)) << "the duplicate";

    // The rows not taken, to fix and import again.
    ASSERT_TRUE(form_->BtSaveRejected->isVisible());
    ASSERT_TRUE(form_->BtSaveRejected->isEnabled());
    const QString path = dir_.filePath(QStringLiteral("rejected.csv"));
    prompts_.answerModal([path](QDialog& d) {
        dynamic_cast<QFileDialog&>(d).selectFile(path);
        return int(QDialog::Accepted);
    });
    form_->BtSaveRejected->click();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF")) << "marked UTF-8 for office software";
    const QStringList rows =
        QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[0], QStringLiteral("BarCode,ThaiName,UOM,Order_Qty,Reason"));
    EXPECT_TRUE(rows[1].startsWith(QStringLiteral("8850000001703,"))) << rows[1].toStdString();
    EXPECT_TRUE(rows[1].endsWith(QStringLiteral(",12,มีสินค้าคงเหลือไม่พอจัดให้สาขา")));
    EXPECT_TRUE(rows[2].endsWith(QStringLiteral(",3,ไม่พบ Barcode")));
    EXPECT_TRUE(rows[3].startsWith(kPack12 + QLatin1Char(',')));
    EXPECT_TRUE(rows[3].endsWith(QStringLiteral(",6,Barcode ซ้ำกับรายการก่อนหน้า")));
    // The rows read back as a sheet, quoting and all.
    const sheet::UsedRange again = sheet::readFirstSheet(path);
    ASSERT_EQ(again.rowCount(), 4);
    EXPECT_EQ(again.rows[2][0], QStringLiteral("8850000099999"));
}

TEST_F(SpecialImport, HeadersThatDoNotFitChangeNothing) {
    import(kHeader + kPack12 + ",,,12\n");
    ASSERT_EQ(barcodes(), QStringList{kPack12});
    for (const QString& header : {QStringLiteral("ThaiName,BarCode,UOM,Order_Qty\n"),
                                  QStringLiteral("No,BarCode,ThaiName,UOM,Order_Qty\n"),
                                  QStringLiteral("BarCode,ThaiName,UOM\n")}) {
        SCOPED_TRACE(header.toStdString());
        prompts_.clear();
        import(header + kOther + ",,,12\n");
        EXPECT_EQ(prompts_.texts(),
                  QStringList{QStringLiteral("Fomat Excel ไม่ถูกต้อง \r\nColumn ใน Excel "
                                             "ต้องเป็น\r\nBarCode,ThaiName,UOM,Order_Qty")});
        EXPECT_TRUE(form_->MemoStatusImport->isHidden());
        EXPECT_TRUE(form_->MemoStatusImport->toPlainText().isEmpty());
        EXPECT_EQ(barcodes(), QStringList{kPack12})
            << "the lines stay and the rows of the earlier file do not come back";
    }
}

TEST_F(SpecialImport, ASecondImportNumbersOnAndAHeaderOnlyFileEmptiesTheGrid) {
    QString five = kHeader;
    for (const char* b :
         {"8850000000102", "8850000000508", "8850000000706", "8850000000805", "8850000000300"}) {
        five += QLatin1String(b) + QStringLiteral(",,,1\n");
    }
    import(five);
    ASSERT_EQ(form_->QMemOrder.recordCount(), 5);
    import(five);
    ASSERT_EQ(form_->QMemOrder.recordCount(), 5);
    EXPECT_EQ(at(0, "RecNo").toInt(), 6);
    EXPECT_EQ(at(4, "RecNo").toInt(), 10);

    import(kHeader);
    EXPECT_EQ(form_->QMemOrder.recordCount(), 0);
    const QStringList lines = statusLines();
    EXPECT_EQ(lines.mid(lines.size() - 2),
              (QStringList{QStringLiteral("กำลัง CheckFormat ไฟล์Excel"), QString(54, '-')}))
        << "no row, no line for rows";
}

TEST_F(SpecialImport, ProblemsStopTheImportWithTheirMessage) {
    // A quantity that is not a number: the lines made so far stay.
    import(kHeader + kPack12 + ",,,12\n" + kOther + ",,,twelve\n" + "8850000000706,,,1\n");
    EXPECT_EQ(prompts_.texts(),
              QStringList{QStringLiteral("'twelve' is not a valid floating point value")});
    EXPECT_EQ(barcodes(), (QStringList{kPack12}));

    // A file that vanished after it was chosen, and one that is not a spreadsheet.
    prompts_.clear();
    prompts_.answerModal([this](QDialog& d) {
        dynamic_cast<QFileDialog&>(d).selectFile(dir_.filePath(QStringLiteral("gone.xlsx")));
        return int(QDialog::Accepted);
    });
    form_->BtImportExcel->click();
    ASSERT_EQ(prompts_.texts().size(), 1);
    EXPECT_TRUE(prompts_.texts()[0].contains(QStringLiteral("gone.xlsx")));
    EXPECT_EQ(barcodes(), (QStringList{kPack12})) << "nothing changed";

    prompts_.clear();
    form_->EdBranchCode->clear();
    form_->BtImportExcel->click();
    EXPECT_EQ(prompts_.texts(), QStringList{QStringLiteral("ไม่ได้ป้อนสาขา")});
    EXPECT_TRUE(prompts_.modals().empty()) << "no file asked for";
}

} // namespace
