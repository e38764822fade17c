// The special order on the demo server, headless through the prompts seam.
#include "data/U_DM.h"
#include "forms/F_SearchProductUnitsTivasMaster.h"
#include "forms/Fr_SearchBranch.h"
#include "orders/Fr_OrderSpecial.h"
#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/Query.h"
#include "platform/ui/DbGrid.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Modal.h"
#include "support/DemoModules.h"
#include "support/GuiApp.h"
#include "support/Statements.h"

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

using testing_support::bind;
using testing_support::exec;
using testing_support::scalar;

const QString kPack12 = QStringLiteral("8850000000102");    // pack 12, stock at the centre
const QString kLargeUnit = QStringLiteral("8850000000119"); // the same product's pack of 6
const QString kPack0 = QStringLiteral("8850000000300");     // picking multiple 0
const QString kOther = QStringLiteral("8850000000508");     // another product, pack 12
const QString kThird = QStringLiteral("8850000000706");

QString demoOrder(int n) {
    return QStringLiteral("SP%1%2")
        .arg(QDate::currentDate().year() % 100, 2, 10, QLatin1Char('0'))
        .arg(n, 8, 10, QLatin1Char('0'));
}

class SpecialOrder : public ::testing::Test {
protected:
    explicit SpecialOrder(int user = 1) : modules_(user, 102) {}
    void SetUp() override {
        testing_support::guiApp();
        form_ = std::make_unique<TFrOrderSpecial>();
        form_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
    }
    void TearDown() override {
        EXPECT_TRUE(errors_.empty()) << errors_.joined();
        form_.reset();
    }

    void newOrderFor(const QString& branch) {
        form_->EdOrderNoExit();
        form_->EdBranchCode->setText(branch);
        form_->EdBranchCodeExit();
    }
    void loadOrder(const QString& number) {
        form_->EdOrderNo->setText(number);
        form_->EdOrderNoExit();
    }
    db::MemTable& lines() { return form_->QMemOrder; }
    QVariant at(int row, const char* field) {
        return lines().valueAt(row, lines().fieldByName(QLatin1String(field)).index());
    }
    // Types a barcode into the current line's cell and leaves it.
    void enterBarcode(const QString& typed) {
        lines().edit();
        lines()[QStringLiteral("Barcode")].setValue(typed);
        form_->BarcodeExit();
    }
    // A new line below the last, as moving down past it makes one.
    void newLine() {
        lines().append();
        lines().post();
    }
    void enterQuantity(const QVariant& qty) {
        lines().edit();
        lines()[QStringLiteral("OrderQnty")].setValue(qty);
        form_->EdOrderQntyExit();
    }

    testing_support::DemoModules modules_;
    ui::ScriptedModalPrompts prompts_;
    ui::ScopedPrompts scope_{prompts_};
    testing_support::ErrorCapture errors_;
    std::unique_ptr<TFrOrderSpecial> form_;
};

struct Controls {
    bool orderNo, branch, save, import, deleteShown, deleteEnabled, print;
};

void expectControls(TFrOrderSpecial& f, const Controls& c, const char* state) {
    SCOPED_TRACE(state);
    EXPECT_EQ(f.EdOrderNo->isEnabled(), c.orderNo);
    EXPECT_EQ(f.BtSearchOrderNo->isEnabled(), c.orderNo);
    EXPECT_EQ(f.EdBranchCode->isEnabled(), c.branch);
    EXPECT_EQ(f.BtSearchBranchCode->isEnabled(), c.branch);
    EXPECT_EQ(f.AcSave->isEnabled(), c.save);
    EXPECT_EQ(f.BtImportExcel->isEnabled(), c.import);
    EXPECT_EQ(f.BDel->isVisible(), c.deleteShown);
    EXPECT_EQ(f.AcDel->isEnabled(), c.deleteEnabled);
    EXPECT_EQ(f.BPrint->isEnabled(), c.print);
    EXPECT_TRUE(f.MemoStatusImport->isHidden());
}

