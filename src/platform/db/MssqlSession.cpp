#include "platform/db/MssqlSession.h"

#include "platform/db/DbError.h"
#include "platform/db/MssqlText.h"

#include <QAtomicInteger>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>

#ifdef Q_OS_WIN
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

namespace db {

namespace {

// Room for a text output of a procedure: Qt's driver sizes the buffer by the value bound, and
// binds anything longer than 254 bytes as a long (text) parameter, which outputs cannot be.
constexpr int kOutputTextSize = 254;

QString uniqueConnectionName() {
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("ordertool-mssql-%1").arg(++counter);
}

QString nativeText(const QSqlError& e) {
    const QString text = e.databaseText().trimmed();
    return text.isEmpty() ? e.text().trimmed() : text;
}

// The value as handed to the driver. Date-times go as ISO 8601 text, which the server reads
// alike under every language and date format of the login.
QVariant boundValue(const QVariant& v) {
    return boundQtValue(v, QStringLiteral("yyyy-MM-ddThh:mm:ss.zzz"));
}

// What an output parameter is bound with, so that the driver has room of the right type.
QVariant outputPlaceholder(FieldType type) {
    switch (type) {
    case FieldType::Integer:
        return QVariant::fromValue<qint64>(0);
    case FieldType::Float:
        return 0.0;
    case FieldType::DateTime:
        return QDateTime(QDate(2000, 1, 1), QTime(0, 0));
    case FieldType::Text:
        break;
    }
    return QString(kOutputTextSize, QLatin1Char(' '));
}

// Qt hands a text output back as the whole buffer: the value ends at its terminator.
QVariant outputValue(const QVariant& v, FieldType type) {
    if (v.isNull() || !v.isValid()) {
        return {};
    }
    if (type == FieldType::Text) {
        QString s =
            v.typeId() == QMetaType::QByteArray ? QString::fromUtf8(v.toByteArray()) : v.toString();
        const qsizetype end = s.indexOf(QChar(0));
        return end >= 0 ? s.left(end) : s;
    }
    return convertTo(v, type);
}

// A statement runs at most this long. Qt's driver has no setting for it; the handle of the
// prepared statement takes it directly.
void limitTime(QSqlQuery& q, int seconds) {
    if (seconds <= 0) {
        return;
    }
    const QVariant handle = q.result()->handle();
    if (handle.typeId() != QMetaType::VoidStar) {
        return;
    }
    SQLHANDLE statement = *static_cast<SQLHANDLE const*>(handle.constData());
    if (statement) {
        SQLSetStmtAttr(statement, SQL_ATTR_QUERY_TIMEOUT,
                       reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(seconds)), 0);
    }
}

struct Diagnostic {
    QString sqlState; // empty when the handle gave none
    int nativeCode = 0;
};

// The server's error of a failed statement, read from its handle before the query is finished:
// Qt's error keeps the number of the last message only, which after a failed statement may be
// 3621 ("The statement has been terminated."), and no SQLSTATE at all.
Diagnostic diagnosticOf(const QSqlQuery& q) {
    Diagnostic first;
    const QVariant handle = q.result() ? q.result()->handle() : QVariant();
    if (handle.typeId() != QMetaType::VoidStar) {
        return first;
    }
    SQLHANDLE statement = *static_cast<SQLHANDLE const*>(handle.constData());
    for (SQLSMALLINT i = 1; statement && i < 20; ++i) {
        SQLCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
        SQLINTEGER native = 0;
        SQLCHAR text[8];
        SQLSMALLINT length = 0;
#ifdef Q_OS_WIN
        const SQLRETURN r = SQLGetDiagRecA(SQL_HANDLE_STMT, statement, i, state, &native, text,
                                           sizeof text, &length);
#else
        const SQLRETURN r = SQLGetDiagRec(SQL_HANDLE_STMT, statement, i, state, &native, text,
                                          sizeof text, &length);
#endif
        if (r != SQL_SUCCESS && r != SQL_SUCCESS_WITH_INFO) {
            break;
        }
        const Diagnostic d{QString::fromLatin1(reinterpret_cast<const char*>(state)), int(native)};
        // Class 01 is a warning or a message beside the error.
        if (!d.sqlState.startsWith(QLatin1String("01"))) {
            return d;
        }
        if (first.sqlState.isEmpty()) {
            first = d;
        }
    }
    return first;
}

QSql::ParamType paramType(ParamDirection d) {
    switch (d) {
    case ParamDirection::Input:
        return QSql::In;
    case ParamDirection::InputOutput:
        return QSql::InOut;
    case ParamDirection::Output:
    case ParamDirection::Result:
        break;
    }
    return QSql::Out;
}

} // namespace

