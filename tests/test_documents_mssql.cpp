// Both documents end to end on a SQL Server holding the demo company, made by the script of
// ordertool-db: filled, rounded, saved and handed to picking as on the other servers. Runs
// against the server ORDERTOOL_TEST_MSSQL names (scripts/test-mssql.sh); skipped without one.
#include "orders/ShareOrder.h"
#include "orders/SpecialOrder.h"
#include "orders/SpecialOrderSave.h"
#include "platform/db/DbError.h"
#include "platform/db/Query.h"
#include "support/DemoModules.h"
#include "support/GuiApp.h"
#include "support/MssqlTestServer.h"
#include "support/Statements.h"

#include <QDate>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

using testing_support::MssqlTestServer;

const QString kPack12 = QStringLiteral("8850000000102");

class MssqlDocuments : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!MssqlTestServer::shared().available()) {
            return;
        }
        QProcess tool;
        tool.start(QStringLiteral(ORDERTOOL_DB_TOOL),
                   {QStringLiteral("script"), QStringLiteral("--kind"), QStringLiteral("mssql"),
                    QStringLiteral("--demo"), QStringLiteral("--force")});
        if (!tool.waitForFinished(120000) || tool.exitCode() != 0) {
            why_ = QString::fromUtf8(tool.readAllStandardError());
            return;
        }
        try {
            MssqlTestServer::shared().runScript(QString::fromUtf8(tool.readAllStandardOutput()));
            made_ = true;
        } catch (const db::DbError& e) {
            why_ = QStringLiteral("the demo script failed: ") + e.message();
        }
    }
    void SetUp() override {
        if (!MssqlTestServer::shared().available()) {
            GTEST_SKIP() << "no SQL Server: "
                         << MssqlTestServer::shared().whyUnavailable().toStdString();
        }
        ASSERT_TRUE(made_) << why_.toStdString();
        testing_support::guiApp();
    }
    static inline bool made_ = false;
    static inline QString why_;
};

TEST_F(MssqlDocuments, AShareOrderIsSavedAndPassedOnToTransferRows) {
    auto modules = testing_support::DemoModules::onServer(MssqlTestServer::shared().serverName());
    orders::ShareOrder order;
    order.load(QString(), QString());
    ASSERT_TRUE(order.fillFromBarcode(kPack12));
    order.QDt.first();
    order.QDt.edit();
    order.QDt[QStringLiteral("OrderQnty")].setValue(order.roundUp(13, 12));
    order.QDt.post();
    ASSERT_EQ(order.save(false), orders::SaveOutcome::Saved);
    const QString number = order.QHd[QStringLiteral("OrderNO")].asString();
    EXPECT_FALSE(number.isEmpty()) << "NewDocumentNo gave no number";
    EXPECT_EQ(testing_support::scalar(
                  QStringLiteral("select sum(OrderQnty) from TranBranch where OrderNo = :p0 and "
                                 "OrderType = 'S' and CloseOrder = 'N'"),
                  {number})
                  .toDouble(),
              24);
}

TEST_F(MssqlDocuments, ASpecialOrderIsSavedAndHandedToPicking) {
    auto modules =
        testing_support::DemoModules::onServer(MssqlTestServer::shared().serverName(), 1, 102);
    orders::SpecialOrder order;
    orders::SpecialOrderSave saving(order);
    order.load(QString());
    ASSERT_EQ(order.checkBranch(QStringLiteral("b003")), orders::BranchCheck::Known);
    for (const char* barcode : {"8850000000102", "8850000000508"}) {
        order.QMemOrder.append();
        order.QMemOrder.post();
        ASSERT_EQ(order.enterBarcode(QLatin1String(barcode), QStringLiteral("B003")),
                  orders::BarcodeEntry::Filled);
        order.QMemOrder.edit();
        order.QMemOrder[QStringLiteral("OrderQnty")].setValue(10);
        order.roundQuantityUp();
        order.QMemOrder.post();
    }
    ASSERT_TRUE(saving.prepare(QStringLiteral("B003")).isEmpty());
    const orders::SaveReport report =
        saving.save({QStringLiteral("B003"), 1, QString(), QDate::currentDate().startOfDay()});
    ASSERT_EQ(report.result, orders::SaveResult::Saved);
    db::Query rows(QStringLiteral("DMDATA"),
                   db::SqlSource("select OrderQnty, CloseOrder, ResponsProdGroup, ProductManageNo "
                                 "from TranBranch where OrderNo = :N order by BarCode"));
    rows.params().set(QStringLiteral("N"), report.number);
    rows.open();
    ASSERT_EQ(rows.recordCount(), 2);
    for (rows.first(); !rows.eof(); rows.next()) {
        EXPECT_EQ(rows[QStringLiteral("OrderQnty")].asFloat(), 12) << "10 in packs of 12";
        EXPECT_EQ(rows[QStringLiteral("CloseOrder")].asString(), QStringLiteral("P"));
        EXPECT_TRUE(rows[QStringLiteral("ResponsProdGroup")].asString().endsWith("#001"));
        EXPECT_FALSE(rows[QStringLiteral("ProductManageNo")].asString().isEmpty());
    }
}

} // namespace
