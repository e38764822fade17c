// The database layer's contract held on every engine: the embedded server, PostgreSQL and
// SQL Server. Each test body runs once per engine; on PostgreSQL it runs against a throw-away
// server (or the one ORDERTOOL_TEST_PGSQL names), on SQL Server against the one
// ORDERTOOL_TEST_MSSQL names (scripts/test-mssql.sh), and is skipped, saying why, when there
// is none. The forward cursor's contract runs on the engines that stream rows.

#include "data/SharedStatements.h"
#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/PgsqlBackend.h"
#include "platform/db/PgsqlSession.h"
#include "platform/db/Query.h"
#include "platform/db/Script.h"
#include "support/DbChecks.h"
#include "support/MssqlTestServer.h"
#include "support/TempPgServer.h"
#include "support/TempServer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <utility>

namespace {

using testing_support::dbErrorOf;
using testing_support::kDatabases;
using testing_support::MssqlTestServer;
using testing_support::Rows;
using testing_support::str;
using testing_support::TempPgServer;
using testing_support::TempServer;
using Bindings = testing_support::Bindings;

enum class Engine { Embedded, Pgsql, Mssql };

const char* engineName(Engine e) {
    switch (e) {
    case Engine::Embedded:
        return "Embedded";
    case Engine::Pgsql:
        return "Pgsql";
    case Engine::Mssql:
        break;
    }
    return "Mssql";
}

std::string engineTestName(const ::testing::TestParamInfo<Engine>& info) {
    return engineName(info.param);
}

// Names the engine in test listings and failure messages.
void PrintTo(Engine e, std::ostream* os) {
    *os << engineName(e);
}

// One server of an engine, seen from outside the layer: set-up statements and reading back.
class EngineServer {
public:
    virtual ~EngineServer() = default;
    virtual QString serverName() const = 0;
    virtual void exec(const QString& database, const QString& sql) const = 0;
    virtual Rows rows(const QString& database, const QString& sql) const = 0;
    // The lines a connection needs to reach a database of the server.
    virtual QStringList params(const QString& database) const {
        return {QStringLiteral("SERVER NAME=") + serverName(),
                QStringLiteral("DATABASE NAME=") + database};
    }
};

class EmbeddedServer : public EngineServer {
public:
    QString serverName() const override { return server_.serverName(); }
    void exec(const QString& database, const QString& sql) const override {
        server_.exec(database, sql);
    }
    Rows rows(const QString& database, const QString& sql) const override {
        return server_.rows(database, sql);
    }

private:
    TempServer server_{kDatabases};
};

class PgServer : public EngineServer {
public:
    PgServer() { TempPgServer::shared().resetDatabases(kDatabases); }
    QString serverName() const override { return TempPgServer::shared().serverName(); }
    void exec(const QString& database, const QString& sql) const override {
        TempPgServer::shared().exec(database, sql);
    }
    Rows rows(const QString& database, const QString& sql) const override {
        return TempPgServer::shared().rows(database, sql);
    }
};

class MsServer : public EngineServer {
public:
    MsServer() { MssqlTestServer::shared().resetDatabases(kDatabases); }
    QString serverName() const override { return MssqlTestServer::shared().serverName(); }
    void exec(const QString& database, const QString& sql) const override {
        MssqlTestServer::shared().exec(database, sql);
    }
    Rows rows(const QString& database, const QString& sql) const override {
        return MssqlTestServer::shared().rows(database, sql);
    }
    QStringList params(const QString& database) const override {
        return MssqlTestServer::shared().params(database);
    }
};

// The connection "Main" on NVKDC of a fresh server of the engine under test. Tables are
// made with types both engines read alike (integers, text), so rows compare as written.
class DbContract : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        if (GetParam() == Engine::Pgsql) {
            if (!TempPgServer::shared().available()) {
                GTEST_SKIP() << "no PostgreSQL server: "
                             << str(TempPgServer::shared().whyUnavailable());
            }
            server_ = std::make_unique<PgServer>();
        } else if (GetParam() == Engine::Mssql) {
            if (!MssqlTestServer::shared().available()) {
                GTEST_SKIP() << "no SQL Server: "
                             << str(MssqlTestServer::shared().whyUnavailable());
            }
            server_ = std::make_unique<MsServer>();
        } else {
            server_ = std::make_unique<EmbeddedServer>();
        }
        main_ = connect(QStringLiteral("Main"));
    }

    std::unique_ptr<db::Connection> connect(const QString& name,
                                            const QString& database = QStringLiteral("NVKDC")) {
        auto c = std::make_unique<db::Connection>(name);
        c->params() << server_->params(database);
        return c;
    }

    // SQL Server joins texts with '+' where the others write '||'.
    QString dialect(QString sql) const {
        if (GetParam() == Engine::Mssql) {
            sql.replace(QLatin1String(" || "), QLatin1String(" + "));
        }
        return sql;
    }

    std::unique_ptr<db::Query> query(const QString& sql, const Bindings& bindings = {},
                                     const QString& connection = QStringLiteral("Main")) {
        auto q = std::make_unique<db::Query>(connection, db::SqlSource(dialect(sql)));
        for (const auto& [name, value] : bindings) {
            q->paramByName(name).setValue(value);
        }
        return q;
    }
    qint64 exec(const QString& sql, const Bindings& bindings = {}) {
        return query(sql, bindings)->execSQL();
    }
    Rows stored(const QString& sql) const { return server_->rows(QStringLiteral("NVKDC"), sql); }

    std::unique_ptr<EngineServer> server_;
    std::unique_ptr<db::Connection> main_;
};