QString mssqlSqlState(const QSqlError& error) {
    // Later Qt versions end the database text with ", <SQLSTATE>"; 6.4 gives none.
    static const QRegularExpression tail(QStringLiteral(", ([0-9A-Z]{5})(?:;[0-9A-Z]{5})*$"));
    const QRegularExpressionMatch m = tail.match(error.databaseText().trimmed());
    return m.hasMatch() ? m.captured(1) : QString();
}

int mssqlNativeCode(const QSqlError& error) {
    // Several diagnostic records give several numbers; the first that is one counts.
    const QStringList codes = error.nativeErrorCode().split(QLatin1Char(';'));
    for (const QString& c : codes) {
        if (const int n = c.trimmed().toInt(); n != 0) {
            return n;
        }
    }
    return 0;
}

MssqlSession::MssqlSession(const ConnectionSettings& settings)
    : connection_(QStringLiteral("QODBC"), uniqueConnectionName()),
      databaseName_(settings.databaseName.trimmed()),
      maxQueryTimeSeconds_(settings.maxQueryTimeSeconds) {
    QSqlDatabase db = connection_.database();
    if (!db.isValid()) {
        throw DbError(QStringLiteral("SQL Server does not exist or access denied. Possible "
                                     "network error. (the ODBC driver of Qt is not installed)"),
                      QString(), 0, DbErrorKind::Connection);
    }
    db.setDatabaseName(mssql::connectionString(settings));
    db.setConnectOptions(
        QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1").arg(mssql::kLoginTimeoutSeconds));
    if (!db.open()) {
        const QSqlError e = db.lastError();
        const QString native = nativeText(e);
        const QString state = mssqlSqlState(e);
        const int code = mssqlNativeCode(e);
        // The server answered and refused (a login it does not know, a database it does not
        // have): its own words. Anything else never reached it.
        if ((code > 0 && code < 20000) || native.contains(QLatin1String("Login failed")) ||
            native.contains(QLatin1String("Cannot open database"))) {
            throw DbError(native, settings.databaseName, code, mssql::errorKind(state, code));
        }
        throw DbError(QStringLiteral("SQL Server does not exist or access denied. Possible "
                                     "network error. (%1)")
                          .arg(native),
                      settings.databaseName, code, DbErrorKind::Connection);
    }
}

MssqlSession::~MssqlSession() {
    if (inTransaction_) {
        // A failure means the connection is gone, and the transaction with it.
        QSqlQuery q(connection_.database());
        q.exec(QStringLiteral("IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION"));
    }
}

void MssqlSession::fail(const QString& statementName, QSqlQuery& q) {
    const QSqlError error = q.lastError();
    const Diagnostic d = diagnosticOf(q);
    q.finish();
    const QString state = d.sqlState.isEmpty() ? mssqlSqlState(error) : d.sqlState;
    const int code = d.sqlState.isEmpty() ? mssqlNativeCode(error) : d.nativeCode;
    throw DbError(mssql::wordError(state, code, nativeText(error)), statementName, code,
                  mssql::errorKind(state, code));
}

void MssqlSession::checkIdentifier(const QString& name) const {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]{0,31}$"));
    if (!plain.match(name).hasMatch()) {
        throw DbError(QStringLiteral("Invalid savepoint name '%1'.").arg(name));
    }
}

