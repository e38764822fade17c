// The share order on the demo server, headless through the prompts seam.
#include "forms/F_SearchProductUnitsTivasMaster.h"
#include "forms/Fr_SearchOrderShereNo.h"
#include "orders/Fr_OrderShere.h"
#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/Query.h"
#include "platform/ui/DbGrid.h"
#include "platform/ui/Format.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Modal.h"
#include "support/DemoModules.h"
#include "support/GuiApp.h"
#include "support/Statements.h"
#include "util/Workstation.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>
#include <optional>

namespace {

using testing_support::bind;
using testing_support::exec;
using testing_support::scalar;

const QString kPack12 = QStringLiteral("8850000000102");    // pack 12, with stock
const QString kLargeUnit = QStringLiteral("8850000000119"); // the same product's pack of 6
const QString kPack0 = QStringLiteral("8850000000300");     // picking multiple 0

// The first stored order that may still be saved.
QString firstOpenOrder() {
    return scalar(QStringLiteral("select OrderNO from OrderShereHd where Approved = 'N' and "
                                 "UpToTranBranch = 'N' and Delflag = 'N' order by Id limit 1"))
        .toString();
}

// Types each key into the widget that has the focus, as a person does: the first key opens
// the cell editor. Keys beyond ASCII go as key events that carry their text.
void typeKeys(const QString& text) {
    for (const QChar c : text) {
        QWidget* target = QApplication::focusWidget();
        if (c.unicode() < 128) {
            QTest::keyClick(target, c.toLatin1());
        } else {
            QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }
}

class ShareOrder : public ::testing::Test {
protected:
    explicit ShareOrder(int user = 1) : modules_(user) {}
    void SetUp() override {
        testing_support::guiApp();
        previousSink_ = ui::setExceptionSink([this](std::exception_ptr e) {
            try {
                std::rethrow_exception(e);
            } catch (const db::DbError& d) {
                errors_ << d.message();
            } catch (const std::exception& x) {
                errors_ << QString::fromLocal8Bit(x.what());
            }
        });
        form_ = std::make_unique<TFrOrderShere>();
        form_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
    }
    void TearDown() override {
        form_.reset();
        ui::setExceptionSink(previousSink_);
    }

    void newOrderWith(const QString& barcode) {
        form_->EdOrderNOExit();
        QTest::keyClicks(form_->EdBarcode, barcode);
        form_->EdBarcodeExit();
    }
    void loadOrder(const QString& number) {
        form_->EdOrderNO->setText(number);
        form_->EdOrderNOExit();
    }
    // Types a quantity for the row of a branch and leaves the cell.
    void typeQuantity(int row, const QVariant& qty) {
        form_->QDt.setRecNo(row + 1);
        form_->QDt.edit();
        form_->QDt[QStringLiteral("OrderQnty")].setValue(qty);
        form_->EdOrderQntyExit();
    }
    double rowQuantity(int row) {
        return db::variantToDouble(
            form_->QDt.valueAt(row, form_->QDt.fieldByName(QStringLiteral("OrderQnty")).index()));
    }
    void save(bool yes = true) {
        prompts_.answer(yes);
        form_->AcSave->trigger();
    }
    qint64 count(const QString& sql) { return scalar(sql).toLongLong(); }

    testing_support::DemoModules modules_;
    ui::ScriptedModalPrompts prompts_;
    ui::ScopedPrompts scope_{prompts_};
    ui::ExceptionSink previousSink_;
    QStringList errors_;
    std::unique_ptr<TFrOrderShere> form_;
};

TEST_F(ShareOrder, NewOrderIsSavedApprovedAndPassedOnToTransferOrders) {
    EXPECT_TRUE(form_->EdOrderNO->isEnabled());
    EXPECT_FALSE(form_->AcSave->isEnabled());
    newOrderWith(kPack12);
    ASSERT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
    const qint64 branches = count(QStringLiteral(
        "select count(*) from QRV_CONFIG_Nvk.dbo.Branch where StopDatabase = 'N' and "
        "BranchCode <> 'DC001'"));
    ASSERT_EQ(form_->QDt.recordCount(), branches);
    EXPECT_TRUE(form_->AcSave->isEnabled());
    EXPECT_FALSE(form_->EdBarcode->isEnabled());
    EXPECT_FALSE(form_->QDt.locate(QStringLiteral("BranchCode"), QStringLiteral("DC001")));
    EXPECT_FALSE(form_->QDt.locate(QStringLiteral("BranchCode"), QStringLiteral("B020")));

    typeQuantity(0, 12);
    typeQuantity(1, 0);
    typeQuantity(2, 13); // rounds up to two packs
    EXPECT_EQ(rowQuantity(2), 24);
    EXPECT_EQ(form_->quantityTotal(), 36);
    const qint64 before = count(QStringLiteral("select count(*) from TranBranch"));

    save();
    ASSERT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
    db::Query hd(QStringLiteral("DMDATA"),
                 db::SqlSource("select * from OrderShereHd order by Id desc limit 1"));
    hd.open();
    const QString number = hd[QStringLiteral("OrderNO")].asString();
    EXPECT_TRUE(number.startsWith(QStringLiteral("SH"))) << number.toStdString();
    EXPECT_EQ(hd[QStringLiteral("Approved")].asString(), QStringLiteral("Y"));
    EXPECT_EQ(hd[QStringLiteral("UpToTranBranch")].asString(), QStringLiteral("Y"));
    EXPECT_EQ(hd[QStringLiteral("Delflag")].asString(), QStringLiteral("N"));
    EXPECT_EQ(hd[QStringLiteral("Version")].asString(), QStringLiteral("M22.07.22"));
    EXPECT_EQ(hd[QStringLiteral("LocalIP")].asString(), GetLocalIP());
    EXPECT_EQ(hd[QStringLiteral("UserCode")].asString(),
              scalar(QStringLiteral("select Code from QRV_CONFIG_Nvk.dbo.username where Id = 1"))
                  .toString());
    EXPECT_EQ(hd[QStringLiteral("OrderDate")].asDateTime().time(), QTime(0, 0));
    const qint64 id = hd[QStringLiteral("Id")].asInteger();
    EXPECT_EQ(
        count(QStringLiteral("select count(*) from OrderShereDt where OrderShereHd = %1").arg(id)),
        branches);

    db::Query tb(QStringLiteral("DMDATA"),
                 db::SqlSource("select * from TranBranch where OrderNo = :No order by OrderQnty"));
    tb.params().set(QStringLiteral("No"), number);
    tb.open();
    ASSERT_EQ(tb.recordCount(), 2);
    EXPECT_EQ(count(QStringLiteral("select count(*) from TranBranch")), before + 2);
    for (tb.first(); !tb.eof(); tb.next()) {
        EXPECT_EQ(tb[QStringLiteral("OrderType")].asString(), QStringLiteral("S"));
        EXPECT_EQ(tb[QStringLiteral("CloseOrder")].asString(), QStringLiteral("N"));
        EXPECT_EQ(tb[QStringLiteral("Transfer")].asString(), QStringLiteral("N"));
        EXPECT_EQ(tb[QStringLiteral("UpdateBranch")].asString(), QStringLiteral("N"));
        EXPECT_EQ(tb[QStringLiteral("BarCode")].asString(), kPack12);
    }
    tb.first();
    EXPECT_EQ(tb[QStringLiteral("OrderQnty")].asFloat(), 12);

    // The form starts a new order; the saved one reloads closed with its status texts.
    EXPECT_TRUE(form_->EdOrderNO->text().isEmpty());
    EXPECT_TRUE(form_->EdOrderNO->isEnabled());
    loadOrder(number);
    EXPECT_FALSE(form_->IsNewOrder);
    EXPECT_FALSE(form_->AcSave->isEnabled());
    EXPECT_EQ(form_->QDt.recordCount(), branches);
    ASSERT_TRUE(form_->QDt.locate(QStringLiteral("OrderQnty"), 24.0));
    EXPECT_EQ(form_->QDt[QStringLiteral("Status")].asString(), QStringLiteral("รอรอบการจัดสินค้า"));
}

TEST_F(ShareOrder, QuantitiesRoundUpToThePackAndStayWithinTheStock) {
    newOrderWith(kPack12);
    ASSERT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
    struct Case {
        double pack;
        QVariant typed;
        double expected;
    };
    const Case cases[] = {{12, 1, 12},    {12, 12, 12},   {12, 13, 24},        {12, 0, 0},
                          {12, -13, -12}, {12, -5, 0},    {12, QVariant(), 0}, {2.5, 6, 7.5 /*8*/},
                          {2, 5, 6},      {12, 12.5, 12}, {1, 13.5, 14},       {0, 7, 7},
                          {0, 7.6, 8}};
    for (const Case& c : cases) {
        form_->QHd.edit();
        form_->QHd[QStringLiteral("UnitPicking")].setValue(c.pack);
        typeQuantity(0, c.typed);
        // The row takes the rounded quantity as a whole number: 7.5 is stored as 8.
        const double expected = c.expected == 7.5 ? 8 : c.expected;
        EXPECT_EQ(rowQuantity(0), expected)
            << "pack " << c.pack << " typed " << c.typed.toString().toStdString();
    }
    ASSERT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();

    form_->QHd.edit();
    form_->QHd[QStringLiteral("UnitPicking")].setValue(1.0);
    typeQuantity(0, 0);
    const double stock = form_->availableStock();
    ASSERT_GT(stock, 1);
    prompts_.clear();
    typeQuantity(1, stock); // equal to the stock: passes
    EXPECT_EQ(rowQuantity(1), stock);
    EXPECT_FALSE(prompts_.texts().join('|').contains(QStringLiteral("คงเหลือ มีไม่พอ")));
    typeQuantity(2, 1); // one more than the stock: refused, the row ends with 0
    EXPECT_EQ(rowQuantity(2), 0);
    EXPECT_EQ(form_->quantityTotal(), stock);
    EXPECT_TRUE(prompts_.texts().contains(QStringLiteral("คงเหลือ มีไม่พอ !!") + QChar(13) +
                                          QStringLiteral("คงเหลือปัจจุบัน : ") +
                                          ui::formatFloat(QStringLiteral("#,##0.##"), stock)))
        << prompts_.texts().join('\n').toStdString();
}

TEST_F(ShareOrder, RejectedBarcodesAndBackOrderNotices) {
    form_->EdOrderNOExit();
    for (const QString& barcode : {kLargeUnit, QStringLiteral("NO'SUCH")}) {
        prompts_.clear();
        QTest::keyClicks(form_->EdBarcode, barcode);
        form_->EdBarcodeExit();
        EXPECT_EQ(prompts_.texts(),
                  QStringList{QStringLiteral("ไม่พบ Barcode ที่เลือก !! ") + QChar(10) + QChar(13) +
                              QStringLiteral("หรือเป็น BarCode ที่ไม่ใช่หน่วยนับย่อย")});
        EXPECT_TRUE(form_->EdBarcode->text().isEmpty());
        EXPECT_TRUE(form_->EdBarcode->isEnabled());
        EXPECT_TRUE(form_->QDt.isEmpty());
    }
    // Save is enabled by now, yet nothing without a product is ever stored.
    const qint64 headers = count(QStringLiteral("select count(*) from OrderShereHd"));
    const qint64 rows = count(QStringLiteral("select count(*) from TranBranch"));
    save();
    EXPECT_EQ(count(QStringLiteral("select count(*) from OrderShereHd")), headers);
    EXPECT_EQ(count(QStringLiteral("select count(*) from TranBranch")), rows);
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();

    QTest::keyClicks(form_->EdBarcode, kPack12.toLower());
    form_->EdBarcodeExit();
    ASSERT_FALSE(form_->QDt.isEmpty());
    int withBackOrder = -1;
    for (int r = 0; r < form_->QDt.recordCount(); ++r) {
        if (db::variantToDouble(form_->QDt.valueAt(
                r, form_->QDt.fieldByName(QStringLiteral("BackOrder")).index())) > 0) {
            withBackOrder = r;
            break;
        }
    }
    ASSERT_GE(withBackOrder, 0) << "the demo has back orders for this barcode";
    prompts_.clear();
    typeQuantity(withBackOrder, 12);
    const QString backOrder = form_->QDt[QStringLiteral("BackOrder")].asString();
    EXPECT_TRUE(prompts_.texts().contains(QStringLiteral("ยังมี ยอดค้างจัดอยู่ ") + backOrder))
        << prompts_.texts().join('\n').toStdString();
}

TEST_F(ShareOrder, PackZeroKeepsTheTypedQuantity) {
    newOrderWith(kPack0);
    ASSERT_FALSE(form_->QDt.isEmpty());
    typeQuantity(0, 5);
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
    EXPECT_LE(rowQuantity(0), 5); // 5, or less when the stock is smaller
}

TEST_F(ShareOrder, AFailedSaveStoresNothingAndARetryStoresOnce) {
    newOrderWith(kPack12);
    typeQuantity(0, 12);
    typeQuantity(1, 24);
    const qint64 headers = count(QStringLiteral("select count(*) from OrderShereHd"));
    const qint64 lines = count(QStringLiteral("select count(*) from OrderShereDt"));
    const qint64 rows = count(QStringLiteral("select count(*) from TranBranch"));
    // The transfer-order insert fails after the header and the lines were written.
    exec(QStringLiteral("create trigger FailInsert before insert on TranBranch begin "
                        "select raise(abort, 'disk full'); end"));
    save();
    ASSERT_EQ(errors_.size(), 1);
    EXPECT_TRUE(errors_[0].contains(QStringLiteral("disk full")));
    EXPECT_EQ(count(QStringLiteral("select count(*) from OrderShereHd")), headers);
    EXPECT_EQ(count(QStringLiteral("select count(*) from OrderShereDt")), lines);
    EXPECT_EQ(count(QStringLiteral("select count(*) from TranBranch")), rows);
    // Still on screen as before F10.
    EXPECT_TRUE(form_->IsNewOrder);
    EXPECT_EQ(form_->EdBarcode->text(), kPack12);
    EXPECT_TRUE(form_->QHd[QStringLiteral("OrderNO")].asString().isEmpty());
    EXPECT_EQ(rowQuantity(1), 24);

    exec(QStringLiteral("drop trigger FailInsert"));
    errors_.clear();
    save();
    ASSERT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
    EXPECT_EQ(count(QStringLiteral("select count(*) from OrderShereHd")), headers + 1);
    EXPECT_EQ(count(QStringLiteral("select count(*) from OrderShereDt")),
              lines + count(QStringLiteral("select count(*) from QRV_CONFIG_Nvk.dbo.Branch where "
                                           "StopDatabase = 'N' and BranchCode <> 'DC001'")));
    EXPECT_EQ(count(QStringLiteral("select count(*) from TranBranch")), rows + 2);
}

TEST_F(ShareOrder, AnOrderApprovedOrCancelledElsewhereIsNotSavedAgain) {
    const struct {
        const char* elsewhere;
        const char* approved;
        const char* delflag;
    } cases[] = {
        {"update OrderShereHd set Approved = 'Y', UpToTranBranch = 'Y' where OrderNO = :p0", "Y",
         "N"},
        {"update OrderShereHd set Delflag = 'Y' where OrderNO = :p0", "N", "Y"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.elsewhere);
        form_->AcNewExecute();
        const QString open = firstOpenOrder();
        ASSERT_FALSE(open.isEmpty());
        loadOrder(open);
        ASSERT_FALSE(form_->IsNewOrder);
        EXPECT_TRUE(form_->AcSave->isEnabled());
        // Another workstation approves or cancels it meanwhile.
        exec(QString::fromUtf8(c.elsewhere), {open});
        const qint64 rows = count(QStringLiteral("select count(*) from TranBranch"));
        prompts_.clear();
        save();
        EXPECT_EQ(count(QStringLiteral("select count(*) from TranBranch")), rows);
        EXPECT_EQ(scalar(QStringLiteral("select Approved || Delflag from OrderShereHd where "
                                        "OrderNO = :p0"),
                         {open})
                      .toString(),
                  QString::fromUtf8(c.approved) + QString::fromUtf8(c.delflag));
        EXPECT_TRUE(prompts_.texts().contains(
            QStringLiteral("ใบแบ่งนี้ถูกอนุมัติจากเครื่องอื่นแล้ว ไม่สามารถบันทึกซ้ำได้ !!")))
            << prompts_.texts().join('\n').toStdString();
        EXPECT_FALSE(form_->AcSave->isEnabled());
    }
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
}

TEST_F(ShareOrder, ACancelledOrderLoadsReadOnlyAndSaysSo) {
    const QString open = firstOpenOrder();
    ASSERT_FALSE(open.isEmpty());
    exec(QStringLiteral("update OrderShereHd set Delflag = 'Y' where OrderNO = :p0"), {open});
    const qint64 rows = count(QStringLiteral("select count(*) from TranBranch"));

    loadOrder(open);
    EXPECT_FALSE(form_->IsNewOrder);
    EXPECT_FALSE(form_->AcSave->isEnabled());
    EXPECT_EQ(form_->StatusPanels[0]->text(), QStringLiteral("ยกเลิก"));
    QTest::keyClick(form_.get(), Qt::Key_F10);
    EXPECT_EQ(count(QStringLiteral("select count(*) from TranBranch")), rows);
    EXPECT_EQ(scalar(QStringLiteral("select Approved || Delflag from OrderShereHd where OrderNO "
                                    "= :p0"),
                     {open})
                  .toString(),
              QStringLiteral("NY"));
    form_->AcNewExecute();
    EXPECT_TRUE(form_->StatusPanels[0]->text().isEmpty());
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
}

TEST_F(ShareOrder, OpenStoredOrderSavesAndApproves) {
    const QString open = firstOpenOrder();
    loadOrder(open);
    ASSERT_TRUE(form_->AcSave->isEnabled());
    const qint64 positive =
        count(QStringLiteral("select count(*) from OrderShereDt d join OrderShereHd h on h.Id = "
                             "d.OrderShereHd where h.OrderNO = '%1' and d.OrderQnty > 0 and "
                             "d.BranchCode <> 'DC001'")
                  .arg(open));
    save(false); // No: nothing happens
    EXPECT_EQ(
        scalar(QStringLiteral("select Approved from OrderShereHd where OrderNO = '%1'").arg(open))
            .toString(),
        QStringLiteral("N"));
    save();
    ASSERT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
    EXPECT_EQ(scalar(QStringLiteral("select Approved || UpToTranBranch from OrderShereHd where "
                                    "OrderNO = '%1'")
                         .arg(open))
                  .toString(),
              QStringLiteral("YY"));
    EXPECT_EQ(
        count(QStringLiteral("select count(*) from TranBranch where OrderNo = '%1'").arg(open)),
        positive);
}

class ShareOrderWithoutAddRight : public ShareOrder {
protected:
    ShareOrderWithoutAddRight() : ShareOrder(3) {}
};

TEST_F(ShareOrderWithoutAddRight, OpenOrderCannotBeSaved) {
    const QString open = firstOpenOrder();
    loadOrder(open);
    EXPECT_FALSE(form_->IsNewOrder);
    EXPECT_FALSE(form_->AcSave->isEnabled());
}

} // namespace

namespace {

TEST_F(ShareOrder, TypingADigitInTheGridEditsTheQuantityAndEnterMovesOn) {
    newOrderWith(kPack12);
    ASSERT_FALSE(form_->QDt.isEmpty());
    ui::DbGrid* grid = form_->GridDt;
    const int qtyColumn = grid->datasetModel()->columnOf(QStringLiteral("OrderQnty"));
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(0, qtyColumn));
    QTest::keyClicks(grid->focusWidget(), QStringLiteral("1"));
    ASSERT_TRUE(grid->isEditing());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("3"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_FALSE(grid->isEditing());
    EXPECT_EQ(rowQuantity(0), 24) << "13 rounded up to two packs of 12";
    EXPECT_EQ(grid->currentIndex().row(), 0);
    EXPECT_GT(grid->currentIndex().column(), qtyColumn) << "on to the next editable cell";
    EXPECT_EQ(form_->quantityTotal(), 24);
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
}

} // namespace

namespace {

// F5 in the number and barcode edits opens the lookups; OK brings their choice in.
TEST_F(ShareOrder, LookupsFillTheNumberAndTheBarcode) {
    const QString approved = scalar(QStringLiteral("select OrderNO from OrderShereHd where "
                                                   "Approved = 'Y' and UpToTranBranch = 'Y' "
                                                   "order by Id limit 1"))
                                 .toString();
    prompts_.answerModal([](QDialog&) { return int(QDialog::Rejected); }); // Cancel first
    form_->EdOrderNO->setFocus();
    QTest::keyClick(form_->EdOrderNO, Qt::Key_F5);
    EXPECT_TRUE(form_->EdOrderNO->text().isEmpty());
    prompts_.answerModal([&](QDialog& d) {
        dynamic_cast<TFrSearchOrderShereNo&>(d).SelectedCode = approved;
        return int(QDialog::Accepted);
    });
    QTest::keyClick(form_->EdOrderNO, Qt::Key_F5);
    EXPECT_EQ(form_->EdOrderNO->text(), approved);
    form_->EdOrderNOExit();
    EXPECT_FALSE(form_->IsNewOrder);
    EXPECT_FALSE(form_->AcSave->isEnabled()) << "an approved order is read-only";
    ASSERT_EQ(prompts_.modals().size(), 2u);

    form_->AcNew->trigger();
    form_->EdOrderNOExit();
    prompts_.answerModal([&](QDialog& d) {
        auto& lookup = dynamic_cast<TF_SearchProductUnitsTivasMaster&>(d);
        EXPECT_EQ(lookup.SmallUnitOnly, QStringLiteral("Y"));
        lookup.SelectedBarcode = QStringLiteral(" ") + kPack12.toLower() + QStringLiteral(" ");
        return int(QDialog::Accepted);
    });
    form_->BtSearchBarcode->click();
    EXPECT_EQ(form_->EdBarcode->text(), kPack12);
    EXPECT_FALSE(form_->QDt.isEmpty()) << "picked like typed: the grid is filled";
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
}

} // namespace

namespace {

TEST_F(ShareOrder, ASecondSaveWhileOneRunsDoesNothing) {
    newOrderWith(kPack12);
    typeQuantity(0, 12);
    const qint64 headers = count(QStringLiteral("select count(*) from OrderShereHd"));
    int confirmations = 0;
    prompts_.onEntry = [&](const ui::ScriptedPrompts::Entry& e) {
        if (e.confirmation) {
            ++confirmations;
            form_->AcSave->trigger(); // F10 again while the question is up
        }
    };
    save();
    prompts_.onEntry = {};
    EXPECT_EQ(confirmations, 1);
    EXPECT_EQ(count(QStringLiteral("select count(*) from OrderShereHd")), headers + 1);
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
}

} // namespace

namespace {

TEST_F(ShareOrder, F10WithAQuantityStillInItsCellStoresIt) {
    newOrderWith(kPack12);
    ui::DbGrid* grid = form_->GridDt;
    const int qtyColumn = grid->datasetModel()->columnOf(QStringLiteral("OrderQnty"));
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(0, qtyColumn));
    QTest::keyClicks(grid->focusWidget(), QStringLiteral("1"));
    ASSERT_TRUE(grid->isEditing());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("3"));
    const qint64 rows = count(QStringLiteral("select count(*) from TranBranch"));
    save();
    ASSERT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
    EXPECT_EQ(count(QStringLiteral("select count(*) from TranBranch")), rows + 1);
    EXPECT_EQ(scalar(QStringLiteral("select OrderQnty from TranBranch order by Id desc limit 1"))
                  .toDouble(),
              24)
        << "typed 13, stored rounded up to two packs";
}

