// ordertool-db on PostgreSQL: a demo server made on a throw-away PostgreSQL server (skipped,
// saying why, when there is none) read through the program's database layer beside the same
// demo made on the embedded engine.

#include "ordertool-db/pgsql_writer.h"
#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/PgsqlBackend.h"
#include "platform/db/Query.h"
#include "platform/db/Script.h"
#include "support/TempPgServer.h"
#include "support/ToolRun.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>
#include <string>

namespace {

using testing_support::TempPgServer;

const QStringList kDatabases = {"QRV_CONFIG_NVK", "NVKDC",     "NVK",
                                "NVKTRANSFER",    "NVKBRANCH", "MASTER"};

using testing_support::runTool;
using testing_support::ToolRun;

// The first column of the first row, read through the database layer.
qint64 number(const QString& connection, const QString& sql) {
    db::Query q(connection, db::SqlSource(sql));
    q.open();
    if (q.recordCount() == 0) {
        throw std::runtime_error("no row: " + sql.toStdString());
    }
    return q.fields().at(0)->asInteger();
}

QString drawNumber(const QString& connection, const QString& code, int year) {
    db::StoredProc proc(connection, QStringLiteral("NewDocumentNo"));
    proc.addParam(QStringLiteral("Result"), db::FieldType::Integer, db::ParamDirection::Result);
    proc.addParam(QStringLiteral("@DocCode"), db::FieldType::Text, db::ParamDirection::Input)
        .setValue(code);
    proc.addParam(QStringLiteral("@DocYear"), db::FieldType::Integer, db::ParamDirection::Input)
        .setValue(year);
    proc.addParam(QStringLiteral("@NewNo"), db::FieldType::Text, db::ParamDirection::Output);
    proc.execute();
    return proc.paramByName(QStringLiteral("NewNo")).asString();
}

// One demo server per engine, made once for the tests of this program: connections "Pg" and
// "Embedded" on the company database of each.
class PgsqlDemoServer : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!TempPgServer::shared().available()) {
            return;
        }
        for (const QString& name : kDatabases) {
            TempPgServer::shared().exec(name, "DROP SCHEMA IF EXISTS " +
                                                  db::PgsqlBackend::schemaOf(name) + " CASCADE");
        }
        pgRun_ = new ToolRun(
            runTool({"init", "--server", TempPgServer::shared().serverName(), "--demo"}));
        folder_ = new QTemporaryDir;
        embeddedRun_ =
            new ToolRun(runTool({"init", "--server", "sqlite:" + folder_->path(), "--demo"}));
    }
    static void TearDownTestSuite() {
        delete pgRun_;
        delete embeddedRun_;
        delete folder_;
        pgRun_ = embeddedRun_ = nullptr;
        folder_ = nullptr;
    }

    void SetUp() override {
        if (!TempPgServer::shared().available()) {
            GTEST_SKIP() << "no PostgreSQL server: "
                         << TempPgServer::shared().whyUnavailable().toStdString();
        }
        ASSERT_EQ(pgRun_->exitCode, 0) << pgRun_->err.toStdString();
        ASSERT_EQ(embeddedRun_->exitCode, 0) << embeddedRun_->err.toStdString();
        pg_ = connect("Pg", TempPgServer::shared().serverName());
        embedded_ = connect("Embedded", "sqlite:" + folder_->path());
    }

    static std::unique_ptr<db::Connection> connect(const QString& name, const QString& server) {
        auto c = std::make_unique<db::Connection>(name);
        c->params() << "SERVER NAME=" + server << QStringLiteral("DATABASE NAME=NVKDC");
        return c;
    }

    static ToolRun* pgRun_;
    static ToolRun* embeddedRun_;
    static QTemporaryDir* folder_;
    std::unique_ptr<db::Connection> pg_;
    std::unique_ptr<db::Connection> embedded_;
};

ToolRun* PgsqlDemoServer::pgRun_ = nullptr;
ToolRun* PgsqlDemoServer::embeddedRun_ = nullptr;
QTemporaryDir* PgsqlDemoServer::folder_ = nullptr;

TEST_F(PgsqlDemoServer, HoldsTheRowsOfTheEmbeddedDemo) {
    EXPECT_TRUE(pgRun_->out.contains("Created demo server pgsql://")) << pgRun_->out.toStdString();
    const char* queries[] = {
        "select count(*) from QRV_CONFIG_NVK.dbo.Branch",
        "select count(*) from QRV_CONFIG_NVK.dbo.username",
        "select count(*) from Nvk.dbo.Product",
        "select count(*) from Nvk.dbo.productprice",
        "select count(*) from Product",
        "select count(*) from TranBranch",
        "select count(distinct OrderNo) from TranBranch where OrderType = 'L'",
        // Text compares without regard to case on both engines.
        "select count(*) from TranBranch where OrderType = 'l'",
        "select count(*) from QRV_CONFIG_NVK.dbo.Branch where BranchCode like 'dc%'",
        "select count(*) from OrderShereHd h join OrderShereDt d on d.OrderShereHd = h.Id",
        "select count(*) from NVKTRANSFER.dbo.TranAllBranchDt",
        "select count(*) from NVKBRANCH.dbo.ProductOnhandAllBranch",
        "select count(*) from DocumentNo",
    };
    for (const char* sql : queries) {
        SCOPED_TRACE(sql);
        try {
            const qint64 expected = number("Embedded", sql);
            EXPECT_GT(expected, 0);
            EXPECT_EQ(number("Pg", sql), expected);
        } catch (const db::DbError& e) {
            ADD_FAILURE() << e.message().toStdString();
        }
    }
}

