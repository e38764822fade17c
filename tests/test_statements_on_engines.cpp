// Every statement of both documents, the data modules and the lookups, put to each engine:
// the server must accept the text it is given (the variant kept for it, or the text as
// written), with every table, column and function it names. A statement that only fails
// on one engine is found here rather than by a clerk pressing F10.
#include "data/Dm_Config.h"
#include "data/U_DM.h"
#include "forms/F_SearchProductUnitsTivasMaster.h"
#include "forms/Fr_SearchBranch.h"
#include "forms/Fr_SearchOrderShereNo.h"
#include "forms/Fr_SearchOrderSpecialNo.h"
#include "orders/PickLists.h"
#include "orders/ShareOrder.h"
#include "orders/SpecialOrder.h"
#include "orders/SpecialOrderSave.h"
#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/Query.h"
#include "platform/db/Script.h"
#include "support/DemoModules.h"
#include "support/GuiApp.h"
#include "support/MssqlTestServer.h"
#include "support/TempPgServer.h"

#include <QCheckBox>
#include <QLineEdit>
#include <gtest/gtest.h>

namespace {

using testing_support::DemoModules;
using testing_support::MssqlTestServer;
using testing_support::TempPgServer;

enum class Engine { Embedded, Pgsql, Mssql };

std::string engineTestName(const ::testing::TestParamInfo<Engine>& info) {
    switch (info.param) {
    case Engine::Embedded:
        return "Embedded";
    case Engine::Pgsql:
        return "Pgsql";
    case Engine::Mssql:
        break;
    }
    return "Mssql";
}

struct Statement {
    QString connection;
    QString name;
    db::SqlSource sql;
};

void add(std::vector<Statement>& list, const db::Query& q, const QString& name = {}) {
    list.push_back({q.connectionName(), name.isEmpty() ? q.objectName() : name, q.sql()});
}

void add(std::vector<Statement>& list, const db::Script& s) {
    list.push_back({s.connectionName(), s.objectName(), s.sql()});
}

void add(std::vector<Statement>& list, const db::UpdateSql& u, const QString& connection,
         const QString& name) {
    list.push_back({connection, name + QStringLiteral(".ModifySQL"), u.modifySql});
    list.push_back({connection, name + QStringLiteral(".InsertSQL"), u.insertSql});
    if (!u.deleteSql.text().isEmpty()) {
        list.push_back({connection, name + QStringLiteral(".DeleteSQL"), u.deleteSql});
    }
}

class StatementsOnEngines : public ::testing::TestWithParam<Engine> {
protected:
    static void SetUpTestSuite() {
        if (TempPgServer::shared().available()) {
            pgDemo_ = TempPgServer::shared().loadDemo(&why_);
        }
    }
    void SetUp() override {
        testing_support::guiApp();
        if (GetParam() == Engine::Embedded) {
            modules_ = std::make_unique<DemoModules>(1, 102);
            return;
        }
        if (GetParam() == Engine::Mssql) {
            if (!MssqlTestServer::shared().available()) {
                GTEST_SKIP() << "no SQL Server: "
                             << MssqlTestServer::shared().whyUnavailable().toStdString();
            }
            static QString msWhy;
            static const bool msDemo = MssqlTestServer::shared().loadDemo(&msWhy);
            ASSERT_TRUE(msDemo) << msWhy.toStdString();
            modules_ = DemoModules::onServer(MssqlTestServer::shared().serverName(), 1, 102);
            return;
        }
        if (!TempPgServer::shared().available()) {
            GTEST_SKIP() << "no PostgreSQL server: "
                         << TempPgServer::shared().whyUnavailable().toStdString();
        }
        ASSERT_TRUE(pgDemo_) << why_.toStdString();
        modules_ = DemoModules::onServer(TempPgServer::shared().serverName(), 1, 102);
    }