TEST_F(ShareOrder, SavingAStoredOrderRewritesEveryShownRowsFigures) {
    const QString open = firstOpenOrder();
    exec(QStringLiteral("update OrderShereDt set BackOrder = 999, ProductRoute = 999, MaxStock "
                        "= 999 where OrderShereHd = (select Id from OrderShereHd where OrderNO "
                        "= '%1')")
             .arg(open));
    loadOrder(open);
    save();
    ASSERT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
    EXPECT_EQ(count(QStringLiteral("select count(*) from OrderShereDt where MaxStock = 999 and "
                                   "OrderShereHd = (select Id from OrderShereHd where OrderNO = "
                                   "'%1')")
                        .arg(open)),
              0)
        << "each shown row stores the figures of the grid at saving";
}

} // namespace

namespace {

TEST_F(ShareOrder, EscInTheGridAsksTheExitQuestionAndEnterStaysInTheGrid) {
    newOrderWith(kPack12);
    ui::DbGrid* grid = form_->GridDt;
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(0, 0));
    EXPECT_TRUE(form_->keyPreview()) << "the grid keeps the form's key preview";
    QTest::keyClick(grid, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), grid) << "Enter moves between cells, not out";
    EXPECT_EQ(grid->currentIndex().column(), 1);
    prompts_.clear();
    QTest::keyClick(grid, Qt::Key_Escape); // answered No: the form stays
    ASSERT_EQ(prompts_.entries().size(), 1u);
    EXPECT_TRUE(prompts_.entries()[0].confirmation);
    EXPECT_EQ(prompts_.entries()[0].text, TFrForm::exitQuestion());
    EXPECT_TRUE(form_->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), grid);
    EXPECT_EQ(grid->currentIndex().column(), 1);
}