INSTANTIATE_TEST_SUITE_P(Engines, DbContract,
                         ::testing::Values(Engine::Embedded, Engine::Pgsql, Engine::Mssql),
                         engineTestName);

TEST_P(DbContract, RepeatedParameterTakesItsValueEverywhereWhateverTheCase) {
    auto q = query(QStringLiteral("select :Val || '-' || :VAL || '-' || :val as r, 'a:b' as lit "
                                  "/* :y? */ -- :x?\n, :Other as o"));
    ASSERT_EQ(q->params().size(), 2u);
    q->paramByName(QStringLiteral("vAL")).setValue(QStringLiteral("ab"));
    q->paramByName(QStringLiteral(":other")).setValue(7);
    ASSERT_NO_DB_ERROR(q->open());
    EXPECT_EQ(q->fieldByName("r").asString(), QStringLiteral("ab-ab-ab"));
    EXPECT_EQ(q->fieldByName("lit").asString(), QStringLiteral("a:b"));
    EXPECT_EQ(q->fieldByName("o").asInteger(), 7);
}

// Checking a statement finds what running it would, and changes nothing.
TEST_P(DbContract, CheckingAStatementFindsItsFaultsWithoutRunningIt) {
    server_->exec("NVKDC", "create table Person(Id INTEGER PRIMARY KEY, Name VARCHAR(60))");
    db::Session& session = main_->session();
    const char* sound[] = {
        "insert into Person(Id, Name) values (:Id, :Name)",
        "update Person set Name = :Name where Id = :Id",
        "If Not Exists(Select Id From Person Where Id = 1) Insert Into Person(Id, Name) "
        "Values (1, 'x')",
        "create table Other(Id INTEGER)"};
    for (const char* text : sound) {
        EXPECT_NO_THROW(
            session.check(QStringLiteral("Sound"), db::SqlText(QString::fromUtf8(text))))
            << text;
    }
    const char* faulty[] = {"update Person set NoSuchColumn = :Name where Id = :Id",
                            "select Id from NoSuchTable", "select Id frm Person",
                            "If Exists(Select NoSuchColumn From Person) Delete From Person"};
    for (const char* text : faulty) {
        try {
            session.check(QStringLiteral("Faulty"), db::SqlText(QString::fromUtf8(text)));
            ADD_FAILURE() << "accepted: " << text;
        } catch (const db::DbError& e) {
            EXPECT_EQ(e.statementName(), QStringLiteral("Faulty")) << text;
        }
    }
    EXPECT_EQ(stored("select count(*) from Person"), Rows{"0"});
    ASSERT_NO_DB_ERROR(exec(QStringLiteral("create table Other(Id INTEGER)")));
}

TEST_P(DbContract, ValuesAreBoundNotSpliced) {
    server_->exec("NVKDC", "create table Person(Id INTEGER PRIMARY KEY, Name VARCHAR(60))");
    const QStringList hostile = {QStringLiteral("O'Brien"),
                                 QStringLiteral("x' or '1'='1"),
                                 QStringLiteral("'); drop table Person; --"),
                                 QStringLiteral(":Id '' :: ? $1"),
                                 QStringLiteral("back\\slash"),
                                 QStringLiteral("ไทย")};
    for (int i = 0; i < hostile.size(); ++i) {
        ASSERT_NO_DB_ERROR(exec(QStringLiteral("insert into Person(Id, Name) values (:Id, :Name)"),
                                {{"Id", i + 1}, {"Name", hostile[i]}}));
    }
    for (int i = 0; i < hostile.size(); ++i) {
        auto q = query(QStringLiteral("select Id, Name from Person where Name = :Name"),
                       {{"Name", hostile[i]}});
        ASSERT_NO_DB_ERROR(q->open());
        ASSERT_EQ(q->recordCount(), 1) << str(hostile[i]);
        EXPECT_EQ(q->fieldByName("Id").asInteger(), i + 1);
        EXPECT_EQ(q->fieldByName("Name").asString(), hostile[i]);
    }
    EXPECT_EQ(stored("select count(*) from Person"), Rows{std::to_string(hostile.size())});
}

