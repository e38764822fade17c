// Both documents end to end on the database servers beside the embedded one, each holding the
// demo company the database tool writes: filled, rounded, saved and handed to picking as on
// the embedded server. PostgreSQL runs on a throw-away server of the tests (or the one
// ORDERTOOL_TEST_PGSQL names); SQL Server on the one ORDERTOOL_TEST_MSSQL names
// (scripts/test-mssql.sh). An engine without a server is skipped, saying why.
#include "orders/ShareOrder.h"
#include "orders/SpecialOrder.h"
#include "orders/SpecialOrderSave.h"
#include "platform/db/DbError.h"
#include "platform/db/Query.h"
#include "support/DemoModules.h"
#include "support/GuiApp.h"
#include "support/MssqlTestServer.h"
#include "support/Statements.h"
#include "support/TempPgServer.h"

#include <QDate>
#include <gtest/gtest.h>
#include <map>

namespace {

using testing_support::MssqlTestServer;
using testing_support::TempPgServer;

const QString kPack12 = QStringLiteral("8850000000102");

enum class Engine { Pgsql, Mssql };

class Documents : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        const bool pg = GetParam() == Engine::Pgsql;
        const bool available =
            pg ? TempPgServer::shared().available() : MssqlTestServer::shared().available();
        if (!available) {
            GTEST_SKIP() << (pg ? "no PostgreSQL server: " : "no SQL Server: ")
                         << (pg ? TempPgServer::shared().whyUnavailable()
                                : MssqlTestServer::shared().whyUnavailable())
                                .toStdString();
        }
        testing_support::guiApp();
        // The demo is loaded once per engine and program.
        static std::map<Engine, std::pair<bool, QString>> loaded;
        auto it = loaded.find(GetParam());
        if (it == loaded.end()) {
            QString why;
            const bool made = pg ? TempPgServer::shared().loadDemo(&why)
                                 : MssqlTestServer::shared().loadDemo(&why);
            it = loaded.emplace(GetParam(), std::make_pair(made, why)).first;
        }
        ASSERT_TRUE(it->second.first) << it->second.second.toStdString();
        server_ = pg ? TempPgServer::shared().serverName() : MssqlTestServer::shared().serverName();
    }
    QString server_;
};

INSTANTIATE_TEST_SUITE_P(Servers, Documents, ::testing::Values(Engine::Pgsql, Engine::Mssql),
                         [](const ::testing::TestParamInfo<Engine>& info) {
                             return info.param == Engine::Pgsql ? "Pgsql" : "Mssql";
                         });

TEST_P(Documents, AShareOrderIsSavedAndPassedOnToTransferRows) {
    auto modules = testing_support::DemoModules::onServer(server_);
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

TEST_P(Documents, ASpecialOrderIsSavedAndHandedToPicking) {
    auto modules = testing_support::DemoModules::onServer(server_, 1, 102);
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
