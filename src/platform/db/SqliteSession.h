#pragma once

#include "platform/db/Backend.h"

#include <QElapsedTimer>
#include <QHash>

struct sqlite3;
struct sqlite3_stmt;

namespace db {

class SqliteCursor;

// One connection of the embedded server: the requested database is "main"; the folder's
// other databases are attached under their names when a statement names them.
class SqliteSession : public Session {
public:
    SqliteSession(const QString& folder, const QString& databaseName,
                  const ConnectionSettings& settings);
    ~SqliteSession() override;

    BackendKind kind() const override { return BackendKind::Sqlite; }
    QString databaseName() const override { return databaseName_; }

    ResultSet execute(const QString& statementName, const SqlText& sql,
                      const Params& params) override;
    void check(const QString& statementName, const SqlText& sql) override;
    std::unique_ptr<Cursor> openCursor(const QString& statementName, const SqlText& sql,
                                       const Params& params) override;
    void callProcedure(const QString& name, Params& params) override;
    void reach(const QString& statementName, const SqlText& sql) override {
        attachNamed(statementName, sql);
    }

    void begin() override;
    void commit() override;
    void rollback() override;
    bool inTransaction() const override;
    void savepoint(const QString& name) override;
    void releaseSavepoint(const QString& name) override;
    void rollbackToSavepoint(const QString& name) override;

    // Runs plain SQL without parameters (used by procedures and set-up).
    void run(const QString& sql, const QString& statementName = {});
    // Runs a statement with positional values.
    ResultSet query(const QString& sql, const QList<QVariant>& values,
                    const QString& statementName = {});

    sqlite3* handle() const { return db_; }
    bool hasTable(const QString& table) const;

    // The statement text as this backend runs it: three-part names become schema names and
    // calls of Left, Right and IsNull (keywords to SQLite) get their names quoted.
    SqlText adapt(const SqlText& sql) const;

private:
    friend class SqliteCursor;
    struct Prepared;
    // The statement as run here, with its values in parameter order; attaches what it names.
    QString bind(const QString& statementName, const SqlText& sql, const Params& params,
                 QList<QVariant>* values);
    // Open cursors read the rest of their rows ahead and end their statements: before a
    // transaction starts or ends, a write runs or a database is detached. A read statement
    // left open would pin an old snapshot the write could not build on.
    void detachCursors();
    ResultSet runPositional(const QString& statementName, const QString& text,
                            const QList<QVariant>& values);
    sqlite3_stmt* prepare(const QString& statementName, const QString& text, const char** tail,
                          const QByteArray& utf8, int offset);
    [[noreturn]] void fail(const QString& statementName, int code = 0) const;
    void useWriteAheadLog(const QString& schema);
    void findLockTable();
    void attachNamed(const QString& statementName, const SqlText& sql);
    QStringList siblingsNamed(const SqlText& sql) const;
    void attach(const QString& statementName, const QStringList& wanted);
    void detachLeastUsed(const QStringList& keep);
    void createCatalogue(const QString& folder);

    sqlite3* db_ = nullptr;
    QString databaseName_;
    QString folder_;
    QString lockTable_;                // a table of main; a no-op delete on it takes the write lock
    QHash<QString, quint64> attached_; // upper-case name -> last use
    quint64 useClock_ = 0;
    int maxQueryTimeMs_ = 0;
    QElapsedTimer statementClock_;
    QHash<QString, sqlite3_stmt*> cache_;
    struct Adapted {
        QStringList siblings; // sibling databases the statement names
        QString text;         // as this backend runs it, parameters positional
        QStringList names;    // the parameter of each position
    };
    QHash<QString, Adapted> adapted_;    // by the statement's original text
    std::vector<SqliteCursor*> cursors_; // open, with a statement still running

    QElapsedTimer busyClock_;

    friend int sqliteProgress(void*);
    friend int sqliteBusy(void*, int);
};

} // namespace db
