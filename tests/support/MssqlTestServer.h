#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

namespace db {
class Connection;
class MssqlSession;
} // namespace db

namespace testing_support {

// A real SQL Server for tests, named by the environment (scripts/test-mssql.sh sets it):
// ORDERTOOL_TEST_MSSQL=<server name> (SQLSRV01, host\instance, host,port) and
// ORDERTOOL_TEST_MSSQL_USER / ORDERTOOL_TEST_MSSQL_PASSWORD, a login that may create and drop
// databases. Its databases of the names a test asks for are dropped and made anew.
//
// None can run on the build machines; without the variable, available() is false and
// whyUnavailable() says so.
class MssqlTestServer {
public:
    static MssqlTestServer& shared();

    bool available() const { return !serverName_.isEmpty(); }
    QString whyUnavailable() const { return why_; }
    QString serverName() const { return serverName_; }

    // The lines a connection's parameter list needs to reach a database as the test login.
    QStringList params(const QString& database) const;
    std::unique_ptr<db::Connection> connect(const QString& connectionName,
                                            const QString& database) const;

    // Empty databases of these names (dropped first when present), with the collation the
    // demo script gives and reads that do not wait for other sessions' writes.
    void resetDatabases(const QStringList& databases) const;

    // The demo company, as `ordertool-db script --kind mssql --demo --force` writes it, in
    // place of the server's databases of those names. False, with the reason in why, when
    // that failed.
    bool loadDemo(QString* why) const;

    // Runs a T-SQL script whose batches are separated by lines holding only "GO"; throws
    // db::DbError at the first batch that fails.
    void runScript(const QString& script) const;

    // Runs one statement in a database as another client would; throws db::DbError.
    void exec(const QString& database, const QString& sql) const;
    // Every row of a select, its columns joined by '|', NULL written as "NULL".
    std::vector<std::string> rows(const QString& database, const QString& sql) const;

private:
    MssqlTestServer();
    std::unique_ptr<db::MssqlSession> session(const QString& database) const;

    QString serverName_;
    QString user_;
    QString password_;
    QString why_;
};

} // namespace testing_support
