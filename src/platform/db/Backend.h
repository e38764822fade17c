#pragma once

#include "platform/db/Params.h"
#include "platform/db/SqlText.h"
#include "platform/db/Value.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <deque>
#include <memory>
#include <vector>

namespace db {

struct ColumnInfo {
    QString name;
    FieldType type = FieldType::Text;
    int size = 0; // maximum text length; 0 when unknown
};

struct ResultSet {
    std::vector<ColumnInfo> columns;
    std::vector<std::vector<QVariant>> rows;
    qint64 rowsAffected = 0;
    bool hasRows() const { return !columns.empty(); }
};

// A forward-only reading of a statement's rows, a slice at a time, for lists that show their
// first rows before the last are read. Opened by a session; closing it (destroying it) ends
// the statement. A cursor that outlives its session keeps what it had read ahead.
class Cursor {
public:
    virtual ~Cursor() = default;
    virtual const std::vector<ColumnInfo>& columns() const = 0;
    // Up to maxRows further rows, in order; fewer only when the end comes first, none at it.
    virtual std::vector<std::vector<QVariant>> fetch(int maxRows) = 0;
    virtual bool atEnd() const = 0;

protected:
    using Rows = std::vector<std::vector<QVariant>>;
    // Moves up to n rows from the front of those read ahead into a slice.
    static Rows takeFront(std::deque<std::vector<QVariant>>& ahead, size_t n);
};

// A cursor over rows already read: what a backend without streaming hands out.
class BufferedCursor : public Cursor {
public:
    explicit BufferedCursor(ResultSet result) : result_(std::move(result)) {}
    const std::vector<ColumnInfo>& columns() const override { return result_.columns; }
    std::vector<std::vector<QVariant>> fetch(int maxRows) override;
    bool atEnd() const override { return next_ >= result_.rows.size(); }

private:
    ResultSet result_;
    size_t next_ = 0;
};

// What a connection's "KEY=value" parameter list says, read once at connect time.
struct ConnectionSettings {
    QString databaseName;
    QString serverName;
    QString userName;
    QString password;
    int maxQueryTimeSeconds = 0; // 0: no limit
    QStringList raw;

    static ConnectionSettings fromParams(const QStringList& params);
    QString value(const QString& key) const; // empty when the key is absent
};

// One open session on one database of one server. Every dialect difference of a
// backend lives behind this interface: how a statement text is adapted, how procedures
// are called, how sibling databases are reached and how errors are worded.
class Session {
public:
    virtual ~Session() = default;

    virtual BackendKind kind() const = 0;
    virtual QString databaseName() const = 0;

    // Runs one statement; binds every parameter occurrence by name from params.
    // Throws DbError carrying the server's text and statementName.
    virtual ResultSet execute(const QString& statementName, const SqlText& sql,
                              const Params& params) = 0;

    // Checks, without running it, that the server can run the statement: the text parses and
    // the tables, columns and functions it names exist. Throws DbError as execute() would.
    // A server that cannot check without running says so by throwing.
    virtual void check(const QString& statementName, const SqlText& sql);
    // Opens a forward cursor over the rows of a select. The base version runs the statement
    // to the end and hands out the result in slices; a backend that can read rows as the
    // server yields them does so. Other statements may run on the session while it is open.
    virtual std::unique_ptr<Cursor> openCursor(const QString& statementName, const SqlText& sql,
                                               const Params& params) {
        return std::make_unique<BufferedCursor>(execute(statementName, sql, params));
    }

    // Runs a stored procedure: inputs are read from params, outputs written back to it.
    virtual void callProcedure(const QString& name, Params& params) = 0;

    // Makes ready, before a unit of work begins, what the statement will need inside it (the
    // embedded server attaches the sibling databases it names, which it cannot do later).
    virtual void reach(const QString& statementName, const SqlText& sql) {
        Q_UNUSED(statementName);
        Q_UNUSED(sql);
    }

    virtual void begin() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    virtual bool inTransaction() const = 0;
    virtual void savepoint(const QString& name) = 0;
    virtual void releaseSavepoint(const QString& name) = 0;
    virtual void rollbackToSavepoint(const QString& name) = 0;
};

// A family of servers, chosen by the server name ("sqlite:<folder>", ...).
class Backend {
public:
    virtual ~Backend() = default;
    virtual BackendKind kind() const = 0;
    virtual bool handles(const QString& serverName) const = 0;
    virtual std::unique_ptr<Session> open(const ConnectionSettings& settings) = 0;

    // Throws DbError when no backend serves the name.
    static Backend& forServer(const QString& serverName);
    // Later backends register themselves here; the embedded one is built in.
    static void registerBackend(std::unique_ptr<Backend> backend);
};

} // namespace db