TEST_F(SpecialOrder, DocumentStatesFromFreshToBranchFixedAndStored) {
    EXPECT_EQ(form_->windowTitle(), TFrOrderSpecial::captionText());
    EXPECT_TRUE(form_->windowTitle().endsWith(QStringLiteral(" (M24.03.26)")));
    EXPECT_EQ(form_->DocCode, QStringLiteral("PICKSPECIA"));
    expectControls(*form_, {true, true, false, true, false, false, false}, "fresh");
    EXPECT_TRUE(form_->EdOrderNo->hasFocus());
    EXPECT_EQ(form_->OrderDate->date(), QDate::currentDate());

    // A typed number that matches no special order: a new one, numbered at saving.
    loadOrder(QStringLiteral("SP-NO-SUCH"));
    EXPECT_TRUE(form_->IsNewOrder);
    EXPECT_TRUE(form_->EdOrderNo->text().isEmpty());
    EXPECT_TRUE(prompts_.texts().isEmpty()) << "numbers are issued at saving: no message";
    expectControls(*form_, {false, true, false, true, false, false, false}, "number fixed");

    form_->EdBranchCodeExit(); // left empty: nothing happens
    EXPECT_TRUE(prompts_.texts().isEmpty());
    EXPECT_FALSE(form_->AcSave->isEnabled());

    form_->EdBranchCode->setText(QStringLiteral("  b003 "));
    form_->EdBranchCodeExit();
    EXPECT_EQ(form_->EdBranchCode->text(), QStringLiteral("B003"));
    EXPECT_FALSE(form_->LbBranchName->text().isEmpty());
    expectControls(*form_, {false, false, true, true, false, false, false}, "branch fixed");
    EXPECT_EQ(form_->GridDt->selectedField()->name(), QStringLiteral("Barcode"));
    EXPECT_EQ(lines().recordCount(), 1) << "a line to type the first barcode into";

    form_->AcNew->trigger();
    loadOrder(demoOrder(1)); // every row still being picked
    EXPECT_FALSE(form_->IsNewOrder);
    EXPECT_EQ(form_->EdOrderNo->text(), demoOrder(1));
    EXPECT_FALSE(form_->EdBranchCode->text().isEmpty());
    expectControls(*form_, {false, false, false, false, true, true, true}, "stored, cancellable");

    form_->AcNew->trigger();
    loadOrder(demoOrder(2)); // moved on by picking
    expectControls(*form_, {false, false, false, false, true, false, true}, "stored, moved on");
    form_->AcNew->trigger();
    expectControls(*form_, {true, true, false, true, false, false, false}, "fresh again");
    EXPECT_EQ(lines().recordCount(), 0);
}

TEST_F(SpecialOrder, BranchesUnknownOrOutOfOperationAreRefused) {
    const QString stopped =
        scalar(QStringLiteral("select BranchCode from QRV_CONFIG_Nvk.dbo.Branch "
                              "where StopDatabase <> 'N' order by BranchCode limit 1"))
            .toString();
    ASSERT_FALSE(stopped.isEmpty());
    for (const QString& code : {QStringLiteral("ZZ999"), stopped}) {
        SCOPED_TRACE(code.toStdString());
        prompts_.clear();
        newOrderFor(code);
        ASSERT_EQ(prompts_.texts().size(), 1);
        EXPECT_TRUE(form_->EdOrderNo->isEnabled()) << "a fresh document";
        EXPECT_TRUE(form_->EdBranchCode->text().isEmpty());
        EXPECT_FALSE(form_->AcSave->isEnabled());
    }
    EXPECT_EQ(prompts_.texts().value(0),
              QStringLiteral("สาขา ") + stopped +
                  QStringLiteral(" ปิดดำเนินการแล้ว ไม่สามารถสั่งสินค้าให้สาขานี้ได้ !!"));
}

TEST_F(SpecialOrder, BranchLookupIncludesFsBranchesAndFillsTheCode) {
    form_->EdOrderNoExit();
    prompts_.answerModal([](QDialog& d) {
        auto& lookup = dynamic_cast<TFrSearchBranch&>(d);
        EXPECT_TRUE(lookup.IncludeFSBranches);
        lookup.SelectedCode = QStringLiteral("FS001");
        return int(QDialog::Accepted);
    });
    form_->EdBranchCode->setFocus();
    QTest::keyClick(form_->EdBranchCode, Qt::Key_F5);
    EXPECT_EQ(form_->EdBranchCode->text(), QStringLiteral("FS001"));
    EXPECT_TRUE(form_->EdBranchCode->isEnabled()) << "checked when the focus leaves";
}

