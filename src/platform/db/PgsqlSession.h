#pragma once

#include "platform/db/Backend.h"
#include "platform/db/PgsqlBackend.h"
#include "platform/db/QtSqlDriver.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <memory>
#include <unordered_map>

class QSqlError;

namespace db {

class PgsqlCursor;

// One connection to a PostgreSQL server. The session's database of the system is the schema
// searched first; three-part names "Nvk.dbo.Product" become "nvk.Product". Each distinct
// statement is prepared once per connection and run again with new values.
class PgsqlSession : public Session {
public:
    PgsqlSession(const PgsqlAddress& address, const ConnectionSettings& settings);
    ~PgsqlSession() override;

    BackendKind kind() const override { return BackendKind::Pgsql; }
    QString databaseName() const override { return databaseName_; }

    ResultSet execute(const QString& statementName, const SqlText& sql,
                      const Params& params) override;
    void check(const QString& statementName, const SqlText& sql) override;
    std::unique_ptr<Cursor> openCursor(const QString& statementName, const SqlText& sql,
                                       const Params& params) override;
    void callProcedure(const QString& name, Params& params) override;

    void begin() override;
    void commit() override;
    void rollback() override;
    bool inTransaction() const override { return inTransaction_; }
    void savepoint(const QString& name) override;
    void releaseSavepoint(const QString& name) override;
    void rollbackToSavepoint(const QString& name) override;

    // Runs plain SQL without parameters and without preparing it (set-up, DDL).
    void run(const QString& sql, const QString& statementName = {});

    // The statement as PostgreSQL runs it: three-part names schema-qualified, bracketed and
    // quoted names lower-cased as PostgreSQL folds unquoted ones, comments dropped.
    static SqlText adapt(const SqlText& sql);

private:
    friend class PgsqlCursor;
    struct Adapted {
        QString text;      // parameters as '?'
        QStringList names; // the parameter of each position
        bool preparable = true;
    };
    const Adapted& adapted(const SqlText& sql);
    QList<QVariant> boundValues(const QString& statementName, const Adapted& a,
                                const Params& params) const;
    // The driver streams one result per connection and drops the rest of it when another
    // statement runs: an open cursor reads its remaining rows ahead first.
    void detachCursors();
    QSqlQuery& prepared(const QString& statementName, const QString& text);
    ResultSet runQuery(const QString& statementName, QSqlQuery& q, bool prepared,
                       const QString& text);
    [[noreturn]] void fail(const QString& statementName, const QSqlError& error);
    [[noreturn]] void failNative(const QString& statementName, const QString& state,
                                 const QString& text);
    void checkIdentifier(const QString& name) const;
    void setting(const QString& name, const QString& value);

    QtSqlConnection connection_; // declared first: outlives the queries below
    QString databaseName_;
    QHash<QString, Adapted> adapted_; // by the statement's original text
    std::unordered_map<QString, std::unique_ptr<QSqlQuery>> prepared_; // by the adapted text
    std::vector<PgsqlCursor*> cursors_; // open, with rows still coming from the server
    bool inTransaction_ = false;
    // PostgreSQL refuses every statement of a transaction after one failed, until it rolls
    // back (or back to a savepoint), and turns a COMMIT of it into a silent ROLLBACK.
    bool transactionFailed_ = false;
};

} // namespace db