// The exit question shown as the real box over the form, answered once the box has taken
// the focus from the form's window, as it does for a person.
class ShownQuestion : public ui::Prompts {
public:
    void message(const ui::MessageRequest& request) override { asked << request.text; }
    bool confirm(const ui::ConfirmRequest& request) override {
        asked << request.text;
        const auto box = ui::WidgetPrompts::confirmBox(request);
        box->show();
        box->activateWindow();
        tookFocus = QTest::qWaitFor([&] { return QApplication::activeWindow() == box.get(); });
        box->hide();
        return yes;
    }
    bool yes = false;
    bool tookFocus = false;
    QStringList asked;
};

TEST_F(ShareOrder, EscWhileACellIsEditedAsksTheExitQuestionAndNoKeepsTheEdit) {
    newOrderWith(kPack12);
    ui::DbGrid* grid = form_->GridDt;
    const int qtyColumn = grid->datasetModel()->columnOf(QStringLiteral("OrderQnty"));
    const int remarkColumn = grid->datasetModel()->columnOf(QStringLiteral("Remark"));
    int roundings = 0;
    QObject::connect(&form_->QRoundup, &db::Dataset::afterOpen, [&] { ++roundings; });
    const struct {
        const char* what;
        int column;
        const char* keys;
        bool shownBox;
    } cases[] = {
        {"quantity, scripted answer", qtyColumn, "13", false},
        {"quantity, real box", qtyColumn, "13", true},
        {"remark, scripted answer", remarkColumn, "late", false},
        {"remark, real box", remarkColumn, "late", true},
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ++row; // a fresh row each time
        form_->activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == form_.get(); }));
        grid->setFocus();
        grid->setCurrentIndex(grid->model()->index(row, c.column));
        typeKeys(QString::fromLatin1(c.keys));
        ASSERT_TRUE(grid->isEditing());
        QWidget* const editor = QApplication::focusWidget();
        const auto editorText = [editor] {
            if (auto* combo = qobject_cast<QComboBox*>(editor)) {
                return combo->currentText();
            }
            auto* edit = qobject_cast<QLineEdit*>(editor);
            return edit ? edit->text() : QString();
        };
        ASSERT_EQ(editorText(), QString::fromLatin1(c.keys));
        roundings = 0;

        ShownQuestion shown;
        std::optional<ui::ScopedPrompts> showing;
        if (c.shownBox) {
            showing.emplace(shown);
        } else {
            prompts_.clear();
        }
        QTest::keyClick(editor, Qt::Key_Escape); // answered No
        const QStringList asked = c.shownBox ? shown.asked : prompts_.texts();
        EXPECT_EQ(asked, QStringList{TFrForm::exitQuestion()});
        if (c.shownBox) {
            EXPECT_TRUE(shown.tookFocus);
            form_->activateWindow();
            ASSERT_TRUE(
                QTest::qWaitFor([&] { return QApplication::activeWindow() == form_.get(); }));
        }
        EXPECT_TRUE(form_->isVisible());
        ASSERT_TRUE(grid->isEditing()) << "the editor is still open";
        EXPECT_EQ(QApplication::focusWidget(), editor);
        EXPECT_EQ(editorText(), QString::fromLatin1(c.keys));
        EXPECT_EQ(rowQuantity(row), 0) << "nothing stored yet";
        EXPECT_EQ(roundings, 0);

        // Enter still stores the value and moves on.
        QTest::keyClick(editor, Qt::Key_Return);
        EXPECT_FALSE(grid->isEditing());
        EXPECT_EQ(QApplication::focusWidget(), grid);
        if (c.column == qtyColumn) {
            EXPECT_EQ(rowQuantity(row), 24);
            EXPECT_EQ(roundings, 1);
        }
    }

    // Yes leaves, with the editor open.
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(0, qtyColumn));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("7"));
    ASSERT_TRUE(grid->isEditing());
    prompts_.clear();
    prompts_.answer(true);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_EQ(prompts_.texts(), QStringList{TFrForm::exitQuestion()});
    EXPECT_FALSE(form_->isVisible());
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
}

} // namespace