ResultSet MssqlSession::results(const QString& statementName, QSqlQuery& q, bool batch) {
    ResultSet result;
    auto take = [&] {
        if (q.isSelect()) {
            // Rows come from the last statement that returns any.
            ResultSet r;
            const QSqlRecord record = q.record();
            for (int c = 0; c < record.count(); ++c) {
                const QSqlField f = record.field(c);
                const FieldType type = qtFieldType(f);
                r.columns.push_back(
                    {f.name(), type, type == FieldType::Text && f.length() > 0 ? f.length() : 0});
            }
            while (q.next()) {
                std::vector<QVariant> row;
                row.reserve(r.columns.size());
                for (int c = 0; c < int(r.columns.size()); ++c) {
                    row.push_back(readQtValue(q.value(c), r.columns[c].type));
                }
                r.rows.push_back(std::move(row));
            }
            if (q.lastError().isValid()) {
                fail(statementName, q);
            }
            r.rowsAffected = qint64(r.rows.size());
            result = std::move(r);
        } else if (!batch && !result.hasRows()) {
            // The last count given; -1 is none (a condition that did not hold, a COMMIT).
            if (const int n = q.numRowsAffected(); n >= 0) {
                result.rowsAffected = n;
            }
        }
    };
    take();
    while (q.nextResult()) {
        take();
    }
    // A later statement of a batch that failed ends the results with its error.
    if (q.lastError().isValid()) {
        fail(statementName, q);
    }
    q.finish();
    return result;
}

ResultSet MssqlSession::execute(const QString& statementName, const SqlText& sql,
                                const Params& params) {
    const mssql::Positional p = mssql::positional(sql);
    QSqlQuery q(connection_.database());
    q.setForwardOnly(true);
    q.setNumericalPrecisionPolicy(QSql::HighPrecision);
    bool ok = false;
    if (p.names.isEmpty() && maxQueryTimeSeconds_ <= 0) {
        ok = q.exec(p.text);
    } else {
        if (!q.prepare(p.text)) {
            fail(statementName, q);
        }
        limitTime(q, maxQueryTimeSeconds_);
        for (int i = 0; i < p.names.size(); ++i) {
            const Param* param = params.find(p.names[i]);
            if (!param) {
                throw DbError(QStringLiteral("Parameter '%1' has no value").arg(p.names[i]),
                              statementName);
            }
            q.bindValue(i, boundValue(param->value));
        }
        ok = q.exec();
    }
    if (!ok) {
        fail(statementName, q);
    }
    return results(statementName, q, p.batch);
}

void MssqlSession::check(const QString& statementName, const SqlText& sql) {
    // Compiled by the server and not run: under NOEXEC it stops after compiling the batch (a
    // table the batch itself would create is resolved only when it runs).
    const mssql::Positional p = mssql::positional(sql);
    QSqlQuery q(connection_.database());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SET NOEXEC ON;\n") + p.text +
                   QStringLiteral("\n;SET NOEXEC OFF;"))) {
        fail(statementName, q); // nothing ran: NOEXEC was not set
    }
    for (int i = 0; i < p.names.size(); ++i) {
        q.bindValue(i, QVariant(QMetaType::fromType<QString>()));
    }
    if (!q.exec()) {
        QSqlQuery off(connection_.database());
        off.exec(QStringLiteral("SET NOEXEC OFF"));
        fail(statementName, q);
    }
    while (q.nextResult()) {
    }
    q.finish();
}

