#include "pgsql_writer.h"

#include "functions_pgsql.h"
#include "platform/db/PgsqlBackend.h"
#include "platform/db/PgsqlSession.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

#include <algorithm>
#include <charconv>
#include <libpq-fe.h>
#include <stdexcept>
#include <string>

namespace dbtool {

namespace {

[[noreturn]] void fail(const QString& context, const QSqlError& error) {
    throw std::runtime_error(context.toStdString() + ": " + error.text().toStdString());
}

QString schemaOf(const DatabaseSchema& db) {
    const QString schema = db::PgsqlBackend::schemaOf(QString::fromUtf8(db.name));
    if (schema.isEmpty()) {
        throw std::logic_error(std::string("not a database name: ") + db.name);
    }
    return schema;
}

// The statements of a DDL piece, one by one: the pieces hold no ';' but between statements.
std::vector<QString> statementsOf(const char* piece) {
    std::vector<QString> statements;
    for (const QString& part : QString::fromUtf8(piece).split(QLatin1Char(';'))) {
        if (!part.trimmed().isEmpty()) {
            statements.push_back(part.trimmed());
        }
    }
    return statements;
}

// Rows are sent with COPY in pieces of about this many bytes: large enough that a statement
// costs nothing per row, small enough to hold in memory.
constexpr std::size_t kCopyBytes = 8 << 20;

// A value as COPY's text format writes it: NULL as \N, backslash, tab and line breaks escaped.
void appendCopyText(std::string& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
}

void appendCopyValue(std::string& out, const Cell& cell) {
    char number[32];
    switch (cell.kind()) {
    case Cell::Kind::Null:
        out += "\\N";
        break;
    case Cell::Kind::Integer: {
        const auto r = std::to_chars(number, number + sizeof number, cell.integer());
        out.append(number, r.ptr);
        break;
    }
    case Cell::Kind::Real: {
        // The shortest text that reads back as the same double.
        const auto r = std::to_chars(number, number + sizeof number, cell.real());
        out.append(number, r.ptr);
        break;
    }
    case Cell::Kind::Text:
        appendCopyText(out, cell.text());
        break;
    }
}

PGconn* nativeConnection(const QSqlDatabase& db) {
    const QVariant handle = db.driver()->handle();
    // Qt names the type after libpq's struct.
    if (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0) {
        throw std::runtime_error("the PostgreSQL driver gives no libpq connection");
    }
    return *static_cast<PGconn* const*>(handle.data());
}

} // namespace

// The rows of one table, sent to the server with COPY: a statement per few megabytes instead
// of one per row. Generators interleave tables while one connection has one COPY at a time,
// so each table collects its rows and sends them whole.
class PgsqlServerWriter::Table final : public TableSink {
public:
    Table(QSqlDatabase db, std::string database, std::string table, std::string copy, int columns)
        : db_(std::move(db)), database_(std::move(database)), name_(std::move(table)),
          copy_(std::move(copy)), columnCount_(columns) {
        pending_.reserve(kCopyBytes + 4096);
    }

    void add(std::initializer_list<Cell> row) override {
        if (static_cast<int>(row.size()) != columnCount_) {
            throw std::logic_error(database_ + "." + name_ + ": row of " +
                                   std::to_string(row.size()) + " values for " +
                                   std::to_string(columnCount_) + " columns");
        }
        bool first = true;
        for (const Cell& cell : row) {
            if (!first) {
                pending_ += '\t';
            }
            appendCopyValue(pending_, cell);
            first = false;
        }
        pending_ += '\n';
        ++rows_;
        if (pending_.size() >= kCopyBytes) {
            flush();
        }
    }

    // Sends the rows taken since the last flush.
    void flush() {
        if (pending_.empty()) {
            return;
        }
        PGconn* conn = nativeConnection(db_);
        PGresult* started = PQexec(conn, copy_.c_str());
        const bool copying = PQresultStatus(started) == PGRES_COPY_IN;
        PQclear(started);
        if (!copying) {
            failCopy(conn);
        }
        const bool sent = PQputCopyData(conn, pending_.data(), int(pending_.size())) == 1;
        const bool ended = PQputCopyEnd(conn, sent ? nullptr : "sending the rows failed") == 1;
        std::string error = sent && ended ? std::string() : PQerrorMessage(conn);
        while (PGresult* r = PQgetResult(conn)) {
            if (PQresultStatus(r) != PGRES_COMMAND_OK && error.empty()) {
                error = PQresultErrorMessage(r);
            }
            PQclear(r);
        }
        if (!error.empty()) {
            throw std::runtime_error(context() + ": " + error);
        }
        pending_.clear();
    }