    static inline bool pgDemo_ = false;
    static inline QString why_;
    std::unique_ptr<DemoModules> modules_;
};

INSTANTIATE_TEST_SUITE_P(Engines, StatementsOnEngines,
                         ::testing::Values(Engine::Embedded, Engine::Pgsql, Engine::Mssql),
                         engineTestName);

TEST_P(StatementsOnEngines, EveryStatementOfTheDocumentsAndDataModulesIsAccepted) {
    orders::ShareOrder share;
    orders::SpecialOrder special;
    orders::SpecialOrderSave saving(special);
    orders::PickLists pickLists;

    std::vector<Statement> list;
    for (const db::Query* q : {&share.QHd, &share.QDt, &share.QGetBarcode, &share.QLoadN,
                               &share.QChkOnHand, &share.QRoundup, &share.QStillOpen}) {
        add(list, *q);
    }
    add(list, share.UHd, share.QHd.connectionName(), QStringLiteral("UHd"));
    add(list, share.UDt, share.QDt.connectionName(), QStringLiteral("UDt"));
    add(list, share.SQLInsertTranBranch);
    for (const db::Query* q :
         {&special.QGetBranch, &special.QLoad, &special.QGetBarcode, &special.QChkOnHand,
          &special.QRoundup, &special.QMovedOn, &special.SQLCancel, &saving.SQLInsert,
          &saving.QTranBranch, &saving.SQLUpdateTranBranch, &saving.SQLCloseTranBranch,
          &saving.QNumberUsed}) {
        add(list, *q);
    }
    add(list, pickLists.QPickLines, QStringLiteral("QPickLines"));
    add(list, DmConfig->QChkConfig, QStringLiteral("QChkConfig"));
    add(list, DmConfig->SQLUpdate);
    add(list, DmConfig->QUser, QStringLiteral("QUser"));
    add(list, DmConfig->QCompanyConfig, QStringLiteral("QCompanyConfig"));
    add(list, DM->QDocumentNo, QStringLiteral("QDocumentNo"));

    int pieces = 0;
    for (const Statement& s : list) {
        ASSERT_FALSE(s.connection.isEmpty()) << s.name.toStdString();
        db::Connection& connection = db::Connection::byName(s.connection);
        try {
            const QString text = s.sql.textFor(connection.backendKind());
            for (const QString& piece : db::splitScript(text)) {
                connection.session().check(s.name, db::SqlText(piece));
                ++pieces;
            }
        } catch (const db::DbError& e) {
            ADD_FAILURE() << s.name.toStdString() << " on " << s.connection.toStdString() << ": "
                          << e.message().toStdString();
        }
    }
    EXPECT_GE(pieces, int(list.size()));
}

// The lookups build their statements from what the clerk typed and ticked: each way of
// searching runs, and a title click sorts by each column.
TEST_P(StatementsOnEngines, EveryLookupSearchRunsAndSortsByEachColumn) {
    auto sortByEveryColumn = [](TFrSearch& lookup, const char* what) {
        for (int c = 0; c < lookup.QSearch.fieldCount(); ++c) {
            try {
                lookup.DgSearchTitleBtnClick(lookup.QSearch.fields()[size_t(c)].get());
            } catch (const db::DbError& e) {
                ADD_FAILURE() << what << " sorted by column " << c << ": "
                              << e.message().toStdString();
            }
        }
    };
    auto search = [](auto&& run, const char* what) {
        try {
            run();
        } catch (const db::DbError& e) {
            ADD_FAILURE() << what << ": " << e.message().toStdString();
        }
    };

    for (bool includeFs : {false, true}) {
        TFrSearchBranch branches;
        branches.IncludeFSBranches = includeFs;
        branches.Code->setText(QStringLiteral("b0"));
        search([&] { branches.BtSearchClick(); }, "branches");
        EXPECT_GT(branches.QSearch.recordCount(), 0) << "a lower-case code matches";
        sortByEveryColumn(branches, "branches");
    }

    TFrSearchOrderShereNo shareNumbers;
    search([&] { shareNumbers.BtSearchClick(); }, "share order numbers");
    sortByEveryColumn(shareNumbers, "share order numbers");

    TFrSearchOrderSpecialNo specialNumbers;
    search([&] { specialNumbers.BtSearchClick(); }, "special order numbers");
    sortByEveryColumn(specialNumbers, "special order numbers");

    struct ProductSearch {
        const char* name;
        bool fullWord;
        const char* smallUnitOnly;
        const char* barcode;
    };
    const ProductSearch productSearches[] = {{"", false, "N", ""},
                                             {"", false, "Y", "885"},
                                             {"a", false, "Y", ""},
                                             {"no such product", true, "N", "885"}};
    for (const ProductSearch& p : productSearches) {
        TF_SearchProductUnitsTivasMaster products;
        products.SmallUnitOnly = QLatin1String(p.smallUnitOnly);
        products.InputName->setText(QString::fromUtf8(p.name));
        products.FullWord->setChecked(p.fullWord);
        products.EdBarcode->setText(QLatin1String(p.barcode));
        search([&] { products.BSearchClick(); }, "product units");
        EXPECT_TRUE(products.Query1.isActive()) << p.name << "/" << p.barcode;
    }
}

} // namespace