void MssqlSession::callProcedure(const QString& name, Params& params) {
    const QString call = mssql::procedureCall(name, params);
    if (call.isEmpty()) {
        throw DbError(QStringLiteral("Could not find stored procedure '%1'.").arg(name), name);
    }
    // Output parameters reach the client only after every result of the call. A procedure
    // inherits NOCOUNT from the session: with it on, its row counts do not come first.
    run(QStringLiteral("SET NOCOUNT ON"), name);
    auto countsBack = qScopeGuard([this, &name] {
        try {
            run(QStringLiteral("SET NOCOUNT OFF"), name);
        } catch (const DbError&) {
            // The connection is gone; the next statement says so.
        }
    });
    QSqlQuery q(connection_.database());
    q.setForwardOnly(true);
    q.setNumericalPrecisionPolicy(QSql::HighPrecision);
    if (!q.prepare(call)) {
        fail(name, q);
    }
    limitTime(q, maxQueryTimeSeconds_);
    std::vector<int> positions; // of each parameter; -1 for none
    int position = 0;
    // The result comes first in the call escape, whatever its place in the list.
    for (const Param& p : params.items()) {
        if (p.direction == ParamDirection::Result) {
            q.bindValue(position++, QVariant::fromValue<qint64>(0), QSql::Out);
            break;
        }
    }
    for (const Param& p : params.items()) {
        if (p.direction == ParamDirection::Result) {
            positions.push_back(0);
            continue;
        }
        positions.push_back(position);
        const QVariant value =
            p.direction == ParamDirection::Output ? outputPlaceholder(p.type) : boundValue(p.value);
        q.bindValue(position++, value, paramType(p.direction));
    }
    if (!q.exec()) {
        fail(name, q);
    }
    // Qt's driver takes the outputs as the call returns: a procedure that returns rows first
    // has not sent them yet, and its outputs would read as what was bound.
    bool rows = q.isSelect();
    while (q.nextResult()) {
        rows = rows || q.isSelect();
    }
    if (q.lastError().isValid()) {
        fail(name, q);
    }
    if (rows) {
        q.finish();
        throw DbError(QStringLiteral("Procedure '%1' returned rows; its output parameters cannot "
                                     "be read.")
                          .arg(name),
                      name);
    }
    for (size_t i = 0; i < params.items().size(); ++i) {
        Param& p = params.items()[i];
        if (p.direction == ParamDirection::Input) {
            continue;
        }
        const FieldType type = p.direction == ParamDirection::Result ? FieldType::Integer : p.type;
        p.value = outputValue(q.boundValue(positions[i]), type);
    }
    q.finish();
}

ResultSet MssqlSession::run(const QString& sql, const QString& statementName) {
    QSqlQuery q(connection_.database());
    q.setForwardOnly(true);
    q.setNumericalPrecisionPolicy(QSql::HighPrecision);
    if (!q.exec(sql)) {
        fail(statementName, q);
    }
    return results(statementName, q, false);
}

// Transactions are the server's own statements, not the driver's manual-commit mode: in that
// mode no transaction exists before the first statement, and a savepoint taken first fails.
void MssqlSession::begin() {
    if (inTransaction_) {
        throw DbError(QStringLiteral("A transaction is already active on this connection."));
    }
    run(QStringLiteral("BEGIN TRANSACTION"), QStringLiteral("BEGIN TRANSACTION"));
    inTransaction_ = true;
}

void MssqlSession::commit() {
    try {
        // Fails when the server has rolled the transaction back itself (a deadlock victim).
        run(QStringLiteral("COMMIT TRANSACTION"), QStringLiteral("COMMIT"));
    } catch (const DbError&) {
        rollback();
        throw;
    }
    inTransaction_ = false;
}

void MssqlSession::rollback() {
    if (!inTransaction_) {
        return;
    }
    inTransaction_ = false;
    run(QStringLiteral("IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION"), QStringLiteral("ROLLBACK"));
}

void MssqlSession::savepoint(const QString& name) {
    checkIdentifier(name);
    run(QStringLiteral("SAVE TRANSACTION %1").arg(name));
}

void MssqlSession::releaseSavepoint(const QString& name) {
    // The server has no release: a savepoint simply stays part of the transaction.
    checkIdentifier(name);
}

void MssqlSession::rollbackToSavepoint(const QString& name) {
    checkIdentifier(name);
    run(QStringLiteral("ROLLBACK TRANSACTION %1").arg(name));
}

} // namespace db
