#include "platform/db/SqliteBackend.h"

#include "platform/db/DbError.h"
#include "platform/db/Decimal.h"
#include "platform/db/SqliteProcedures.h"
#include "platform/db/SqliteSession.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <cmath>
#include <sqlite3.h>

namespace db {

bool SqliteBackend::handles(const QString& serverName) const {
    return serverName.startsWith(QLatin1String("sqlite:"), Qt::CaseInsensitive);
}

QString SqliteBackend::folderOf(const QString& serverName) {
    if (!serverName.startsWith(QLatin1String("sqlite:"), Qt::CaseInsensitive)) {
        return {};
    }
    return serverName.mid(7);
}

QStringList SqliteBackend::databasesIn(const QString& folder) {
    QStringList names;
    const QFileInfoList files =
        QDir(folder).entryInfoList({QStringLiteral("*.sqlite")}, QDir::Files, QDir::Name);
    for (const QFileInfo& f : files) {
        names << f.completeBaseName().toUpper();
    }
    return names;
}

QString SqliteBackend::fileOf(const QString& folder, const QString& databaseName) {
    return QDir(folder).filePath(databaseName.toUpper() + QStringLiteral(".sqlite"));
}

std::unique_ptr<Session> SqliteBackend::open(const ConnectionSettings& settings) {
    const QString folder = folderOf(settings.serverName);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        throw DbError(QStringLiteral("SQL Server does not exist or access denied. (server '%1': "
                                     "no such folder)")
                          .arg(settings.serverName));
    }
    const QString name = settings.databaseName.trimmed();
    if (name.isEmpty() || !databasesIn(folder).contains(name.toUpper())) {
        throw DbError(QStringLiteral("Cannot open database \"%1\" requested by the login. The "
                                     "login failed.")
                          .arg(settings.databaseName));
    }
    return std::make_unique<SqliteSession>(folder, name, settings);
}

QString wordSqliteError(int code, const QString& msg) {
    static const QRegularExpression objectRe(QStringLiteral("failed: ([^.,\\s]+)\\.([^,\\s]+)"));
    const QRegularExpressionMatch m = objectRe.match(msg);
    const QString table = m.hasMatch() ? m.captured(1) : QString();
    const QString column = m.hasMatch() ? m.captured(2) : QString();
    switch (code) {
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
        return QStringLiteral("Cannot insert duplicate key row in object '%1'. (%2)")
            .arg(table, msg);
    case SQLITE_CONSTRAINT_NOTNULL:
        return QStringLiteral("Cannot insert the value NULL into column '%1', table '%2'; column "
                              "does not allow nulls. (%3)")
            .arg(column, table, msg);
    case SQLITE_CONSTRAINT_FOREIGNKEY:
        return QStringLiteral("The DELETE statement conflicted with COLUMN REFERENCE constraint. "
                              "(%1)")
            .arg(msg);
    case SQLITE_INTERRUPT:
        return QStringLiteral("SQL Server connection timed out. (%1)").arg(msg);
    default:
        break;
    }
    switch (code & 0xff) {
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        // Damage, not a network fault: a retry cannot help, the file needs repair.
        return QStringLiteral("The database file is damaged and cannot be read. (%1)").arg(msg);
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
        return QStringLiteral("Possible network error. (%1)").arg(msg);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("Lock request time out period exceeded. (%1)").arg(msg);
    default:
        return msg;
    }
}

DbErrorKind sqliteErrorKind(int code) {
    switch (code) {
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
        return DbErrorKind::DuplicateKey;
    case SQLITE_CONSTRAINT_NOTNULL:
        return DbErrorKind::NullNotAllowed;
    case SQLITE_CONSTRAINT_FOREIGNKEY:
        return DbErrorKind::ReferenceConflict;
    default:
        break;
    }
    switch (code & 0xff) {
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        return DbErrorKind::Damaged;
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
        return DbErrorKind::Connection;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return DbErrorKind::LockTimeout;
    default:
        return DbErrorKind::Other;
    }
}

// ---- SQL functions -------------------------------------------------------------------

namespace {

QVariant argValue(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        return QVariant::fromValue<qint64>(sqlite3_value_int64(v));
    case SQLITE_FLOAT:
        return sqlite3_value_double(v);
    case SQLITE_NULL:
        return {};
    default:
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                                 sqlite3_value_bytes(v));
    }
}