    const std::string& database() const { return database_; }
    const std::string& name() const { return name_; }
    std::int64_t rows() const { return rows_; }

private:
    std::string context() const { return "copy into " + database_ + "." + name_; }
    [[noreturn]] void failCopy(PGconn* conn) const {
        throw std::runtime_error(context() + ": " + PQerrorMessage(conn));
    }

    QSqlDatabase db_;
    std::string database_;
    std::string name_;
    std::string copy_; // COPY schema.table (columns) FROM STDIN
    int columnCount_;
    std::string pending_;
    std::int64_t rows_ = 0;
};

PgsqlServerWriter::PgsqlServerWriter(const QString& serverName,
                                     const std::vector<DatabaseSchema>& schema)
    : schema_(schema) {
    const auto address = db::PgsqlAddress::parse(serverName);
    if (!address) {
        throw std::runtime_error("not a PostgreSQL server name: " + serverName.toStdString());
    }
    connection_ = std::make_unique<db::QtSqlConnection>(
        QStringLiteral("QPSQL"),
        QStringLiteral("ordertool-db-") + QUuid::createUuid().toString(QUuid::WithoutBraces));
    QSqlDatabase db = connection_->database();
    if (!db.isValid()) {
        throw std::runtime_error("the PostgreSQL driver of Qt (QPSQL) is not installed");
    }
    db.setHostName(address->host);
    db.setPort(address->port);
    db.setDatabaseName(address->database);
    db.setUserName(address->user);
    db.setPassword(address->password);
    db.setConnectOptions(QStringLiteral("connect_timeout=10;application_name=ordertool-db"));
    if (!db.open()) {
        fail(QStringLiteral("connect to %1:%2/%3")
                 .arg(address->host)
                 .arg(address->port)
                 .arg(address->database),
             db.lastError());
    }
    // Dropping a schema lists every object it takes with it.
    run(QStringLiteral("SET client_min_messages = warning"), QStringLiteral("settings"));
}

PgsqlServerWriter::~PgsqlServerWriter() {
    tables_.clear();
    if (inTransaction_) {
        connection_->database().rollback();
    }
}

void PgsqlServerWriter::run(const QString& sql, const QString& context) {
    QSqlQuery q(connection_->database());
    if (!q.exec(sql)) {
        fail(context, q.lastError());
    }
}

const DatabaseSchema& PgsqlServerWriter::database(std::string_view name) const {
    for (const DatabaseSchema& db : schema_) {
        if (name == db.name) {
            return db;
        }
    }
    throw std::logic_error("unknown database " + std::string(name));
}

std::vector<std::string> PgsqlServerWriter::existingDatabases() {
    std::vector<std::string> existing;
    QSqlQuery q(connection_->database());
    if (!q.prepare(QStringLiteral("SELECT 1 FROM pg_namespace WHERE nspname = ?"))) {
        fail(QStringLiteral("read schemas"), q.lastError());
    }
    for (const DatabaseSchema& db : schema_) {
        q.addBindValue(schemaOf(db));
        if (!q.exec()) {
            fail(QStringLiteral("read schemas"), q.lastError());
        }
        if (q.next()) {
            existing.emplace_back(db.name);
        }
    }
    return existing;
}

// Unqualified names in the statements that follow resolve in the database's schema; set for
// the rest of the transaction only.
void PgsqlServerWriter::useDatabase(const DatabaseSchema& db) {
    QSqlQuery q(connection_->database());
    q.prepare(QStringLiteral("SELECT set_config('search_path', ?, true)"));
    q.addBindValue(schemaOf(db) + QStringLiteral(", public"));
    if (!q.exec()) {
        fail(QString::fromUtf8(db.name) + QStringLiteral(": search path"), q.lastError());
    }
}

void PgsqlServerWriter::create() {
    QSqlDatabase db = connection_->database();
    if (!db.transaction()) {
        fail(QStringLiteral("begin"), db.lastError());
    }
    inTransaction_ = true;
    const QSqlDriver* driver = db.driver();
    for (const DatabaseSchema& s : schema_) {
        run(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE")
                .arg(driver->escapeIdentifier(schemaOf(s), QSqlDriver::TableName)),
            QString::fromUtf8(s.name) + QStringLiteral(": drop"));
    }
    // citext first: the tables use it.
    for (const char* sql : pgsqlFunctionStatements()) {
        run(QString::fromUtf8(sql), QStringLiteral("server functions"));
    }
    for (const DatabaseSchema& s : schema_) {
        const QString context = QString::fromUtf8(s.name) + QStringLiteral(": create tables");
        run(QStringLiteral("CREATE SCHEMA %1")
                .arg(driver->escapeIdentifier(schemaOf(s), QSqlDriver::TableName)),
            context);
        useDatabase(s);
        for (const char* piece : s.tables) {
            for (const QString& sql : statementsOf(piece)) {
                run(sql, context);
            }
        }
    }
}

TableSink& PgsqlServerWriter::table(std::string_view database, std::string_view table,
                                    std::initializer_list<std::string_view> columns) {
    if (!inTransaction_) {
        throw std::logic_error("rows before create()");
    }
    std::string key = std::string(database) + '.' + std::string(table) + '(';
    for (std::string_view column : columns) {
        key += column;
        key += ',';
    }
    auto it = tables_.find(key);
    if (it == tables_.end()) {
        const DatabaseSchema& db = this->database(database);
        const QSqlDriver* driver = connection_->database().driver();
        // Table and column names are the generators' own, unquoted as in the DDL.
        std::string copy =
            "COPY " + driver->escapeIdentifier(schemaOf(db), QSqlDriver::TableName).toStdString() +
            "." + std::string(table) + " (";
        bool first = true;
        for (std::string_view column : columns) {
            if (!first) {
                copy += ", ";
            }
            copy += column;
            first = false;
        }
        copy += ") FROM STDIN";
        auto t = std::make_unique<Table>(connection_->database(), db.name, std::string(table),
                                         std::move(copy), static_cast<int>(columns.size()));
        tableOrder_.push_back(t.get());
        it = tables_.emplace(std::move(key), std::move(t)).first;
    }
    return *it->second;
}

// Ids given by the generators did not advance the identities: new rows start after them.
void PgsqlServerWriter::setIdentities(const DatabaseSchema& db) {
    const QString schema = schemaOf(db);
    QSqlQuery columns(connection_->database());
    columns.prepare(QStringLiteral("SELECT table_name, column_name FROM information_schema.columns "
                                   "WHERE table_schema = ? AND is_identity = 'YES'"));
    columns.addBindValue(schema);
    if (!columns.exec()) {
        fail(QString::fromUtf8(db.name) + QStringLiteral(": identities"), columns.lastError());
    }
    const QSqlDriver* driver = connection_->database().driver();
    while (columns.next()) {
        const QString table =
            driver->escapeIdentifier(schema, QSqlDriver::TableName) + QLatin1Char('.') +
            driver->escapeIdentifier(columns.value(0).toString(), QSqlDriver::TableName);
        const QString column =
            driver->escapeIdentifier(columns.value(1).toString(), QSqlDriver::FieldName);
        QSqlQuery set(connection_->database());
        set.prepare(QStringLiteral("SELECT setval(pg_get_serial_sequence(?, ?), "
                                   "coalesce(max(%1), 0) + 1, false) FROM %2")
                        .arg(column, table));
        set.addBindValue(table);
        set.addBindValue(columns.value(1).toString());
        if (!set.exec()) {
            fail(QString::fromUtf8(db.name) + QStringLiteral(": identity of ") + table,
                 set.lastError());
        }
    }
}

void PgsqlServerWriter::finish() {
    for (Table* t : tableOrder_) {
        t->flush();
    }
    for (const Table* t : tableOrder_) {
        auto same = std::find_if(counts_.begin(), counts_.end(), [&](const TableCount& c) {
            return c.database == t->database() && c.table == t->name();
        });
        if (same != counts_.end()) {
            same->rows += t->rows();
        } else {
            counts_.push_back({t->database(), t->name(), t->rows()});
        }
    }
    tableOrder_.clear();
    tables_.clear();
    for (const DatabaseSchema& s : schema_) {
        useDatabase(s);
        for (const char* piece : s.indexes) {
            for (const QString& sql : statementsOf(piece)) {
                run(sql, QString::fromUtf8(s.name) + QStringLiteral(": create indexes"));
            }
        }
        setIdentities(s);
    }
    QSqlDatabase db = connection_->database();
    if (!db.commit()) {
        fail(QStringLiteral("commit"), db.lastError());
    }
    inTransaction_ = false;
    // Statistics let the planner choose between the indexes of large tables.
    run(QStringLiteral("ANALYZE"), QStringLiteral("analyze"));
}

std::vector<TableCount> PgsqlServerWriter::counts() const {
    return counts_;
}

} // namespace dbtool