TEST_F(SpecialOrder, StoredOrderShowsItsLinesNumberedInProductOrderWithAnEmptyLine) {
    loadOrder(demoOrder(2));
    const int stored = scalar(QStringLiteral("select count(*) from TranBranch where OrderNo = :p0"),
                              {demoOrder(2)})
                           .toInt();
    ASSERT_EQ(lines().recordCount(), stored + 1);
    QString previous;
    for (int i = 0; i < stored; ++i) {
        EXPECT_EQ(at(i, "RecNo").toInt(), i + 1);
        const QString code = at(i, "ProdCode").toString();
        EXPECT_LT(previous, code);
        previous = code;
        EXPECT_EQ(at(i, "Barcode"), at(i, "BarcodeOld"));
        EXPECT_FALSE(at(i, "Status").toString().isEmpty()) << "row " << i;
    }
    EXPECT_TRUE(at(stored, "Barcode").isNull());
    EXPECT_TRUE(at(stored, "RecNo").isNull());
    // The codes' texts: 'B' waits, 'X' and 'C' were not picked in full.
    EXPECT_EQ(at(0, "Status").toString(), QStringLiteral("รอรอบการจัดสินค้า"));
    EXPECT_EQ(lines().recNo(), 1);

    form_->AcNew->trigger();
    newOrderFor(QStringLiteral("B003"));
    enterBarcode(kPack12);
    EXPECT_EQ(at(0, "RecNo").toInt(), 1) << "numbering starts again after New";
}

// The barcode cell's cases, one after another on one order.
TEST_F(SpecialOrder, BarcodeEntryFillsFindsDuplicatesAndKeepsNumbers) {
    newOrderFor(QStringLiteral("B003"));

    enterBarcode(kLargeUnit); // not a smallest unit: as not found, without a message
    EXPECT_TRUE(at(0, "Barcode").isNull());
    EXPECT_TRUE(at(0, "RecNo").isNull());
    EXPECT_TRUE(prompts_.texts().isEmpty());

    enterBarcode(QStringLiteral("  ") + kPack12.toLower() + QStringLiteral(" "));
    EXPECT_EQ(at(0, "Barcode").toString(), kPack12);
    EXPECT_EQ(at(0, "RecNo").toInt(), 1);
    EXPECT_EQ(at(0, "UnitPicking").toInt(), 12);
    EXPECT_EQ(at(0, "OnHand").toDouble(), 1608) << "every warehouse of the centre";
    EXPECT_FALSE(at(0, "ThaiName").toString().isEmpty());
    enterQuantity(24);

    newLine();
    enterBarcode(kOther);
    EXPECT_TRUE(at(1, "OrderQnty").isNull()) << "a new line's quantity stays empty";
    newLine();
    enterBarcode(kThird);
    ASSERT_EQ(lines().recordCount(), 3);
    EXPECT_EQ(at(2, "RecNo").toInt(), 3);

    // Unchanged: the line stays exactly as it was.
    lines().setRecNo(1);
    enterBarcode(kPack12);
    EXPECT_EQ(at(0, "Barcode").toString(), kPack12);
    EXPECT_EQ(at(0, "RecNo").toInt(), 1);
    EXPECT_EQ(at(0, "OrderQnty").toDouble(), 24);

    // A barcode line 3 holds, typed on a new line: the cursor goes to line 3.
    newLine();
    enterBarcode(kThird);
    EXPECT_EQ(lines().recNo(), 3);
    EXPECT_TRUE(at(3, "Barcode").isNull()) << "the new line is left without a barcode";
    EXPECT_TRUE(at(3, "RecNo").isNull());

    // Changed to another product: refilled, number and quantity kept.
    lines().setRecNo(1);
    enterBarcode(kPack0);
    EXPECT_EQ(at(0, "Barcode").toString(), kPack0);
    EXPECT_EQ(at(0, "UnitPicking").toInt(), 0);
    EXPECT_EQ(at(0, "RecNo").toInt(), 1);
    EXPECT_EQ(at(0, "OrderQnty").toDouble(), 24);

    // Not found on a numbered line: emptied but numbered still; refilled without a new one.
    lines().setRecNo(2);
    enterBarcode(QStringLiteral("NO-SUCH"));
    EXPECT_TRUE(at(1, "Barcode").isNull());
    EXPECT_EQ(at(1, "RecNo").toInt(), 2);
    enterBarcode(kPack12);
    EXPECT_EQ(at(1, "RecNo").toInt(), 2);
    lines().setRecNo(4);
    enterBarcode(kOther);
    EXPECT_EQ(at(3, "RecNo").toInt(), 4) << "the next number, not one taken by a not-found line";
    EXPECT_TRUE(prompts_.texts().isEmpty());
}