TEST_F(PgsqlDemoServer, NumbersAndIdsRunOnFromTheLoadedRows) {
    const int year = QDate::currentDate().year();
    for (const char* code : {"PICKSPECIA", "ORD-SHARE"}) {
        SCOPED_TRACE(code);
        const QString first = drawNumber("Embedded", code, year);
        EXPECT_FALSE(first.isEmpty());
        EXPECT_EQ(drawNumber("Pg", code, year), first);
        EXPECT_NE(drawNumber("Pg", code, year), first);
    }
    // A row without an Id takes the one after the generated rows.
    for (const char* connection : {"Embedded", "Pg"}) {
        SCOPED_TRACE(connection);
        const qint64 last = number(connection, "select max(Id) from TranBranch");
        db::Query insert(connection,
                         db::SqlSource("insert into TranBranch (OrderNo, OrderType, BranchCode) "
                                       "values (:OrderNo, 'L', 'B001')"));
        insert.paramByName("OrderNo").setValue(QStringLiteral("ID-CHECK"));
        ASSERT_NO_THROW(insert.execSQL());
        EXPECT_EQ(number(connection, "select Id from TranBranch where OrderNo = 'id-check'"),
                  last + 1);
    }
}

TEST_F(PgsqlDemoServer, IsReplacedOnlyWithForce) {
    const QString server = TempPgServer::shared().serverName();
    TempPgServer::shared().exec("MASTER", "insert into ServerInfo (Description) values ('marker')");
    const QString markers = "select count(*) from MASTER.dbo.ServerInfo where Description = "
                            "'marker'";

    const ToolRun refused = runTool({"init", "--server", server, "--demo"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains("--force")) << refused.err.toStdString();
    EXPECT_EQ(number("Pg", markers), 1);

    const ToolRun forced = runTool({"init", "--server", server, "--demo", "--force"});
    EXPECT_EQ(forced.exitCode, 0) << forced.err.toStdString();
    EXPECT_EQ(number("Pg", markers), 0);
    EXPECT_EQ(number("Pg", "select count(*) from Nvk.dbo.Product"),
              number("Embedded", "select count(*) from Nvk.dbo.Product"));
}

} // namespace

namespace {

// The rows go to the server in COPY's text format: every character a text may hold arrives
// as written, NULL stays NULL and an empty text stays empty, numbers keep every digit.
TEST(PgsqlWriter, CopiesEveryTextAndNumberAsWritten) {
    if (!TempPgServer::shared().available()) {
        GTEST_SKIP() << "no PostgreSQL server: "
                     << TempPgServer::shared().whyUnavailable().toStdString();
    }
    static const std::vector<dbtool::DatabaseSchema> schema = {
        {"NVKTRANSFER", {"CREATE TABLE Sample(Id integer, T text, F double precision)"}, {}}};
    struct Row {
        const char* text; // nullptr: NULL
        double number;
    };
    const Row rows[] = {{"tab\there", 0.1},
                        {"line\nbreak\r\n", 1e-300},
                        {"back\\slash \\N \\.", 123456789.123},
                        {"\\.", -0.0},
                        {"ไทย 'quoted' \"double\"", 1.0 / 3},
                        {"", 5},
                        {nullptr, 0}};
    {
        dbtool::PgsqlServerWriter writer(TempPgServer::shared().serverName(), schema);
        writer.create();
        auto& sample = writer.table("NVKTRANSFER", "Sample", {"Id", "T", "F"});
        int id = 0;
        for (const Row& r : rows) {
            sample.add({++id, r.text ? dbtool::Cell(r.text) : dbtool::Cell(nullptr), r.number});
        }
        writer.finish();
    }
    const auto stored = TempPgServer::shared().rows(
        QStringLiteral("NVKTRANSFER"),
        QStringLiteral("select coalesce(T, '<null>') || '|' || F::text from Sample order by Id"));
    ASSERT_EQ(stored.size(), std::size(rows));
    for (size_t i = 0; i < stored.size(); ++i) {
        const std::string text = rows[i].text ? rows[i].text : "<null>";
        EXPECT_EQ(stored[i].substr(0, text.size() + 1), text + "|") << i;
        EXPECT_EQ(std::stod(stored[i].substr(text.size() + 1)), rows[i].number) << i;
    }
}

} // namespace