TEST_P(DbContract, TypesRoundTripAndDateTimesKeepTheirWallClock) {
    server_->exec("NVKDC", "create table Typed(Id INTEGER PRIMARY KEY, T VARCHAR(40), I BIGINT, "
                           "F FLOAT, D " +
                               QString(GetParam() == Engine::Pgsql ? "TIMESTAMP(3)" : "DATETIME") +
                               ")");
    const QDateTime when(QDate(2024, 2, 29), QTime(13, 45, 7, 123));
    const char* insert = "insert into Typed(Id, T, I, F, D) values (:Id, :T, :I, :F, :D)";
    ASSERT_NO_DB_ERROR(exec(insert, {{"Id", 1},
                                     {"T", QStringLiteral("text")},
                                     {"I", QVariant::fromValue<qint64>(9007199254740993LL)},
                                     {"F", 2.25},
                                     {"D", when}}));
    ASSERT_NO_DB_ERROR(exec(insert, {{"Id", 2}, {"T", {}}, {"I", {}}, {"F", {}}, {"D", {}}}));

    auto q = query(QStringLiteral("select T, I, F, D from Typed order by Id"));
    ASSERT_NO_DB_ERROR(q->open());
    ASSERT_EQ(q->recordCount(), 2);
    EXPECT_EQ(q->fieldByName("T").type(), db::FieldType::Text);
    EXPECT_EQ(q->fieldByName("I").type(), db::FieldType::Integer);
    EXPECT_EQ(q->fieldByName("F").type(), db::FieldType::Float);
    EXPECT_EQ(q->fieldByName("D").type(), db::FieldType::DateTime);
    EXPECT_EQ(q->fieldByName("T").size(), 40);
    EXPECT_EQ(q->fieldByName("T").asString(), QStringLiteral("text"));
    EXPECT_EQ(q->fieldByName("I").asInteger(), 9007199254740993LL);
    EXPECT_EQ(q->fieldByName("F").asFloat(), 2.25);
    EXPECT_EQ(q->fieldByName("D").asDateTime(), when);
    q->next();
    for (const char* f : {"T", "I", "F", "D"}) {
        EXPECT_TRUE(q->fieldByName(f).isNull()) << f;
    }
    // The date-time parameter compares with what was stored.
    auto found = query(QStringLiteral("select Id from Typed where D = :D"), {{"D", when}});
    ASSERT_NO_DB_ERROR(found->open());
    EXPECT_EQ(found->recordCount(), 1);
}

TEST_P(DbContract, UnitsRollBackUnlessCommittedAndSavepointsNest) {
    server_->exec("NVKDC", "create table Step(Id INTEGER PRIMARY KEY)");
    enum class Inner { Commit, Rollback, ScopeExit };
    const struct {
        Inner inner;
        bool commitOuter;
        Rows expected;
    } cases[] = {
        {Inner::Commit, true, {"1", "2", "3"}}, {Inner::Rollback, true, {"1", "3"}},
        {Inner::ScopeExit, true, {"1", "3"}},   {Inner::Commit, false, {}},
        {Inner::Rollback, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << int(c.inner) << " outer " << c.commitOuter);
        server_->exec("NVKDC", "delete from Step");
        {
            db::Unit outer(*main_);
            ASSERT_NO_DB_ERROR(exec(QStringLiteral("insert into Step values (1)")));
            {
                db::Unit inner(*main_);
                ASSERT_NO_DB_ERROR(exec(QStringLiteral("insert into Step values (2)")));
                if (c.inner == Inner::Commit) {
                    inner.commit();
                } else if (c.inner == Inner::Rollback) {
                    inner.rollback();
                }
            }
            ASSERT_NO_DB_ERROR(exec(QStringLiteral("insert into Step values (3)")));
            // Not visible to others before the outer commit.
            EXPECT_EQ(stored("select count(*) from Step"), Rows{"0"});
            if (c.commitOuter) {
                ASSERT_NO_DB_ERROR(outer.commit());
            }
        }
        EXPECT_FALSE(main_->inTransaction());
        EXPECT_EQ(stored("select Id from Step order by Id"), c.expected);
    }
}

