#pragma once

#include "platform/db/Backend.h"
#include "platform/db/QtSqlDriver.h"

class QSqlError;
class QSqlQuery;

namespace db {

// One ODBC connection to a SQL Server database. Statements run as written, their named
// parameters bound by position; procedures through the ODBC call escape. Queries are
// forward-only and finished before the next one runs: the server keeps one active result
// per connection.
class MssqlSession : public Session {
public:
    explicit MssqlSession(const ConnectionSettings& settings);
    ~MssqlSession() override;

    BackendKind kind() const override { return BackendKind::Mssql; }
    QString databaseName() const override { return databaseName_; }

    ResultSet execute(const QString& statementName, const SqlText& sql,
                      const Params& params) override;
    void check(const QString& statementName, const SqlText& sql) override;
    void callProcedure(const QString& name, Params& params) override;

    void begin() override;
    void commit() override;
    void rollback() override;
    bool inTransaction() const override { return inTransaction_; }
    void savepoint(const QString& name) override;
    void releaseSavepoint(const QString& name) override;
    void rollbackToSavepoint(const QString& name) override;

    // Runs a text without parameters as it is (set-up, one batch of a script).
    ResultSet run(const QString& sql, const QString& statementName = {});

private:
    ResultSet results(const QString& statementName, QSqlQuery& q, bool batch);
    // Throws the error of the failed query, finishing it.
    [[noreturn]] void fail(const QString& statementName, QSqlQuery& q);
    void checkIdentifier(const QString& name) const;

    QtSqlConnection connection_; // declared first: outlives every query
    QString databaseName_;
    int maxQueryTimeSeconds_ = 0;
    bool inTransaction_ = false;
};

// The SQLSTATE and native error number of a Qt ODBC error (0 when it gave none).
QString mssqlSqlState(const QSqlError& error);
int mssqlNativeCode(const QSqlError& error);

} // namespace db