void resultText(sqlite3_context* ctx, const QString& s) {
    const QByteArray utf8 = s.toUtf8();
    sqlite3_result_text(ctx, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

void resultNumber(sqlite3_context* ctx, double d) {
    if (d == std::floor(d) && std::fabs(d) < 9e15) {
        sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(d));
    } else {
        sqlite3_result_double(ctx, d);
    }
}

bool anyNull(int argc, sqlite3_value** argv) {
    for (int i = 0; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) {
            return true;
        }
    }
    return false;
}

void fnGetDate(sqlite3_context* ctx, int, sqlite3_value**) {
    resultText(ctx, QDateTime::currentDateTime().toString(QLatin1String(kStorageDateTimeFormat)));
}

void fnLeft(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    const QString s = argValue(argv[0]).toString();
    resultText(ctx, s.left(std::max(0, sqlite3_value_int(argv[1]))));
}

void fnRight(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    const QString s = argValue(argv[0]).toString();
    resultText(ctx, s.right(std::max(0, sqlite3_value_int(argv[1]))));
}

void fnLen(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    QString s = argValue(argv[0]).toString();
    while (s.endsWith(QLatin1Char(' '))) {
        s.chop(1); // trailing blanks do not count
    }
    sqlite3_result_int64(ctx, s.size());
}

void fnIsNull(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_value(ctx, sqlite3_value_type(argv[0]) == SQLITE_NULL ? argv[1] : argv[0]);
}

template <double (*F)(double)> void fnRound(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    if (sqlite3_value_numeric_type(argv[0]) == SQLITE_INTEGER) {
        sqlite3_result_int64(ctx, sqlite3_value_int64(argv[0]));
        return;
    }
    resultNumber(ctx, F(sqlite3_value_double(argv[0])));
}

std::optional<Decimal> decimalArg(sqlite3_context* ctx, sqlite3_value* v) {
    std::optional<Decimal> d = Decimal::fromVariant(argValue(v));
    if (!d) {
        sqlite3_result_error(ctx, "Error converting data type to numeric.", -1);
    }
    return d;
}

void fnDecRound(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    if (auto d = decimalArg(ctx, argv[0])) {
        resultNumber(ctx, d->rounded(sqlite3_value_int(argv[1])).toDouble());
    }
}

void fnDecDiv(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    auto a = decimalArg(ctx, argv[0]);
    auto b = a ? decimalArg(ctx, argv[1]) : std::nullopt;
    if (!a || !b) {
        return;
    }
    if (b->isZero()) {
        sqlite3_result_error(ctx, "Divide by zero error encountered.", -1);
        return;
    }
    resultNumber(ctx, exactQuotient(*a, *b));
}

void fnDecMul(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    auto a = decimalArg(ctx, argv[0]);
    auto b = a ? decimalArg(ctx, argv[1]) : std::nullopt;
    if (a && b) {
        resultNumber(ctx, (*a * *b).toDouble());
    }
}

// Decimal arithmetic throws DbError on overflow; no exception may cross the library's C
// frames, so the error becomes the statement's error.
template <void (*F)(sqlite3_context*, int, sqlite3_value**)>
void reportingErrors(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    try {
        F(ctx, argc, argv);
    } catch (const std::exception& e) {
        sqlite3_result_error(ctx, e.what(), -1); // a DbError's text, in UTF-8
    }
}

} // namespace

void SqliteBackend::registerFunctions(sqlite3* h) {
    struct Fn {
        const char* name;
        void (*fn)(sqlite3_context*, int, sqlite3_value**);
        int args;
        bool deterministic;
    };
    static const Fn fns[] = {
        {"GetDate", fnGetDate, 0, false},
        {"Left", fnLeft, 2, true},
        {"Right", fnRight, 2, true},
        {"Len", fnLen, 1, true},
        {"IsNull", fnIsNull, 2, true},
        {"Ceiling", fnRound<std::ceil>, 1, true},
        {"Floor", fnRound<std::floor>, 1, true},
        {"DecRound", reportingErrors<fnDecRound>, 2, true},
        {"DecDiv", reportingErrors<fnDecDiv>, 2, true},
        {"DecMul", reportingErrors<fnDecMul>, 2, true},
    };
    for (const Fn& f : fns) {
        sqlite3_create_function_v2(h, f.name, f.args,
                                   SQLITE_UTF8 | (f.deterministic ? SQLITE_DETERMINISTIC : 0),
                                   nullptr, f.fn, nullptr, nullptr, nullptr);
    }
}

} // namespace db