// Items 1..3 read by a cached query; every send counts in Sends.
TEST_P(DbContract, CachedUpdatesAreAllOrNothingAndRequireOneRow) {
    server_->exec("NVKDC", "create table Item(Id INTEGER PRIMARY KEY, Name VARCHAR(20), "
                           "Price INTEGER NOT NULL, Sends INTEGER NOT NULL DEFAULT 0)");
    const QString fill = QStringLiteral("insert into Item(Id, Name, Price) values (1, 'a', 1), "
                                        "(2, 'b', 2), (3, 'c', 3)");
    server_->exec("NVKDC", fill);
    db::UpdateSql update;
    update.modifySql = "update Item set Name = :Name, Price = :Price, Sends = Sends + 1 "
                       "where Id = :OLD_Id and Name = :OLD_Name";
    update.insertSql = "insert into Item(Id, Name, Price, Sends) values (:Id, :Name, :Price, 1)";
    update.deleteSql = "delete from Item where Id = :OLD_Id";
    auto items = [&] {
        auto q = query(QStringLiteral("select Id, Name, Price from Item order by Id"));
        q->setObjectName(QStringLiteral("qryItem"));
        q->setCachedUpdates(true);
        q->setUpdateObject(&update);
        q->open();
        return q;
    };
    auto editPrice = [](db::Query& q, int id, const QVariant& price) {
        ASSERT_TRUE(q.locate("Id", id)) << id;
        q.edit();
        q.fieldByName("Price").setValue(price);
        q.post();
    };
    const Rows untouched = {"1|a|1|0", "2|b|2|0", "3|c|3|0"};
    const char* storedItems = "select Id, Name, Price, Sends from Item order by Id";

    // A NOT NULL failure in the middle: nothing stays, everything stays pending.
    auto q = items();
    editPrice(*q, 1, 10);
    editPrice(*q, 3, QVariant());
    q->append();
    q->fieldByName("Id").setValue(4);
    q->fieldByName("Name").setValue(QStringLiteral("d"));
    q->fieldByName("Price").setValue(4);
    q->post();
    const auto error = dbErrorOf([&] { q->applyUpdates(); });
    ASSERT_TRUE(error);
    // The error dialog matches its fragments without regard to case.
    EXPECT_TRUE(error->message().contains(
        QStringLiteral("Cannot insert the value NULL into column 'Price'"), Qt::CaseInsensitive))
        << str(error->message());
    EXPECT_EQ(stored(storedItems), untouched);
    EXPECT_TRUE(q->updatesPending());
    EXPECT_FALSE(main_->inTransaction());
    editPrice(*q, 3, 30);
    ASSERT_NO_DB_ERROR(q->applyUpdates());
    EXPECT_EQ(stored(storedItems), (Rows{"1|a|10|1", "2|b|2|0", "3|c|30|1", "4|d|4|1"}));

    // Inside the caller's transaction, a failure of a later dataset takes back the first.
    server_->exec("NVKDC", "delete from Item");
    server_->exec("NVKDC", fill);
    q = items();
    editPrice(*q, 2, 20);
    {
        db::Unit t(*main_);
        ASSERT_NO_DB_ERROR(q->applyUpdates());
        EXPECT_TRUE(dbErrorOf([&] { exec(QStringLiteral("insert into Item(Id) values (9)")); }));
    }
    EXPECT_EQ(stored(storedItems), untouched);
    EXPECT_TRUE(q->updatesPending());

    // A row renamed by another connection is not overwritten.
    auto other = connect(QStringLiteral("Other"));
    EXPECT_EQ(query(QStringLiteral("update Item set Name = 'renamed' where Id = 2"), {},
                    QStringLiteral("Other"))
                  ->execSQL(),
              1);
    const auto conflict = dbErrorOf([&] { q->applyUpdates(); });
    ASSERT_TRUE(conflict);
    EXPECT_TRUE(conflict->message().contains(QStringLiteral("changed or removed by another user")))
        << str(conflict->message());
    EXPECT_EQ(stored(storedItems), (Rows{"1|a|1|0", "2|renamed|2|0", "3|c|3|0"}));
}

TEST_P(DbContract, ConstraintErrorsAreWordedForTheErrorDialogAndKeepTheNativeText) {
    server_->exec("NVKDC", "create table Priced(Code VARCHAR(10) UNIQUE, Price INTEGER NOT NULL)");
    server_->exec("NVKDC", "insert into Priced values ('A', 1)");
    const bool pg = GetParam() == Engine::Pgsql;
    const bool ms = GetParam() == Engine::Mssql;
    const struct {
        const char* sql;
        const char* worded;
        const char* native;
        const char* sqlState;
        db::DbErrorKind kind;
    } cases[] = {
        {"insert into Priced values ('A', 2)", "Cannot insert duplicate",
         pg   ? "duplicate key value violates unique constraint"
         : ms ? "Violation of UNIQUE KEY constraint"
              : "UNIQUE constraint failed",
         "23505", db::DbErrorKind::DuplicateKey},
        {"insert into Priced values ('B', NULL)",
         "Cannot insert the value NULL into column 'Price'",
         pg   ? "violates not-null constraint"
         : ms ? "column does not allow nulls"
              : "NOT NULL constraint failed",
         "23502", db::DbErrorKind::NullNotAllowed},
        {"update Priced set Price = NULL", "Cannot insert the value NULL into column 'Price'",
         pg   ? "violates not-null constraint"
         : ms ? "column does not allow nulls"
              : "NOT NULL constraint failed",
         "23502", db::DbErrorKind::NullNotAllowed},
        {"insert into NoSuchTable values (1)", "NoSuchTable",
         pg ? "does not exist" : (ms ? "Invalid object name" : "no such table"), "42P01",
         db::DbErrorKind::Other},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        auto q = query(QString::fromUtf8(c.sql));
        q->setObjectName(QStringLiteral("qrySave"));
        const auto e = dbErrorOf([&] { q->execSQL(); });
        ASSERT_TRUE(e) << "did not fail";
        EXPECT_TRUE(e->message().contains(QString::fromUtf8(c.worded), Qt::CaseInsensitive))
            << str(e->message());
        EXPECT_TRUE(e->message().contains(QString::fromUtf8(c.native))) << str(e->message());
        EXPECT_EQ(e->statementName(), QStringLiteral("qrySave"));
        EXPECT_EQ(e->kind(), c.kind);
        if (pg) {
            EXPECT_EQ(e->sqlState(), QString::fromUtf8(c.sqlState));
        } else {
            EXPECT_NE(e->nativeCode(), 0);
        }
    }
    EXPECT_EQ(stored("select Code, Price from Priced"), (Rows{"A|1"}));
}