namespace {

TEST_F(ShareOrder, AFailedApprovalKeepsTheRowsWithoutQuantity) {
    const QString open = firstOpenOrder();
    const QString lines = QStringLiteral("select count(*) from OrderShereDt where OrderShereHd = "
                                         "(select Id from OrderShereHd where OrderNO = '%1')")
                              .arg(open);
    const qint64 stored = count(lines);
    loadOrder(open);
    const int shown = form_->QDt.recordCount();
    ASSERT_GT(count(lines + QStringLiteral(" and OrderQnty = 0")), 0);
    exec(QStringLiteral("create trigger FailInsert before insert on TranBranch begin "
                        "select raise(abort, 'disk full'); end"));
    prompts_.answer(true);
    form_->AcApproved->trigger();
    ASSERT_EQ(errors_.size(), 1);
    EXPECT_EQ(form_->QDt.recordCount(), shown) << "the order stays on screen as it was";
    EXPECT_EQ(count(lines), stored);

    exec(QStringLiteral("drop trigger FailInsert"));
    errors_.clear();
    prompts_.answer(true);
    form_->AcApproved->trigger();
    ASSERT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
    EXPECT_EQ(count(lines + QStringLiteral(" and OrderQnty = 0")), 0);
    EXPECT_EQ(scalar(QStringLiteral("select Approved || UpToTranBranch from OrderShereHd where "
                                    "OrderNO = '%1'")
                         .arg(open))
                  .toString(),
              QStringLiteral("YY"));
}

} // namespace

