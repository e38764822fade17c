// Saving a special order on the demo server: transfer rows, pick groups and picking
// numbers, all or nothing.
#include "data/Dm_Config.h"
#include "data/U_DM.h"
#include "orders/Fr_OrderSpecial.h"
#include "orders/SpecialOrder.h"
#include "orders/SpecialOrderSave.h"
#include "platform/db/DbError.h"
#include "platform/db/Query.h"
#include "platform/ui/DbGrid.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Modal.h"
#include "support/DemoModules.h"
#include "support/GuiApp.h"
#include "support/Statements.h"
#include "support/TestProducts.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <map>

namespace {

using testing_support::bind;
using testing_support::exec;
using testing_support::scalar;

const QString kBranch = QStringLiteral("B003");
const QString kPack12 = QStringLiteral("8850000000102"); // pack 12, stock at the centre

struct Row {
    QString barcode;
    double qty = 0;
    QString close, group, pickNo, managingNo, updateBranch, locations;
    qint64 userPick = 0;
};

// The stored rows of an order, by barcode.
std::map<QString, Row> storedRows(const QString& number) {
    db::Query q(QStringLiteral("DMDATA"),
                db::SqlSource("select BarCode, OrderQnty, CloseOrder, ResponsProdGroup, PickNo, "
                              "ProductManageNo, UpdateBranch, Locations, UserPick, OrderType "
                              "from TranBranch where OrderNo = :p0"));
    bind(q, {number});
    q.open();
    std::map<QString, Row> rows;
    for (q.first(); !q.eof(); q.next()) {
        Row r;
        r.barcode = q[QStringLiteral("BarCode")].asString();
        r.qty = q[QStringLiteral("OrderQnty")].asFloat();
        r.close = q[QStringLiteral("CloseOrder")].asString();
        r.group = q[QStringLiteral("ResponsProdGroup")].asString();
        r.pickNo = q[QStringLiteral("PickNo")].asString();
        r.managingNo = q[QStringLiteral("ProductManageNo")].asString();
        r.updateBranch = q[QStringLiteral("UpdateBranch")].asString();
        r.locations = q[QStringLiteral("Locations")].asString();
        r.userPick = q[QStringLiteral("UserPick")].asInteger();
        EXPECT_EQ(q[QStringLiteral("OrderType")].asString(), QStringLiteral("L"));
        rows[r.barcode] = r;
    }
    return rows;
}

qint64 lastNo(const QString& code) {
    return scalar(
               QStringLiteral("select LastNo from DocumentNo where Code = :p0 and DocYear = :p1"),
               {code, QDate::currentDate().year()})
        .toLongLong();
}

using Stock = testing_support::ZoneStock;
using testing_support::addProduct;

// The save's core on the demo server, without a window.
class SpecialSave : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::guiApp();
        order_.load(QString());
    }
    void line(const QString& barcode, const QVariant& qty) {
        order_.QMemOrder.append();
        order_.QMemOrder.post();
        ASSERT_EQ(order_.enterBarcode(barcode, kBranch), orders::BarcodeEntry::Filled)
            << barcode.toStdString();
        order_.QMemOrder.edit();
        order_.QMemOrder[QStringLiteral("OrderQnty")].setValue(qty);
        order_.QMemOrder.post();
    }
    orders::SaveReport save(const QString& typedNumber = {}) {
        EXPECT_TRUE(saving_.prepare(kBranch).isEmpty());
        return saving_.save({kBranch, 1, typedNumber, QDate::currentDate().startOfDay()});
    }

    testing_support::DemoModules modules_{1, 102};
    orders::SpecialOrder order_;
    orders::SpecialOrderSave saving_{order_};
};

struct Item {
    std::vector<Stock> stock;
    double qty;
    const char* close;
    const char* group; // stored ResponsProdGroup
};

struct GroupCase {
    const char* name;
    std::vector<Item> items;
    int pickingNumbers;
};