// The rounding both documents use, in the server's decimal arithmetic.
TEST_P(DbContract, RoundingToPacksGivesTheSameResultsOnEveryEngine) {
    const struct {
        qint64 qty;
        double pack;
        double rounded;
    } cases[] = {{13, 12, 24},   {7, 0.07, 7}, {6, 2.5, 7.5},
                 {-13, 12, -12}, {-5, 12, 0},  {24, 12, 24}};
    for (const auto& c : cases) {
        db::Query q(QStringLiteral("Main"), contract::roundupStatement());
        q.params().set(QStringLiteral("Qty"), c.qty);
        q.params().set(QStringLiteral("UnitPicking"), c.pack);
        q.open();
        EXPECT_DOUBLE_EQ(q[QStringLiteral("RoundupQty")].asFloat(), c.rounded)
            << c.qty << " in packs of " << c.pack;
    }
}

TEST_P(DbContract, ThreePartNamesReachEveryDatabaseOfTheServer) {
    server_->exec("NVK", "create table Product(Code VARCHAR(10), Name VARCHAR(20))");
    server_->exec("NVK", "insert into Product values ('P1', 'sibling')");
    server_->exec("NVKDC", "create table Local(Id INTEGER, Name VARCHAR(20))");
    server_->exec("NVKDC", "insert into Local values (1, 'main')");
    const struct {
        const char* sql;
        const char* expected;
    } cases[] = {
        {"select Name from Nvk.dbo.Product", "sibling"},
        {"select Name from NVK.Dbo.Product", "sibling"},
        {"select Name from nvk . DBO . Product", "sibling"},
        {"select [Name] from NVKDC.dbo.[Local]", "main"},
        {"select p.Name || '+' || l.Name as Name from Nvk.dbo.Product p join NVKDC.dbo.Local l "
         "on l.Id = 1",
         "sibling+main"},
        {"select 'Nvk.dbo.Product' as Name", "Nvk.dbo.Product"},
    };
    for (const auto& c : cases) {
        auto q = query(QString::fromUtf8(c.sql));
        ASSERT_NO_DB_ERROR(q->open());
        EXPECT_EQ(q->fieldByName("Name").asString(), QString::fromUtf8(c.expected)) << c.sql;
    }
    ASSERT_NO_DB_ERROR(exec(QStringLiteral("insert into Nvk.dbo.Product values (:Code, 'written')"),
                            {{"Code", "P2"}}));
    EXPECT_EQ(server_->rows("NVK", "select Name from Product where Code = 'P2'"),
              (Rows{"written"}));
}

TEST_P(DbContract, MissingDatabaseFailsAsALoginToIt) {
    auto c = connect(QStringLiteral("Nowhere"), QStringLiteral("NOPE"));
    const auto e = dbErrorOf([&] { c->open(); });
    ASSERT_TRUE(e);
    EXPECT_TRUE(e->message().contains(QStringLiteral("Cannot open database \"NOPE\"")))
        << str(e->message());
    EXPECT_FALSE(c->connected());
}