struct QuantityCase {
    const char* name;
    double pack;
    QVariant typed;
    double onHand;
    const char* negative;
    double expected;
    bool stockMessage;
};

TEST_F(SpecialOrder, QuantitiesAreRoundedUpToPacksAndHeldAgainstTheCentresStock) {
    const QuantityCase cases[] = {
        {"10 in 12s", 12, 10, 1000, "N", 12, false},
        {"25 in 12s", 12, 25, 1000, "N", 36, false},
        {"24 in 12s", 12, 24, 1000, "N", 24, false},
        {"0 in 12s", 12, 0, 1000, "N", 0, false},
        {"10.5 reads as 10", 12, 10.5, 1000, "N", 12, false},
        {"0.4 reads as 0", 12, 0.4, 1000, "N", 0, false},
        {"no pack: as typed", 0, 7, 1000, "N", 7, false},
        {"no pack: whole number", 0, 2.6, 1000, "N", 3, false},
        {"short stock", 12, 30, 30, "N", 0, true},
        {"35.6 reads as 36", 12, 30, 35.6, "N", 36, false},
        {"may go below zero", 12, 30, 30, "Y", 36, false},
    };
    newOrderFor(QStringLiteral("B003"));
    enterBarcode(kPack12);
    for (const QuantityCase& c : cases) {
        SCOPED_TRACE(c.name);
        prompts_.clear();
        lines().edit();
        lines()[QStringLiteral("UnitPicking")].setValue(c.pack);
        lines()[QStringLiteral("OnHand")].setValue(c.onHand);
        lines()[QStringLiteral("Negative")].setValue(QLatin1String(c.negative));
        enterQuantity(c.typed);
        EXPECT_EQ(lines()[QStringLiteral("OrderQnty")].asFloat(), c.expected);
        EXPECT_EQ(prompts_.texts(), c.stockMessage
                                        ? QStringList{QStringLiteral("มีสินค้าคงเหลือไม่พอจัดให้สาขา")}
                                        : QStringList{});
    }
}

TEST_F(SpecialOrder, OrderableQuantityCheckCutsAnAllocatedLine) {
    newOrderFor(QStringLiteral("B003"));
    enterBarcode(kPack12);
    lines().edit();
    lines()[QStringLiteral("OrderAllocate")].setValue(QStringLiteral("Y"));
    enterQuantity(1500); // 1,608 at the centre, 168 outstanding: 1,440 may be ordered
    EXPECT_EQ(lines()[QStringLiteral("OrderQnty")].asFloat(), 1440);
    EXPECT_EQ(prompts_.texts(), QStringList{QStringLiteral("Barcode : ") + kPack12 + QChar(13) +
                                            QStringLiteral("ไม่สามารถ สั่งสินค้าเกินจำนวน สั่งจัดได้ !!")});
}