std::vector<GroupCase> groupCases() {
    std::vector<Item> twentyFive(25, Item{{{"A01", 100}}, 1, "P", ""});
    for (int i = 0; i < 25; ++i) {
        twentyFive[i].group = i < 20 ? "A01#001" : "A01#002";
    }
    return {
        {"25 barcodes of one zone: 20 and 5", twentyFive, 2},
        {"two zones",
         {{{{"A01", 50}}, 1, "P", "A01#001"},
          {{{"A01", 50}}, 1, "P", "A01#001"},
          {{{"A01", 50}}, 1, "P", "A01#001"},
          {{{"B02", 50}}, 1, "P", "B02#001"},
          {{{"B02", 50}}, 1, "P", "B02#001"},
          {{{"B02", 50}}, 1, "P", "B02#001"}},
         2},
        {"more outstanding than stock: a group of its own",
         {{{{"A01", 50}}, 1, "P", "A01#001"}, {{{"A01", 10}}, 24, "P", "A01*#001"}},
         2},
        {"a group that starts again after sorting",
         {{{{"A01", 50}}, 1, "P", "A01#001"},
          {{{"a01", 50}}, 1, "P", "a01#001"},
          {{{"A01", 50}}, 1, "P", "A01#001"}},
         3},
        {"no stock", {{{{"A01", 0}}, 5, "B", ""}, {{}, 5, "B", ""}}, 0},
        {"several stock rows: the one with most stock",
         {{{{"A01", 5}, {"B02", 50}}, 1, "P", "B02#001"},
          {{{"C03", 30}, {"A01", 30}}, 1, "P", "A01#001"}},
         2},
    };
}

TEST_F(SpecialSave, PickGroupsAndPickingNumbers) {
    int n = 0;
    for (const GroupCase& c : groupCases()) {
        SCOPED_TRACE(c.name);
        order_.load(QString());
        std::vector<QString> barcodes;
        for (const Item& item : c.items) {
            barcodes.push_back(addProduct(++n, item.stock));
            line(barcodes.back(), item.qty);
        }
        const qint64 pickingBefore = lastNo(QStringLiteral("PRODUCTMANAGE"));
        const orders::SaveReport report = save();
        ASSERT_EQ(report.result, orders::SaveResult::Saved);
        const auto rows = storedRows(report.number);
        ASSERT_EQ(rows.size(), c.items.size());
        QSet<QString> numbers;
        for (std::size_t i = 0; i < c.items.size(); ++i) {
            const Row& r = rows.at(barcodes[i]);
            EXPECT_EQ(r.close, QLatin1String(c.items[i].close)) << "item " << i;
            EXPECT_EQ(r.group, QLatin1String(c.items[i].group)) << "item " << i;
            EXPECT_EQ(r.managingNo.isEmpty(), r.close == QLatin1String("B")) << "item " << i;
            if (!r.managingNo.isEmpty()) {
                numbers << r.managingNo;
            }
        }
        EXPECT_EQ(numbers.size(), c.pickingNumbers);
        EXPECT_EQ(lastNo(QStringLiteral("PRODUCTMANAGE")) - pickingBefore, c.pickingNumbers)
            << "a number drawn for each group and chunk, none wasted";
    }
}

TEST_F(SpecialSave, StoredValuesAreTheLinesTrimmedAndRounded) {
    // A 16-character barcode is stored as its first 15, which must name a unit too.
    const QString long16 = QStringLiteral("9912345678901234");
    for (const QString& db : {QStringLiteral("Nvk.dbo."), QString()}) {
        exec(QStringLiteral("insert into %1ProductUnits (Id, Product, Barcode, UnitName, "
                            "Fraction, SmallUnitFlag) values (990001, 1, :p0, 'ขวด', 1, 'Y')")
                 .arg(db),
             {long16});
        exec(QStringLiteral("insert into %1ProductUnits (Id, Product, Barcode, UnitName, "
                            "Fraction, SmallUnitFlag) values (990002, 1, :p0, 'ขวด', 1, 'N')")
                 .arg(db),
             {long16.left(15)});
    }
    const QString pack25 = QStringLiteral("8850000000201");
    const QString other = QStringLiteral("8850000000508");
    line(long16, 24);
    line(pack25, 12.5);
    line(other, -24);
    const orders::SaveReport report = save();
    ASSERT_EQ(report.result, orders::SaveResult::Saved);
    const auto rows = storedRows(report.number);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows.at(long16.left(15)).qty, 24);
    EXPECT_EQ(rows.at(pack25).qty, 12.5);
    EXPECT_EQ(rows.at(other).qty, -24);
    for (const auto& [barcode, r] : rows) {
        EXPECT_EQ(r.pickNo, report.number);
        EXPECT_EQ(r.userPick, 1);
        EXPECT_EQ(r.updateBranch, QStringLiteral("N"));
        EXPECT_TRUE(r.locations.isEmpty());
    }
}