TEST_P(DbContract, ClientSideIfRunsTheStatementOnlyWhenTheConditionHolds) {
    server_->exec("NVKDC", "create table Menu(Id INTEGER PRIMARY KEY, Caption VARCHAR(50))");
    server_->exec("NVKDC", "insert into Menu values (1, 'a)b')");
    const struct {
        const char* sql;
        int id;
        qint64 affected;
    } cases[] = {
        {"If Exists(select 1 from Menu where Id = :Id) update Menu set Caption = :Cap where "
         "Id = :Id",
         1, 1},
        {"If Exists(select 1 from Menu where Id = :Id) update Menu set Caption = :Cap where "
         "Id = :Id",
         9, 0},
        {"if not exists (select 1 from Menu where Id = :Id)\nbegin\n  insert into Menu(Id, "
         "Caption) values (:Id, :Cap)\nend",
         9, 1},
        {"IF NOT EXISTS(SELECT 1 FROM Menu WHERE Id = :Id) BEGIN INSERT INTO Menu(Id, Caption) "
         "VALUES (:Id, :Cap) END",
         9, 0},
        {"If Exists(select 1 from Menu where Caption <> 'a)b' and Id <> :Id) Begin update Menu "
         "set Caption = :Cap || ' again' where Id = :Id End",
         9, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        qint64 affected = -1;
        ASSERT_NO_DB_ERROR(affected =
                               exec(QString::fromUtf8(c.sql),
                                    {{"Id", c.id}, {"Cap", QStringLiteral("set %1").arg(c.id)}}));
        EXPECT_EQ(affected, c.affected);
    }
    EXPECT_EQ(stored("select Id, Caption from Menu order by Id"),
              (Rows{"1|set 1", "9|set 9 again"}));
}

TEST_P(DbContract, ScriptBindsParametersAcrossStatements) {
    server_->exec("NVKDC", "create table Log(Id INTEGER PRIMARY KEY, Msg VARCHAR(20))");
    db::Script script(
        QStringLiteral("main"),
        db::SqlSource("insert into Log(Id, Msg) values (:Id, :Msg)\n"
                      "  /  \n" +
                      dialect("update Log set Msg = Msg || :Suffix where Id = :ID\n") +
                      "/\n"
                      "insert into Log(Id, Msg) values (:id * 10 / 2, 'x/y:z?')\n"));
    EXPECT_EQ(script.params().size(), 3u);
    script.paramByName(QStringLiteral("ID")).setValue(7);
    script.paramByName(QStringLiteral("msg")).setValue(QStringLiteral("it's"));
    script.paramByName(QStringLiteral("Suffix")).setValue(QStringLiteral("!"));
    QList<qint64> affected;
    ASSERT_NO_DB_ERROR(affected = script.execute());
    EXPECT_EQ(affected, (QList<qint64>{1, 1, 1}));
    EXPECT_EQ(stored("select Id, Msg from Log order by Id"), (Rows{"7|it's!", "35|x/y:z?"}));
}

TEST_P(DbContract, MaxQueryTimeStopsARunawayStatementAndTheConnectionStaysUsable) {
    auto timed = connect(QStringLiteral("Timed"));
    timed->params() << QStringLiteral("MAX QUERY TIME=1");
    const QString recursive =
        GetParam() == Engine::Mssql
            ? QStringLiteral("with n(x) as (select 1 union all select x + 1 from n where x < "
                             "500000000) select count(*) as c from n option (maxrecursion 0)")
            : QStringLiteral("with recursive n(x) as (select 1 union all select x + 1 from n "
                             "where x < 500000000) select count(*) as c from n");
    auto runaway = query(recursive, {}, QStringLiteral("Timed"));
    const auto e = dbErrorOf([&] { runaway->open(); });
    ASSERT_TRUE(e);
    EXPECT_TRUE(e->message().contains(QStringLiteral("SQL Server connection timed out")))
        << str(e->message());
    auto quick = query(QStringLiteral("select 1 as One"), {}, QStringLiteral("Timed"));
    ASSERT_NO_DB_ERROR(quick->open());
    EXPECT_EQ(quick->fieldByName("One").asInteger(), 1);
}

// Num holds the rows 1..1000: more than any slice a list reads at once.
class DbCursor : public DbContract {
protected:
    void SetUp() override {
        DbContract::SetUp();
        if (IsSkipped()) {
            return;
        }
        server_->exec("NVKDC", "create table Num(Id INTEGER PRIMARY KEY, Name VARCHAR(20))");
        server_->exec("NVKDC", "with recursive n(i) as (select 1 union all select i + 1 from n "
                               "where i < 1000) insert into Num(Id, Name) select i, 'row ' || i "
                               "from n");
    }
    // The ids a cursor still has, read in slices of the given size.
    static std::vector<qint64> rest(db::Cursor& cursor, int slice) {
        std::vector<qint64> ids;
        while (!cursor.atEnd()) {
            const auto part = cursor.fetch(slice);
            EXPECT_LE(int(part.size()), slice);
            for (const auto& row : part) {
                ids.push_back(row[0].toLongLong());
            }
        }
        return ids;
    }
    static std::vector<qint64> range(qint64 from, qint64 to) {
        std::vector<qint64> ids;
        for (qint64 i = from; i <= to; ++i) {
            ids.push_back(i);
        }
        return ids;
    }
    db::Params from(int id) const {
        db::Params p;
        p.add(QStringLiteral("From"), db::FieldType::Integer).value = id;
        return p;
    }
};

INSTANTIATE_TEST_SUITE_P(Engines, DbCursor, ::testing::Values(Engine::Embedded, Engine::Pgsql),
                         engineTestName);

TEST_P(DbCursor, YieldsTheRowsOfTheWholeResultInSlicesOfAnySize) {
    db::Session& session = main_->session();
    const db::SqlText sql(QStringLiteral("select Id, Name, Id * 2 as Twice from Num where Id > "
                                         ":From order by Id desc"));
    db::ResultSet whole;
    ASSERT_NO_DB_ERROR(whole = session.execute(QStringLiteral("whole"), sql, from(0)));
    ASSERT_EQ(whole.rows.size(), 1000u);
    for (int slice : {1, 7, 1000, 5000}) {
        SCOPED_TRACE(slice);
        std::unique_ptr<db::Cursor> cursor;
        ASSERT_NO_DB_ERROR(cursor = session.openCursor(QStringLiteral("cursor"), sql, from(0)));
        ASSERT_EQ(cursor->columns().size(), whole.columns.size());
        for (size_t c = 0; c < whole.columns.size(); ++c) {
            EXPECT_EQ(cursor->columns()[c].name.toLower(), whole.columns[c].name.toLower());
            EXPECT_EQ(cursor->columns()[c].type, whole.columns[c].type) << c;
        }
        std::vector<std::vector<QVariant>> rows;
        while (!cursor->atEnd()) {
            auto part = cursor->fetch(slice);
            ASSERT_TRUE(cursor->atEnd() || int(part.size()) == slice) << "short slice mid-way";
            std::move(part.begin(), part.end(), std::back_inserter(rows));
        }
        EXPECT_TRUE(cursor->fetch(slice).empty());
        EXPECT_EQ(rows, whole.rows);
    }
    std::unique_ptr<db::Cursor> none;
    ASSERT_NO_DB_ERROR(none = session.openCursor(QStringLiteral("none"), sql, from(1000)));
    EXPECT_EQ(none->columns().size(), 3u);
    EXPECT_TRUE(none->fetch(10).empty());
    EXPECT_TRUE(none->atEnd());
}

// Every type the layer knows reads alike through a cursor and through execute(): column
// types and sizes, values and empty values; values bound to parameters of each type match.
TEST_P(DbCursor, TypesAndParametersReadAsExecuteReadsThem) {
    server_->exec("NVKDC", "create table Typed(Id INTEGER PRIMARY KEY, T VARCHAR(40), I BIGINT, "
                           "F FLOAT, N DECIMAL(20,2), D " +
                               QString(GetParam() == Engine::Pgsql ? "TIMESTAMP(3)" : "DATETIME") +
                               ")");
    const QDateTime when(QDate(2024, 2, 29), QTime(13, 45, 7, 123));
    const char* insert = "insert into Typed(Id, T, I, F, N, D) values (:Id, :T, :I, :F, :N, :D)";
    ASSERT_NO_DB_ERROR(exec(insert, {{"Id", 1},
                                     {"T", QStringLiteral("ไทย it's")},
                                     {"I", QVariant::fromValue<qint64>(9007199254740993LL)},
                                     {"F", 2.25},
                                     {"N", 12.5},
                                     {"D", when}}));
    ASSERT_NO_DB_ERROR(
        exec(insert, {{"Id", 2}, {"T", {}}, {"I", {}}, {"F", {}}, {"N", {}}, {"D", {}}}));
    db::Session& session = main_->session();
    const db::SqlText all(
        QStringLiteral("select T, I, F, N, D, I + 1 as Expr from Typed order by Id"));
    const db::SqlText bound(QStringLiteral("select Id from Typed where T = :T and I = :I and "
                                           "F = :F and N = :N and D = :D"));
    db::Params params;
    params.add(QStringLiteral("T")).value = QStringLiteral("ไทย it's");
    params.add(QStringLiteral("I")).value = QVariant::fromValue<qint64>(9007199254740993LL);
    params.add(QStringLiteral("F")).value = 2.25;
    params.add(QStringLiteral("N")).value = 12.5;
    params.add(QStringLiteral("D")).value = when;
    for (const auto& [sql, p] : {std::pair{all, db::Params{}}, std::pair{bound, params}}) {
        SCOPED_TRACE(str(sql.original()));
        db::ResultSet whole;
        ASSERT_NO_DB_ERROR(whole = session.execute(QStringLiteral("whole"), sql, p));
        ASSERT_FALSE(whole.rows.empty());
        std::unique_ptr<db::Cursor> cursor;
        ASSERT_NO_DB_ERROR(cursor = session.openCursor(QStringLiteral("cursor"), sql, p));
        ASSERT_EQ(cursor->columns().size(), whole.columns.size());
        for (size_t c = 0; c < whole.columns.size(); ++c) {
            EXPECT_EQ(cursor->columns()[c].type, whole.columns[c].type) << c;
            EXPECT_EQ(cursor->columns()[c].size, whole.columns[c].size) << c;
        }
        std::vector<std::vector<QVariant>> rows;
        while (!cursor->atEnd()) {
            auto part = cursor->fetch(1);
            std::move(part.begin(), part.end(), std::back_inserter(rows));
        }
        ASSERT_EQ(rows.size(), whole.rows.size());
        for (size_t r = 0; r < rows.size(); ++r) {
            for (size_t c = 0; c < rows[r].size(); ++c) {
                EXPECT_EQ(rows[r][c].isNull(), whole.rows[r][c].isNull()) << r << "," << c;
                EXPECT_EQ(rows[r][c], whole.rows[r][c]) << r << "," << c;
            }
        }
    }
}

// Reads, writes and a transaction run on the session between the slices of open cursors,
// the same statement among them; each cursor still yields its rows whole and in order.
TEST_P(DbCursor, OtherStatementsAndCursorsRunWhileOneIsOpen) {
    db::Session& session = main_->session();
    const db::SqlText sql(QStringLiteral("select Id from Num where Id > :From order by Id"));
    std::unique_ptr<db::Cursor> first;
    ASSERT_NO_DB_ERROR(first = session.openCursor(QStringLiteral("first"), sql, from(0)));
    EXPECT_EQ(rest(*first, 10).size(), 1000u) << "read whole when nothing else runs";

    ASSERT_NO_DB_ERROR(first = session.openCursor(QStringLiteral("first"), sql, from(0)));
    ASSERT_EQ(first->fetch(10).size(), 10u);
    db::ResultSet again;
    ASSERT_NO_DB_ERROR(again = session.execute(QStringLiteral("again"), sql, from(0)));
    EXPECT_EQ(again.rows.size(), 1000u);
    std::unique_ptr<db::Cursor> second;
    ASSERT_NO_DB_ERROR(second = session.openCursor(QStringLiteral("second"), sql, from(990)));
    ASSERT_EQ(second->fetch(3).size(), 3u);
    ASSERT_NO_DB_ERROR(exec(QStringLiteral("insert into Num(Id, Name) values (2000, 'late')")));
    {
        db::Unit unit(*main_);
        ASSERT_NO_DB_ERROR(exec(QStringLiteral("update Num set Name = 'changed' where Id = 1")));
        unit.commit();
    }
    EXPECT_EQ(rest(*first, 100), range(11, 1000));
    EXPECT_EQ(rest(*second, 1), range(994, 1000));
    EXPECT_EQ(stored("select count(*) from Num"), Rows{"1001"});
}

// A cursor left open must not stop this workstation's save because another one saved
// meanwhile (on the embedded server an open read would pin a snapshot too old to write on).
TEST_P(DbCursor, ASaveSucceedsWhileACursorIsOpenAfterAnotherWorkstationSaved) {
    db::Session& session = main_->session();
    const db::SqlText sql(QStringLiteral("select Id from Num where Id > :From order by Id"));
    std::unique_ptr<db::Cursor> cursor;
    ASSERT_NO_DB_ERROR(cursor = session.openCursor(QStringLiteral("cursor"), sql, from(0)));
    ASSERT_EQ(cursor->fetch(5).size(), 5u);
    auto other = connect(QStringLiteral("Other"));
    {
        db::Query q(QStringLiteral("Other"),
                    db::SqlSource("insert into Num(Id, Name) values (3000, 'other')"));
        ASSERT_NO_DB_ERROR(q.execSQL());
    }
    {
        db::Unit unit(*main_);
        ASSERT_NO_DB_ERROR(exec(QStringLiteral("insert into Num(Id, Name) values (3001, 'mine')")));
        ASSERT_NO_DB_ERROR(unit.commit());
    }
    EXPECT_EQ(stored("select Name from Num where Id > 2999 order by Id"), (Rows{"other", "mine"}));
    const std::vector<qint64> ids = rest(*cursor, 50);
    ASSERT_GE(ids.size(), 995u);
    EXPECT_EQ(std::vector<qint64>(ids.begin(), ids.begin() + 995), range(6, 1000));
}

// A query reading on demand: the first row at open, the rest as the cursor moves on or as
// asked; closing it ends the statement.
TEST_P(DbCursor, QueryReadsOnDemandAndEveryWayToTheEndGivesEveryRow) {
    auto q = query(QStringLiteral("select Id, Name from Num where Id > :From order by Id"),
                   {{"From", 0}});
    q->setFetchOnDemand(true);
    ASSERT_NO_DB_ERROR(q->open());
    EXPECT_EQ(q->recordCount(), 1);
    EXPECT_TRUE(q->canFetchMore());
    std::vector<qint64> walked;
    for (q->first(); !q->eof(); q->next()) {
        walked.push_back(q->fieldByName("Id").asInteger());
    }
    EXPECT_EQ(walked, range(1, 1000));
    EXPECT_FALSE(q->canFetchMore());

    q->close();
    ASSERT_NO_DB_ERROR(q->open());
    EXPECT_EQ(q->fetchMore(99), 99);
    EXPECT_EQ(q->recordCount(), 100);
    q->last();
    EXPECT_EQ(q->fieldByName("Id").asInteger(), 1000);
    EXPECT_EQ(q->fieldByName("Name").oldValue(), QVariant(QStringLiteral("row 1000")))
        << "a row read late reads as loaded";
    EXPECT_EQ(q->recordCount(), 1000);

    q->close();
    ASSERT_NO_DB_ERROR(q->open());
    EXPECT_TRUE(q->locate(QStringLiteral("Name"), QStringLiteral("row 777")));
    EXPECT_EQ(q->recNo(), 777);
    q->close();
    EXPECT_FALSE(q->canFetchMore());
    // Closed mid-way, nothing of it is left running: the table can be dropped.
    ASSERT_NO_DB_ERROR(q->open());
    q->close();
    ASSERT_NO_DB_ERROR(exec(QStringLiteral("drop table Num")));
}

} // namespace
