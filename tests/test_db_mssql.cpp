// The SQL Server backend where no server is needed: statement texts, procedure calls,
// connection strings and the wording of failures as tables, and the real ODBC driver
// against servers that do not answer. The contract suite runs on a real server through
// test_db_contract and scripts/test-mssql.sh.
#include "data/U_DM.h"
#include "platform/db/Backend.h"
#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/MssqlText.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QTcpServer>
#include <optional>

namespace {

using namespace db;

std::string str(const QString& s) {
    return s.toStdString();
}

QCoreApplication& app() {
    static int argc = 1;
    static char name[] = "test_db_mssql";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* a =
        QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    return a ? *a : *QCoreApplication::instance();
}

TEST(MssqlStatements, NamedParametersBecomePositionalInOrderOfOccurrence) {
    const struct {
        const char* sql;
        const char* text;
        QStringList names;
        bool batch;
    } cases[] = {
        {"select * from T where A = :A and B = :b or A = :a", //
         "select * from T where A = ? and B = ? or A = ?",
         {"A", "b", "a"},
         false},
        // Inside literals, quoted names and comments nothing is a parameter; comments go, so
        // that a '?' in one is not counted by the driver.
        {"select ':X', [a:b], \"c:d\" /* :Y? */ from T -- :Z?\nwhere N = :N",
         "select ':X', [a:b], \"c:d\"   from T  \nwhere N = ?",
         {"N"},
         false},
        {"select 'it''s :not' as s, :Yes as y", "select 'it''s :not' as s, ? as y", {"Yes"}, false},
        // The old values of a cached update are parameters like any other.
        {"update Item set Name = :Name where Id = :OLD_Id and Name = :OLD_Name",
         "update Item set Name = ? where Id = ? and Name = ?",
         {"Name", "OLD_Id", "OLD_Name"},
         false},
        // A time in a literal, and a colon not followed by a name, stay as they are.
        {"select Convert(datetime, '2024-01-31 10:30:00') as d, :D as p where 1 :: 2",
         "select Convert(datetime, '2024-01-31 10:30:00') as d, ? as p where 1 :: 2",
         {"D"},
         false},
        {"Declare @Qty Int\nSet @Qty = :Qty\nselect @Qty * :Qty as q",
         "SET NOCOUNT ON;\nDeclare @Qty Int\nSet @Qty = ?\nselect @Qty * ? as q",
         {"Qty", "Qty"},
         true},
        {"update T set A = :A; select A from T",
         "SET NOCOUNT ON;\nupdate T set A = ?; select A from T",
         {"A"},
         true},
        // A lone trailing ';' or one in a literal makes no batch; three-part names stay.
        {"select Name from Nvk.dbo.Product where Code = ';' ;", //
         "select Name from Nvk.dbo.Product where Code = ';' ;",
         {},
         false},
        {"If Exists(select 1 from Menu where Id = :Id) update Menu set Caption = :Cap where "
         "Id = :Id",
         "If Exists(select 1 from Menu where Id = ?) update Menu set Caption = ? where Id = ?",
         {"Id", "Cap", "Id"},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        const mssql::Positional p = mssql::positional(SqlText(QString::fromUtf8(c.sql)));
        EXPECT_EQ(str(p.text), c.text);
        EXPECT_EQ(p.names, c.names);
        EXPECT_EQ(p.batch, c.batch);
    }
}

TEST(MssqlStatements, ProceduresAreCalledThroughTheCallEscape) {
    auto params = [](std::initializer_list<std::pair<const char*, ParamDirection>> list) {
        Params p;
        for (const auto& [name, direction] : list) {
            p.add(QLatin1String(name), FieldType::Text, direction);
        }
        return p;
    };
    const struct {
        const char* name;
        Params params;
        const char* call;
    } cases[] = {
        {"ServerTime",
         params({{"Result", ParamDirection::Result}, {"@ServerTime", ParamDirection::Output}}),
         "{? = call ServerTime(?)}"},
        {"NewDocumentNo",
         params({{"Result", ParamDirection::Result},
                 {"@DocCode", ParamDirection::Input},
                 {"@DocYear", ParamDirection::Input},
                 {"@NewNo", ParamDirection::Output}}),
         "{? = call NewDocumentNo(?, ?, ?)}"},
        {" AddErrorLog ",
         params({{"@CompName", ParamDirection::Input}, {"@Note", ParamDirection::InputOutput}}),
         "{call AddErrorLog(?, ?)}"},
        {"dbo.ServerTime", params({}), "{call dbo.ServerTime()}"},
        {"Nvk.dbo.ServerTime", params({}), "{call Nvk.dbo.ServerTime()}"},
        {"Server Time", params({}), ""},
        {"x); drop table T; --", params({}), ""},
        {"", params({}), ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(str(mssql::procedureCall(QString::fromUtf8(c.name), c.params)), c.call) << c.name;
    }
}

// The connection parameter list of the program, with a server name of the chain's kind.
ConnectionSettings settingsFor(const QString& server, const QString& database,
                               const QStringList& more = {}) {
    QStringList params{QStringLiteral("DATABASE NAME=") + database,
                       QStringLiteral("SERVER NAME=") + server,
                       QStringLiteral("USER NAME=qrv"),
                       QStringLiteral("OPEN MODE=READ/WRITE"),
                       QStringLiteral("MAX QUERY TIME=600"),
                       QStringLiteral("PASSWORD=mahogany")};
    return ConnectionSettings::fromParams(params + more);
}

TEST(MssqlConnection, ConnectionStringsFromParameterLists) {
    qunsetenv("ORDERTOOL_MSSQL_DRIVER");
    const QString tail = QStringLiteral(";UID=qrv;PWD=mahogany;TDS_Version=7.4;"
                                        "ClientCharset=UTF-8;APP=ordertool");
    const struct {
        QString server;
        QString database;
        QStringList more;
        QString expected;
    } cases[] = {
        {"SQLSRV01",
         "QRV_CONFIG_NVK",
         {},
         "DRIVER={FreeTDS};SERVER=SQLSRV01;DATABASE=QRV_CONFIG_NVK" + tail},
        {"sqlsrv01.chain.local,1433",
         " NVKDC ",
         {},
         "DRIVER={FreeTDS};SERVER=sqlsrv01.chain.local;PORT=1433;DATABASE=NVKDC" + tail},
        {"SQLSRV01\\OFFICE",
         "master",
         {},
         "DRIVER={FreeTDS};SERVER=SQLSRV01\\OFFICE;DATABASE=master" + tail},
        {"10.0.0.5\\OFFICE,50123",
         "nvkdc",
         {},
         "DRIVER={FreeTDS};SERVER=10.0.0.5\\OFFICE;PORT=50123;DATABASE=nvkdc" + tail},
        // Another driver named in the list: no FreeTDS settings, the port in the server.
        {"SQLSRV01,1433",
         "NVKDC",
         {"ODBC DRIVER=ODBC Driver 18 for SQL Server"},
         "DRIVER={ODBC Driver 18 for SQL Server};SERVER=SQLSRV01,1433;DATABASE=NVKDC;UID=qrv;"
         "PWD=mahogany;APP=ordertool"},
        // Values that would break the string are braced.
        {"SQLSRV01",
         "NVKDC",
         {"PASSWORD=ma;ho}gany"},
         "DRIVER={FreeTDS};SERVER=SQLSRV01;DATABASE=NVKDC;UID=qrv;PWD={ma;ho}}gany};"
         "TDS_Version=7.4;ClientCharset=UTF-8;APP=ordertool"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(str(c.server));
        EXPECT_EQ(str(mssql::connectionString(settingsFor(c.server, c.database, c.more))),
                  str(c.expected));
    }
    // The environment names the driver over the list.
    qputenv("ORDERTOOL_MSSQL_DRIVER", "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so");
    EXPECT_EQ(str(mssql::connectionString(
                  settingsFor("SQLSRV01", "NVKDC", {"ODBC DRIVER=Something Else"}))),
              "DRIVER={/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so};SERVER=SQLSRV01;"
              "DATABASE=NVKDC" +
                  str(tail));
    qunsetenv("ORDERTOOL_MSSQL_DRIVER");
    for (const char* bad : {"", "two words", "host,", "host,0", "host,70000", "host\\",
                            "host;DRIVER={x}", "a\\b\\c"}) {
        const auto e = [&]() -> std::optional<DbError> {
            try {
                mssql::connectionString(settingsFor(QString::fromUtf8(bad), "NVKDC"));
            } catch (const DbError& e) {
                return e;
            }
            return std::nullopt;
        }();
        ASSERT_TRUE(e) << bad;
        EXPECT_TRUE(e->message().startsWith(QStringLiteral("SQL Server does not exist")));
    }
}

TEST(MssqlConnection, ANameWithoutAKindPrefixIsASqlServer) {
    const struct {
        const char* name;
        std::optional<BackendKind> kind;
    } cases[] = {
        {"SQLSRV01", BackendKind::Mssql},
        {"host\\instance", BackendKind::Mssql},
        {"host,1433", BackendKind::Mssql},
        {"10.1.2.3", BackendKind::Mssql},
        {"sqlite:data", BackendKind::Sqlite},
        {"SQLite:/tmp/x", BackendKind::Sqlite},
        {"pgsql://u@h/db", BackendKind::Pgsql},
        {"mysql://h/db", std::nullopt},
        {"oracle:h", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        std::optional<BackendKind> kind;
        try {
            kind = Backend::forServer(QString::fromUtf8(c.name)).kind();
        } catch (const DbError& e) {
            EXPECT_TRUE(e.message().startsWith(QStringLiteral("SQL Server does not exist")));
        }
        EXPECT_EQ(kind, c.kind) << c.name;
    }
}

TEST(MssqlErrors, KindsFromNativeNumbersAndTheServersTextKept) {
    const struct {
        const char* state;
        int code;
        const char* text;
        DbErrorKind kind;
        const char* worded; // empty: the text unchanged
    } cases[] = {
        {"23000", 2627, "Violation of PRIMARY KEY constraint 'PK_T'. Cannot insert duplicate key",
         DbErrorKind::DuplicateKey, ""},
        {"23000", 2601, "Cannot insert duplicate key row in object 'dbo.T'",
         DbErrorKind::DuplicateKey, ""},
        {"23000", 515, "Cannot insert the value NULL into column 'Price', table 'NVKDC.dbo.T'",
         DbErrorKind::NullNotAllowed, ""},
        {"23000", 547, "The DELETE statement conflicted with the REFERENCE constraint",
         DbErrorKind::ReferenceConflict, ""},
        {"HY000", 1222, "Lock request time out period exceeded.", DbErrorKind::LockTimeout, ""},
        {"40001", 1205, "Transaction was deadlocked", DbErrorKind::LockTimeout, ""},
        {"HY000", 824, "SQL Server detected a logical consistency-based I/O error",
         DbErrorKind::Damaged, ""},
        {"08S01", 0, "Communication link failure", DbErrorKind::Connection,
         "Possible network error. (Communication link failure)"},
        {"", 20004, "[FreeTDS][SQL Server]Read from the server failed", DbErrorKind::Connection,
         "Possible network error. ([FreeTDS][SQL Server]Read from the server failed)"},
        {"HYT00", 0, "Query timeout expired", DbErrorKind::Other,
         "SQL Server connection timed out. (Query timeout expired)"},
        {"", 0, "[FreeTDS][SQL Server]Timeout expired", DbErrorKind::Other,
         "SQL Server connection timed out. ([FreeTDS][SQL Server]Timeout expired)"},
        {"", 20003, "Adaptive Server connection timed out", DbErrorKind::Other,
         "SQL Server connection timed out. (Adaptive Server connection timed out)"},
        {"42S02", 208, "Invalid object name 'NoSuchTable'.", DbErrorKind::Other, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const QString text = QString::fromUtf8(c.text);
        EXPECT_EQ(mssql::errorKind(QLatin1String(c.state), c.code), c.kind);
        const QString worded = mssql::wordError(QLatin1String(c.state), c.code, text);
        EXPECT_EQ(str(worded), *c.worded ? c.worded : c.text);
    }
}

// ---- the real driver, no server -------------------------------------------------------------

class MssqlDriver : public ::testing::Test {
protected:
    void SetUp() override {
        app();
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC"))) {
            GTEST_SKIP() << "Qt's ODBC driver is not installed (Debian: libqt6sql6-odbc)";
        }
    }
    // The connection's failure and how long it took.
    std::pair<std::optional<DbError>, qint64> failureOf(const QString& server) {
        Connection c(QStringLiteral("Unreachable"));
        c.params() << QStringLiteral("DATABASE NAME=QRV_CONFIG_NVK")
                   << QStringLiteral("SERVER NAME=") + server << QStringLiteral("USER NAME=qrv")
                   << QStringLiteral("PASSWORD=mahogany");
        QElapsedTimer timer;
        timer.start();
        try {
            c.open();
        } catch (const DbError& e) {
            return {e, timer.elapsed()};
        }
        return {std::nullopt, timer.elapsed()};
    }
};

// A port nothing listens on: the connection is refused at once.
quint16 closedPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

TEST_F(MssqlDriver, AServerThatIsNotThereIsAConnectionErrorTheDialogExplains) {
    const auto [error, ms] = failureOf(QStringLiteral("127.0.0.1,%1").arg(closedPort()));
    ASSERT_TRUE(error) << "connected to a closed port";
    EXPECT_EQ(error->kind(), DbErrorKind::Connection);
    EXPECT_TRUE(error->message().startsWith(
        QStringLiteral("SQL Server does not exist or access denied. Possible network error.")))
        << str(error->message());
    // The driver's own words stay for whoever reads the log.
    EXPECT_TRUE(error->message().contains(QStringLiteral("[FreeTDS]"))) << str(error->message());
    EXPECT_EQ(str(TDM::explainError(error->message())),
              "ระบบเครือข่าย หรือ คอมพิวเตอร์แม่ข่ายมีปัญหา ติดต่อเครื่องแม่ข่ายไม่ได้");
    EXPECT_LT(ms, 5000);
}

// A server that takes the connection and never answers: the login gives up at its time-out.
TEST_F(MssqlDriver, AServerThatNeverAnswersFailsWithinTheLoginTimeOut) {
    QTcpServer silent; // the system accepts connections for it; it never reads or writes
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    const auto [error, ms] = failureOf(QStringLiteral("127.0.0.1,%1").arg(silent.serverPort()));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), DbErrorKind::Connection);
    EXPECT_TRUE(error->message().contains(QStringLiteral("Possible network error")))
        << str(error->message());
    EXPECT_GE(ms, (mssql::kLoginTimeoutSeconds - 1) * 1000);
    EXPECT_LT(ms, (mssql::kLoginTimeoutSeconds + 5) * 1000);
}

TEST_F(MssqlDriver, AMissingDriverIsAConnectionErrorNamingIt) {
    qputenv("ORDERTOOL_MSSQL_DRIVER", "No Such ODBC Driver");
    const auto [error, ms] = failureOf(QStringLiteral("SQLSRV01"));
    qunsetenv("ORDERTOOL_MSSQL_DRIVER");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), DbErrorKind::Connection);
    EXPECT_TRUE(error->message().contains(QStringLiteral("No Such ODBC Driver")))
        << str(error->message());
}

} // namespace