namespace {

TEST_F(ShareOrder, TheQuantityCellTakesNumbersOnlyAndWithinTheIntRange) {
    newOrderWith(kPack12);
    ASSERT_FALSE(form_->QDt.isEmpty());
    ui::DbGrid* grid = form_->GridDt;
    const int qtyColumn = grid->datasetModel()->columnOf(QStringLiteral("OrderQnty"));
    int roundings = 0;
    QObject::connect(&form_->QRoundup, &db::Dataset::afterOpen, [&] { ++roundings; });
    const QString outOfRange = QStringLiteral("ตัวเลขเกินขอบเขต !!") + QChar(13) +
                               QStringLiteral("ป้อนได้ตั้งแต่ -2,147,483,648 ถึง 2,147,483,647");
    const struct {
        const char* keys;
        double stored; // the row held 24 before
        bool refused;  // out of range: a message, no rounding
    } cases[] = {
        {"abc", 24, false},  // no key taken: the 24 shown stays
        {"๑๒", 24, false},   // Thai digits neither
        {"0x10", 12, false}, // "010" rounds up to a pack
        {"1e5", 24, false},  // "15"
        {"-13", -12, false}, //
        {"12.5", 12, false}, // half to even, then the pack
        {"13.5", 24, false}, //
        {"10000000000000000000", 24, true},
        {"9223372036854775807", 24, true},
        {"2147483648", 24, true},
        {"-2147483649", 24, true},
        {"2147483647.5", 24, true}, // rounds beyond the range
        {"99999999999999999999999999999999999999999999999999", 24, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        typeQuantity(0, 24);
        prompts_.clear();
        roundings = 0;
        grid->setFocus();
        grid->setCurrentIndex(grid->model()->index(0, qtyColumn));
        typeKeys(QString::fromUtf8(c.keys));
        ASSERT_TRUE(grid->isEditing());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        EXPECT_FALSE(grid->isEditing());
        EXPECT_EQ(rowQuantity(0), c.stored);
        if (c.refused) {
            EXPECT_EQ(prompts_.texts().join(QLatin1Char('|')).toStdString(),
                      outOfRange.toStdString());
            EXPECT_EQ(roundings, 0);
        } else {
            EXPECT_FALSE(prompts_.texts().contains(outOfRange));
            EXPECT_EQ(roundings, 1);
        }
    }
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
}

} // namespace
