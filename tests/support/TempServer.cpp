#include "support/TempServer.h"

#include "platform/db/Connection.h"

#include <QDir>
#include <sqlite3.h>
#include <stdexcept>

namespace testing_support {

namespace {

// An open handle on one database file, closed on scope exit.
class Handle {
public:
    Handle(const QString& file, bool create) {
        const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
        if (sqlite3_open_v2(file.toUtf8().constData(), &db_, flags, nullptr) != SQLITE_OK) {
            const std::string msg = db_ ? sqlite3_errmsg(db_) : "out of memory";
            sqlite3_close_v2(db_);
            throw std::runtime_error("cannot open " + file.toStdString() + ": " + msg);
        }
        sqlite3_busy_timeout(db_, 15000);
    }
    ~Handle() { sqlite3_close_v2(db_); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    sqlite3* get() const { return db_; }

    [[noreturn]] void fail(const QString& sql) const {
        throw std::runtime_error(sql.toStdString() + ": " + sqlite3_errmsg(db_));
    }

private:
    sqlite3* db_ = nullptr;
};

QVariant columnValue(sqlite3_stmt* st, int c) {
    switch (sqlite3_column_type(st, c)) {
    case SQLITE_INTEGER:
        return QVariant::fromValue<qint64>(sqlite3_column_int64(st, c));
    case SQLITE_FLOAT:
        return sqlite3_column_double(st, c);
    case SQLITE_NULL:
        return {};
    default:
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                                 sqlite3_column_bytes(st, c));
    }
}

template <typename F> void eachRow(const Handle& h, const QString& sql, F&& onRow) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(h.get(), sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK) {
        h.fail(sql);
    }
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        onRow(st);
    }
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE) {
        h.fail(sql);
    }
}

} // namespace

TempServer::TempServer(const QStringList& databases) {
    if (!dir_.isValid()) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    folder_ = dir_.filePath(QStringLiteral("server"));
    if (!QDir().mkpath(folder_)) {
        throw std::runtime_error("cannot create " + folder_.toStdString());
    }
    for (const QString& name : databases) {
        Handle h(fileOf(name), true);
        // An empty file is not yet a database; writing the header makes it one. Write-ahead
        // logging, as the server tool makes its databases.
        if (sqlite3_exec(h.get(), "PRAGMA user_version = 1; PRAGMA journal_mode = WAL", nullptr,
                         nullptr, nullptr) != SQLITE_OK) {
            h.fail(QStringLiteral("PRAGMA user_version"));
        }
    }
}

QString TempServer::fileOf(const QString& database) const {
    return QDir(folder_).filePath(database.toUpper() + QStringLiteral(".sqlite"));
}

void TempServer::exec(const QString& database, const QString& sql) const {
    Handle h(fileOf(database), false);
    if (sqlite3_exec(h.get(), sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        h.fail(sql);
    }
}

std::vector<std::string> TempServer::rows(const QString& database, const QString& sql) const {
    Handle h(fileOf(database), false);
    std::vector<std::string> out;
    eachRow(h, sql, [&](sqlite3_stmt* st) {
        QStringList cells;
        for (int c = 0; c < sqlite3_column_count(st); ++c) {
            // The server's own text of the value: a REAL 2 reads "2.0".
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
            cells << (text ? QString::fromUtf8(text) : QStringLiteral("NULL"));
        }
        out.push_back(cells.join(QLatin1Char('|')).toStdString());
    });
    return out;
}

QVariant TempServer::scalar(const QString& database, const QString& sql) const {
    Handle h(fileOf(database), false);
    QVariant result;
    bool first = true;
    eachRow(h, sql, [&](sqlite3_stmt* st) {
        if (first) {
            result = columnValue(st, 0);
            first = false;
        }
    });
    return result;
}

std::unique_ptr<db::Connection> TempServer::connect(const QString& connectionName,
                                                    const QString& database,
                                                    const QStringList& moreParams) const {
    auto c = std::make_unique<db::Connection>(connectionName);
    c->params() << QStringLiteral("SERVER NAME=") + serverName()
                << QStringLiteral("DATABASE NAME=") + database << moreParams;
    return c;
}

} // namespace testing_support