TEST_F(SpecialSave, AFailureAtTheLastUpdateLeavesTheDatabaseAsBeforeAndARetrySavesOnce) {
    const QString kNoStock = addProduct(1, {}); // no stock: the last row, 'B'
    line(kPack12, 24);
    line(kNoStock, 12);
    const qint64 rowsBefore =
        scalar(QStringLiteral("select count(*) from TranBranch")).toLongLong();
    const qint64 ordersBefore = lastNo(QStringLiteral("PICKSPECIA"));
    const qint64 pickingBefore = lastNo(QStringLiteral("PRODUCTMANAGE"));
    exec(QStringLiteral("create trigger FailLast before update of CloseOrder on TranBranch "
                        "when new.CloseOrder = 'B' begin select raise(abort, 'disk full'); end"));
    EXPECT_THROW(save(), db::DbError);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from TranBranch")).toLongLong(), rowsBefore);
    EXPECT_EQ(lastNo(QStringLiteral("PICKSPECIA")), ordersBefore) << "the number is not used";
    EXPECT_EQ(lastNo(QStringLiteral("PRODUCTMANAGE")), pickingBefore);
    EXPECT_EQ(order_.QMemOrder.recordCount(), 2) << "the lines as they were";
    EXPECT_FALSE(order_.MemoryPick.isActive());

    exec(QStringLiteral("drop trigger FailLast"));
    const orders::SaveReport report = save();
    ASSERT_EQ(report.result, orders::SaveResult::Saved);
    EXPECT_EQ(lastNo(QStringLiteral("PICKSPECIA")), ordersBefore + 1);
    const auto rows = storedRows(report.number);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows.at(kPack12).close, QStringLiteral("P"));
    EXPECT_EQ(rows.at(kNoStock).close, QStringLiteral("B"));
    EXPECT_TRUE(rows.at(kNoStock).group.isEmpty());
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from TranBranch")).toLongLong(),
              rowsBefore + 2);
}

TEST_F(SpecialSave, LinesAreCheckedAgainUnderTheLock) {
    const QString barcode = addProduct(1, {{"A01", 100}}, QStringLiteral("N"));
    line(barcode, 60);
    line(kPack12, 24);
    EXPECT_TRUE(saving_.prepare(kBranch).isEmpty());
    // The stock goes meanwhile, as another program books it out.
    exec(QStringLiteral("update ProductOnhandSend set Onhand = 50 where ProdCode = 'T900001'"));
    const orders::SaveReport report =
        saving_.save({kBranch, 1, QString(), QDate::currentDate().startOfDay()});
    EXPECT_EQ(report.result, orders::SaveResult::LinesRefused);
    EXPECT_EQ(report.messages, QStringList{QStringLiteral("มีสินค้าคงเหลือไม่พอจัดให้สาขา")});
    EXPECT_EQ(
        scalar(QStringLiteral("select count(*) from TranBranch where BarCode = :p0"), {barcode})
            .toInt(),
        0);
    ASSERT_TRUE(order_.QMemOrder.locate(QStringLiteral("Barcode"), barcode));
    EXPECT_EQ(order_.QMemOrder[QStringLiteral("OrderQnty")].asFloat(), 0)
        << "cut as the check does";
    EXPECT_EQ(order_.QMemOrder[QStringLiteral("OnHand")].asFloat(), 50) << "the figures now";
}