TEST_F(SpecialOrder, CancellingAStoredOrderAllOrNothing) {
    const QString number = demoOrder(1);
    const auto codes = [&] {
        return scalar(QStringLiteral("select group_concat(distinct CloseOrder) from TranBranch "
                                     "where OrderNo = :p0"),
                      {number})
            .toString();
    };
    // Picking, on another connection, moves one row on after the order was loaded:
    // nothing changes.
    loadOrder(number);
    ASSERT_TRUE(form_->AcDel->isEnabled());
    {
        db::Connection picking(QStringLiteral("PICKING"));
        picking.params() = DM->DMdata.params();
        picking.open();
        db::Query q(QStringLiteral("PICKING"),
                    db::SqlSource("update TranBranch set CloseOrder = 'A' where Id = (select "
                                  "min(Id) from TranBranch where OrderNo = :p0)"));
        bind(q, {number});
        EXPECT_EQ(q.execSQL(), 1);
    }
    prompts_.answer(true);
    form_->AcDel->trigger();
    EXPECT_EQ(prompts_.texts().size(), 2);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from TranBranch where OrderNo = :p0 and "
                                    "CloseOrder = 'C'"),
                     {number})
                  .toInt(),
              0);
    EXPECT_FALSE(form_->AcDel->isEnabled()) << "reloaded: a row has moved on";

    exec(QStringLiteral("update TranBranch set CloseOrder = 'P' where OrderNo = :p0"), {number});
    form_->AcNew->trigger();
    loadOrder(number);
    prompts_.clear();
    prompts_.answer(false); // asked, declined
    form_->AcDel->trigger();
    EXPECT_EQ(codes(), QStringLiteral("P"));

    prompts_.answer(true);
    form_->AcDel->trigger();
    EXPECT_EQ(codes(), QStringLiteral("C"));
    EXPECT_EQ(
        scalar(QStringLiteral("select min(Remark) from TranBranch where OrderNo = :p0"), {number})
            .toString(),
        QStringLiteral("ยกเลิก Order "));
    EXPECT_EQ(at(0, "Status").toString(), QStringLiteral("จัดสินค้าไม่ครบ ")) << "reloaded";
    EXPECT_FALSE(form_->AcDel->isEnabled());
    EXPECT_EQ(prompts_.texts().size(), 2) << "two questions, no message";
}

class SpecialOrderReadOnlyUser : public SpecialOrder {
protected:
    SpecialOrderReadOnlyUser() : SpecialOrder(3) {}
};

TEST_F(SpecialOrderReadOnlyUser, CannotSaveOrCancel) {
    loadOrder(demoOrder(1));
    EXPECT_TRUE(form_->BDel->isVisible());
    EXPECT_FALSE(form_->AcDel->isEnabled());
    form_->AcNew->trigger();
    newOrderFor(QStringLiteral("B003"));
    EXPECT_FALSE(form_->AcSave->isEnabled());
}

// Through keys, as a clerk works: Enter between cells, a barcode typed into its cell, F5 in
// the barcode column only, down past the last line for a new one, Esc kept by the grid.
TEST_F(SpecialOrder, GridKeys) {
    newOrderFor(QStringLiteral("B003"));
    ASSERT_TRUE(form_->GridDt->hasFocus());
    EXPECT_FALSE(form_->keyPreview()) << "the grid has the keys";

    for (const QChar c : kPack12.toLower()) { // the first key opens the cell's editor
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
    }
    ASSERT_TRUE(form_->Barcode);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(at(0, "Barcode").toString(), kPack12);
    EXPECT_EQ(form_->GridDt->selectedField()->name(), QStringLiteral("ThaiName"));

    QTest::keyClick(form_->GridDt, Qt::Key_F5); // not the barcode column
    EXPECT_TRUE(prompts_.modals().empty());

    QTest::keyClick(form_->GridDt, Qt::Key_Down);
    EXPECT_EQ(lines().recordCount(), 2);
    QTest::keyClick(form_->GridDt, Qt::Key_Down);
    EXPECT_EQ(lines().recordCount(), 2) << "an empty last line gets no other below it";

    form_->GridDt->setSelectedField(QStringLiteral("Barcode"));
    prompts_.answerModal([](QDialog& d) {
        auto& lookup = dynamic_cast<TF_SearchProductUnitsTivasMaster&>(d);
        EXPECT_EQ(lookup.SmallUnitOnly, QStringLiteral("Y"));
        lookup.SelectedBarcode = kOther;
        return int(QDialog::Accepted);
    });
    QTest::keyClick(form_->GridDt, Qt::Key_F5);
    EXPECT_EQ(prompts_.modals().size(), 1u);
    EXPECT_EQ(at(1, "Barcode").toString(), kOther);
    EXPECT_EQ(at(1, "RecNo").toInt(), 2);

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_TRUE(prompts_.texts().isEmpty()) << "Esc in the grid does not ask to leave";
    form_->EdBranchCode->setEnabled(true);
    form_->EdBranchCode->setFocus();
    EXPECT_TRUE(form_->keyPreview());
}

} // namespace
