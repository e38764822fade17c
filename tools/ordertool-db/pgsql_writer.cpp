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
#include <stdexcept>

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

// Values per INSERT: large statements cost less per row, and PostgreSQL allows 65535
// parameters to one statement.
constexpr int kValuesPerInsert = 20000;

} // namespace

class PgsqlServerWriter::Table final : public TableSink {
public:
    Table(QSqlDatabase db, std::string database, std::string table, QString head, int columns)
        : db_(std::move(db)), database_(std::move(database)), name_(std::move(table)),
          head_(std::move(head)), columnCount_(columns),
          batchRows_(std::max(1, kValuesPerInsert / columns)) {
        pending_.reserve(static_cast<std::size_t>(batchRows_) * columnCount_);
    }

    void add(std::initializer_list<Cell> row) override {
        if (static_cast<int>(row.size()) != columnCount_) {
            throw std::logic_error(database_ + "." + name_ + ": row of " +
                                   std::to_string(row.size()) + " values for " +
                                   std::to_string(columnCount_) + " columns");
        }
        for (const Cell& cell : row) {
            switch (cell.kind()) {
            case Cell::Kind::Null:
                pending_.emplace_back();
                break;
            case Cell::Kind::Integer:
                pending_.emplace_back(static_cast<qlonglong>(cell.integer()));
                break;
            case Cell::Kind::Real:
                pending_.emplace_back(cell.real());
                break;
            case Cell::Kind::Text:
                pending_.emplace_back(QString::fromUtf8(
                    cell.text().data(), static_cast<qsizetype>(cell.text().size())));
                break;
            }
        }
        ++rows_;
        if (pendingRows() == batchRows_) {
            flush();
        }
    }

    // Sends the rows taken since the last flush.
    void flush() {
        const int rows = pendingRows();
        if (rows == 0) {
            return;
        }
        std::unique_ptr<QSqlQuery> remainder;
        QSqlQuery* q = nullptr;
        if (rows == batchRows_) {
            if (!full_) {
                full_ = prepare(rows);
            }
            q = full_.get();
        } else {
            remainder = prepare(rows);
            q = remainder.get();
        }
        for (const QVariant& value : pending_) {
            q->addBindValue(value);
        }
        if (!q->exec()) {
            fail(context(), q->lastError());
        }
        pending_.clear();
    }

    const std::string& database() const { return database_; }
    const std::string& name() const { return name_; }
    std::int64_t rows() const { return rows_; }

private:
    int pendingRows() const { return static_cast<int>(pending_.size()) / columnCount_; }
    QString context() const {
        return QString::fromStdString("insert into " + database_ + "." + name_);
    }

    std::unique_ptr<QSqlQuery> prepare(int rows) const {
        QString row = QStringLiteral("(");
        for (int c = 0; c < columnCount_; ++c) {
            row += c == 0 ? QStringLiteral("?") : QStringLiteral(", ?");
        }
        row += QLatin1Char(')');
        QString sql = head_;
        sql.reserve(head_.size() + rows * (row.size() + 2));
        for (int r = 0; r < rows; ++r) {
            sql += r == 0 ? row : QStringLiteral(", ") + row;
        }
        auto q = std::make_unique<QSqlQuery>(db_);
        if (!q->prepare(sql)) {
            fail(context(), q->lastError());
        }
        return q;
    }

    QSqlDatabase db_;
    std::string database_;
    std::string name_;
    QString head_; // INSERT INTO schema.table (columns) VALUES
    int columnCount_;
    int batchRows_;
    std::vector<QVariant> pending_;
    std::unique_ptr<QSqlQuery> full_;
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
        QString head = QStringLiteral("INSERT INTO %1.%2 (")
                           .arg(driver->escapeIdentifier(schemaOf(db), QSqlDriver::TableName),
                                QString::fromUtf8(table.data(), qsizetype(table.size())));
        bool first = true;
        for (std::string_view column : columns) {
            if (!first) {
                head += QStringLiteral(", ");
            }
            head += QString::fromUtf8(column.data(), qsizetype(column.size()));
            first = false;
        }
        head += QStringLiteral(") VALUES ");
        auto t = std::make_unique<Table>(connection_->database(), db.name, std::string(table), head,
                                         static_cast<int>(columns.size()));
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