TEST_F(SpecialSave, ABranchTakenOutOfOperationMeanwhileStoresNothing) {
    line(kPack12, 24);
    exec(QStringLiteral("update QRV_CONFIG_Nvk.dbo.Branch set StopDatabase = 'Y' where "
                        "BranchCode = :p0"),
         {kBranch});
    const qint64 ordersBefore = lastNo(QStringLiteral("PICKSPECIA"));
    const qint64 rowsBefore =
        scalar(QStringLiteral("select count(*) from TranBranch")).toLongLong();
    const orders::SaveReport report = save();
    EXPECT_EQ(report.result, orders::SaveResult::CountMismatch);
    EXPECT_EQ(report.lines, 1);
    EXPECT_EQ(report.rows, 0);
    EXPECT_EQ(lastNo(QStringLiteral("PICKSPECIA")), ordersBefore);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from TranBranch")).toLongLong(), rowsBefore)
        << "no row left unpicked";
}

TEST_F(SpecialSave, NumbersTypedByHand) {
    exec(QStringLiteral("update DocumentNo set AutoRun = 'N' where Code = 'PICKSPECIA'"));
    DM->QDocumentNo.close();
    line(kPack12, 24);
    EXPECT_EQ(save().result, orders::SaveResult::NumberMissing);

    const orders::SaveReport report = save(QStringLiteral(" MAN-001 "));
    ASSERT_EQ(report.result, orders::SaveResult::Saved);
    EXPECT_EQ(report.number, QStringLiteral("MAN-001"));
    EXPECT_EQ(storedRows(QStringLiteral("MAN-001")).size(), 1u);

    EXPECT_EQ(save(QStringLiteral("MAN-001")).result, orders::SaveResult::NumberTaken);
    EXPECT_EQ(storedRows(QStringLiteral("MAN-001")).size(), 1u);
}

// The window: preparation, question, progress, status bar and a fresh document.
class SpecialSaveWindow : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::guiApp();
        form_ = std::make_unique<TFrOrderSpecial>();
        form_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
        form_->EdOrderNoExit();
        form_->EdBranchCode->setText(kBranch);
        form_->EdBranchCodeExit();
    }
    void TearDown() override { form_.reset(); }
    void line(const QString& barcode, const QVariant& qty) {
        db::MemTable& lines = form_->QMemOrder;
        lines.last();
        if (!lines[QStringLiteral("Barcode")].isNull()) {
            lines.append();
            lines.post();
        }
        lines.edit();
        lines[QStringLiteral("Barcode")].setValue(barcode);
        form_->BarcodeExit();
        lines.edit();
        lines[QStringLiteral("OrderQnty")].setValue(qty);
        lines.post();
    }

    testing_support::DemoModules modules_{1, 102};
    ui::ScriptedModalPrompts prompts_;
    ui::ScopedPrompts scope_{prompts_};
    testing_support::ErrorCapture errors_;
    std::unique_ptr<TFrOrderSpecial> form_;
};

TEST_F(SpecialSaveWindow, SavesTheFilledLinesAndStartsAFreshDocument) {
    line(kPack12, 24);
    line(QStringLiteral("8850000000508"), 12);
    line(QStringLiteral("8850000000706"), 0); // no quantity: dropped
    const QString kNoStock = addProduct(1, {});
    line(kNoStock, 12);
    form_->QMemOrder.append(); // an empty line: dropped
    form_->QMemOrder.post();
    const qint64 ordersBefore = lastNo(QStringLiteral("PICKSPECIA"));

    prompts_.answer(false);
    form_->AcSave->trigger();
    EXPECT_EQ(prompts_.texts(), QStringList{QStringLiteral("บันทึก ?")});
    EXPECT_EQ(form_->QMemOrder.recordCount(), 3) << "declined: lines cleaned, nothing written";
    EXPECT_EQ(lastNo(QStringLiteral("PICKSPECIA")), ordersBefore);

    prompts_.answer(true);
    form_->AcSave->trigger();
    ASSERT_TRUE(errors_.empty()) << errors_.joined();
    const QString number = scalar(QStringLiteral("select OrderNo from TranBranch where Id = "
                                                 "(select max(Id) from TranBranch)"))
                               .toString();
    EXPECT_EQ(lastNo(QStringLiteral("PICKSPECIA")), ordersBefore + 1);
    const auto rows = storedRows(number);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows.at(kPack12).close, QStringLiteral("P"));
    EXPECT_EQ(rows.at(kNoStock).close, QStringLiteral("B"));
    EXPECT_EQ(form_->StatusPanels[0]->text(),
              QStringLiteral("บันทึกใบสั่งพิเศษเลขที่ ") + number + QStringLiteral(" เรียบร้อยแล้ว"));
    EXPECT_TRUE(form_->EdOrderNo->isEnabled()) << "fresh";
    EXPECT_TRUE(form_->EdOrderNo->text().isEmpty());
    EXPECT_EQ(form_->QMemOrder.recordCount(), 0);
    EXPECT_FALSE(form_->AcSave->isEnabled());
}

TEST_F(SpecialSaveWindow, AFailedSaveKeepsTheDocumentAndReportsTheError) {
    line(kPack12, 24);
    exec(QStringLiteral("create trigger FailPick before update of CloseOrder on TranBranch "
                        "begin select raise(abort, 'disk full'); end"));
    prompts_.answer(true);
    form_->AcSave->trigger();
    ASSERT_EQ(errors_.messages().size(), 1);
    EXPECT_TRUE(errors_.messages()[0].contains(QStringLiteral("disk full")));
    EXPECT_TRUE(form_->EdOrderNo->text().isEmpty()) << "the number field as before";
    EXPECT_EQ(form_->QMemOrder.recordCount(), 1);
    EXPECT_TRUE(form_->AcSave->isEnabled());
    exec(QStringLiteral("drop trigger FailPick"));

    prompts_.clear();
    prompts_.answer(true);
    form_->AcSave->trigger();
    EXPECT_EQ(errors_.messages().size(), 1);
    EXPECT_EQ(form_->QMemOrder.recordCount(), 0) << "saved on the retry";
}

TEST_F(SpecialSaveWindow, CountMismatchShowsBothNumbersAndKeepsTheDocument) {
    line(kPack12, 24);
    exec(QStringLiteral("update QRV_CONFIG_Nvk.dbo.Branch set StopDatabase = 'Y' where "
                        "BranchCode = :p0"),
         {kBranch});
    prompts_.answer(true);
    form_->AcSave->trigger();
    EXPECT_EQ(prompts_.texts().value(1), QStringLiteral("Order มีปัญหา กรุณาแจ้งแผนก คอม 1 X 0"));
    EXPECT_EQ(form_->QMemOrder.recordCount(), 1);
}

} // namespace

namespace {

// Keys pressed while the save runs (the progress lets the event loop run) reach nothing:
// neither New in the middle of the pick assignment nor a second save.
TEST_F(SpecialSaveWindow, KeysPressedDuringTheSaveAreDropped) {
    line(kPack12, 24);
    const qint64 ordersBefore = lastNo(QStringLiteral("PICKSPECIA"));
    int pressed = 0;
    QTimer::singleShot(0, form_.get(), [&] {
        for (int key : {Qt::Key_F3, Qt::Key_F10, Qt::Key_Escape}) {
            QTest::keyClick(form_.get(), Qt::Key(key));
            ++pressed;
        }
    });
    prompts_.answer(true);
    prompts_.answer(true);
    form_->AcSave->trigger();
    EXPECT_EQ(pressed, 3) << "the keys were pressed during the save";
    EXPECT_TRUE(errors_.empty()) << errors_.joined();
    EXPECT_EQ(lastNo(QStringLiteral("PICKSPECIA")), ordersBefore + 1);
    EXPECT_EQ(prompts_.texts(), QStringList{QStringLiteral("บันทึก ?")}) << "no second question";
}

} // namespace
