#include "platform/db/PgsqlSession.h"

#include "platform/db/ClientSideIf.h"
#include "platform/db/Connection.h"
#include "platform/db/DbError.h"

#include <QAtomicInteger>
#include <QDateTime>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>
#include <QTimeZone>
#include <algorithm>
#include <deque>
#include <iterator>
#include <libpq-fe.h>
#include <limits>
#include <optional>

namespace db {

namespace {

constexpr size_t kStatementCacheSize = 256;
constexpr int kLockTimeoutMs = 15000;

QString uniqueConnectionName() {
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("ordertool-pgsql-%1").arg(++counter);
}

QString nativeText(const QSqlError& e) {
    const QString text = e.databaseText().trimmed();
    return text.isEmpty() ? e.text().trimmed() : text;
}

// Only statements of these kinds can be prepared by PostgreSQL; others run as they are.
bool isPreparable(const QString& text) {
    static const QRegularExpression head(
        QStringLiteral("^\\s*\\(*\\s*(select|insert|update|delete|with|values)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    return head.match(text).hasMatch();
}

// The value as it is handed to the driver. Date-times go as local wall-clock text, the way
// every workstation writes them, so no time zone of the session or the server shifts them.
QVariant boundValue(const QVariant& v) {
    return boundQtValue(v, QLatin1String(kStorageDateTimeFormat));
}

} // namespace

PgsqlSession::PgsqlSession(const PgsqlAddress& address, const ConnectionSettings& settings)
    : connection_(QStringLiteral("QPSQL"), uniqueConnectionName()),
      databaseName_(settings.databaseName.trimmed()) {
    QSqlDatabase db = connection_.database();
    if (!db.isValid()) {
        throw DbError(QStringLiteral("Possible network error. (the PostgreSQL driver of Qt is "
                                     "not installed)"),
                      QString(), 0, DbErrorKind::Connection);
    }
    db.setHostName(address.host);
    db.setPort(address.port);
    db.setDatabaseName(address.database);
    db.setUserName(address.user);
    db.setPassword(address.password);
    db.setConnectOptions(QStringLiteral("connect_timeout=10;application_name=ordertool"));
    if (!db.open()) {
        const QString native = nativeText(db.lastError());
        if (native.contains(QLatin1String("does not exist")) &&
            native.contains(QLatin1String("database"))) {
            throw DbError(QStringLiteral("Cannot open database \"%1\" requested by the login. The "
                                         "login failed. (%2)")
                              .arg(address.database, native));
        }
        if (native.contains(QLatin1String("authentication failed"))) {
            throw DbError(
                QStringLiteral("Login failed for user '%1'. (%2)").arg(address.user, native));
        }
        const QString state = db.lastError().nativeErrorCode();
        throw DbError(wordPgsqlError(state, native), settings.databaseName, state,
                      pgsqlErrorKind(state));
    }
    const QString schema = PgsqlBackend::schemaOf(databaseName_);
    bool exists = false;
    if (!schema.isEmpty()) {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("SELECT 1 FROM pg_namespace WHERE nspname = ?"));
        q.addBindValue(schema);
        if (!q.exec()) {
            fail(QStringLiteral("search_path"), q.lastError());
        }
        exists = q.next();
    }
    if (!exists) {
        throw DbError(QStringLiteral("Cannot open database \"%1\" requested by the login. The "
                                     "login failed.")
                          .arg(settings.databaseName));
    }
    setting(QStringLiteral("search_path"), schema + QStringLiteral(", public"));
    // Notices ("drop cascades to ...") would reach the workstation's log as warnings.
    setting(QStringLiteral("client_min_messages"), QStringLiteral("warning"));
    // GetDate() and date-times read as the workstation's clock, as on the embedded server.
    const QString zone = QString::fromUtf8(QTimeZone::systemTimeZoneId());
    if (!zone.isEmpty()) {
        try {
            setting(QStringLiteral("TimeZone"), zone);
        } catch (const DbError&) {
            // A zone name the server does not know: its own zone stays.
        }
    }
    // A unit of work waits this long for another workstation's to finish, as on the embedded
    // server, then fails with a lock time-out instead of hanging.
    setting(QStringLiteral("lock_timeout"), QString::number(kLockTimeoutMs));
    if (settings.maxQueryTimeSeconds > 0) {
        setting(QStringLiteral("statement_timeout"),
                QString::number(settings.maxQueryTimeSeconds * 1000));
    }
}

PgsqlSession::~PgsqlSession() {
    try {
        detachCursors();
    } catch (const DbError&) {
        // The session goes regardless; a cursor that failed has let go of its query.
    }
    prepared_.clear();
    if (inTransaction_) {
        QSqlQuery q(connection_.database());
        q.exec(QStringLiteral("ROLLBACK"));
    }
}

void PgsqlSession::fail(const QString& statementName, const QSqlError& error) {
    if (inTransaction_) {
        transactionFailed_ = true;
    }
    const QString state = error.nativeErrorCode();
    throw DbError(wordPgsqlError(state, nativeText(error)), statementName, state,
                  pgsqlErrorKind(state));
}

void PgsqlSession::setting(const QString& name, const QString& value) {
    // set_config takes its values as parameters, where SET would need them in the text.
    QSqlQuery q(connection_.database());
    q.prepare(QStringLiteral("SELECT set_config(?, ?, false)"));
    q.addBindValue(name);
    q.addBindValue(value);
    if (!q.exec()) {
        fail(name, q.lastError());
    }
}

void PgsqlSession::checkIdentifier(const QString& name) const {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]{0,62}$"));
    if (!plain.match(name).hasMatch()) {
        throw DbError(QStringLiteral("Invalid savepoint name '%1'.").arg(name));
    }
}

SqlText PgsqlSession::adapt(const SqlText& sql) {
    static const QRegularExpression threePart(
        QStringLiteral("\\b([A-Za-z_][A-Za-z0-9_]*)\\s*\\.\\s*dbo\\s*\\.\\s*"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression twoPart(QStringLiteral("(?<![\\w.])dbo\\s*\\.\\s*"),
                                            QRegularExpression::CaseInsensitiveOption);
    return sql.mapSegments([](const SqlText::Segment& seg) -> QString {
        switch (seg.kind) {
        case SqlText::Segment::Comment:
            // Comments could hold a '?' the driver would take for a placeholder.
            return QStringLiteral(" ");
        case SqlText::Segment::Literal: {
            const QString& t = seg.text;
            if (t.startsWith(QLatin1Char('[')) || t.startsWith(QLatin1Char('"'))) {
                // A quoted name: the name PostgreSQL gave the unquoted one it stands for.
                const qsizetype end = t.size() > 1 ? t.size() - 1 : t.size();
                QString inner = t.mid(1, end - 1);
                if (t.startsWith(QLatin1Char('['))) {
                    inner.replace(QLatin1Char('"'), QLatin1String("\"\""));
                }
                return QLatin1Char('"') + inner.toLower() + QLatin1Char('"');
            }
            return t;
        }
        case SqlText::Segment::Code: {
            if (!seg.text.contains(QLatin1String("dbo"), Qt::CaseInsensitive)) {
                return seg.text;
            }
            QString out;
            qsizetype last = 0;
            auto it = threePart.globalMatch(seg.text);
            while (it.hasNext()) {
                const auto m = it.next();
                out += seg.text.mid(last, m.capturedStart() - last);
                out += m.captured(1).toLower() + QLatin1Char('.');
                last = m.capturedEnd();
            }
            out += seg.text.mid(last);
            out.replace(twoPart, QString());
            return out;
        }
        case SqlText::Segment::Parameter:
            break;
        }
        return seg.text;
    });
}

const PgsqlSession::Adapted& PgsqlSession::adapted(const SqlText& sql) {
    auto it = adapted_.constFind(sql.original());
    if (it == adapted_.constEnd()) {
        if (size_t(adapted_.size()) >= kStatementCacheSize) {
            adapted_.clear();
        }
        Adapted a;
        a.text = adapt(sql).positional(&a.names);
        a.preparable = isPreparable(a.text);
        it = adapted_.insert(sql.original(), a);
    }
    return it.value();
}

QSqlQuery& PgsqlSession::prepared(const QString& statementName, const QString& text) {
    auto it = prepared_.find(text);
    if (it != prepared_.end()) {
        return *it->second;
    }
    if (prepared_.size() >= kStatementCacheSize) {
        prepared_.clear(); // each query deallocates its statement on the server
    }
    auto q = std::make_unique<QSqlQuery>(connection_.database());
    q->setForwardOnly(true);
    if (!q->prepare(text)) {
        fail(statementName, q->lastError());
    }
    return *prepared_.emplace(text, std::move(q)).first->second;
}

ResultSet PgsqlSession::runQuery(const QString& statementName, QSqlQuery& q, bool isPrepared,
                                 const QString& text) {
    const bool ok = isPrepared ? q.exec() : q.exec(text);
    if (!ok) {
        const QSqlError error = q.lastError();
        q.finish();
        fail(statementName, error);
    }
    ResultSet result;
    if (q.isSelect()) {
        const QSqlRecord record = q.record();
        for (int c = 0; c < record.count(); ++c) {
            const QSqlField f = record.field(c);
            const FieldType type = qtFieldType(f);
            result.columns.push_back(
                {f.name(), type, type == FieldType::Text && f.length() > 0 ? f.length() : 0});
        }
        while (q.next()) {
            std::vector<QVariant> row;
            row.reserve(result.columns.size());
            for (int c = 0; c < int(result.columns.size()); ++c) {
                row.push_back(readQtValue(q.value(c), result.columns[c].type));
            }
            result.rows.push_back(std::move(row));
        }
        result.rowsAffected = qint64(result.rows.size());
    } else {
        result.rowsAffected = q.numRowsAffected();
    }
    q.finish();
    return result;
}

QList<QVariant> PgsqlSession::boundValues(const QString& statementName, const Adapted& a,
                                          const Params& params) const {
    QList<QVariant> values;
    values.reserve(a.names.size());
    for (const QString& n : a.names) {
        const Param* p = params.find(n);
        if (!p) {
            throw DbError(QStringLiteral("Parameter '%1' has no value").arg(n), statementName);
        }
        values << boundValue(p->value);
    }
    return values;
}

ResultSet PgsqlSession::execute(const QString& statementName, const SqlText& sql,
                                const Params& params) {
    detachCursors();
    ResultSet result;
    if (runClientSideIf(*this, statementName, sql, params, &result)) {
        return result;
    }
    const Adapted& a = adapted(sql);
    const QList<QVariant> values = boundValues(statementName, a, params);
    if (!a.preparable) {
        if (!values.isEmpty()) {
            throw DbError(QStringLiteral("Only queries and data changes take parameters on this "
                                         "server."),
                          statementName);
        }
        QSqlQuery q(connection_.database());
        q.setForwardOnly(true);
        return runQuery(statementName, q, false, a.text);
    }
    auto runPrepared = [&] {
        QSqlQuery& q = prepared(statementName, a.text);
        for (int i = 0; i < values.size(); ++i) {
            q.bindValue(i, values[i]);
        }
        return runQuery(statementName, q, true, a.text);
    };
    try {
        return runPrepared();
    } catch (const DbError& e) {
        // "cached plan must not change result type": a table's columns changed since the
        // statement was prepared (an upgrade added one under a "select *"). Prepared anew,
        // once, unless the failure has spoilt a transaction already.
        if (e.sqlState() != QLatin1String("0A000") || inTransaction_) {
            throw;
        }
        prepared_.erase(a.text);
        return runPrepared();
    }
}

void PgsqlSession::check(const QString& statementName, const SqlText& sql) {
    detachCursors(); // preparing is a round trip on the connection a cursor streams on
    if (checkClientSideIf(*this, statementName, sql)) {
        return;
    }
    const Adapted& a = adapted(sql);
    if (a.preparable) {
        prepared(statementName, a.text); // kept: the statement is about to run anyway
        return;
    }
    // Other statements (table changes) cannot be prepared; they run in a unit of work that is
    // rolled back, which PostgreSQL undoes entirely.
    if (inTransaction_) {
        throw DbError(QStringLiteral("Only queries and data changes can be checked inside a "
                                     "unit of work on this server."),
                      statementName);
    }
    Unit unit(*this);
    run(a.text, statementName);
    unit.rollback();
}

namespace {

// Type numbers of the built-in types (pg_type.oid), fixed across servers.
enum PgType : Oid {
    Bool = 16,
    Int8 = 20,
    Int2 = 21,
    Int4 = 23,
    OidType = 26,
    Float4 = 700,
    Float8 = 701,
    Date = 1082,
    Timestamp = 1114,
    TimestampTz = 1184,
    Numeric = 1700,
};

FieldType fieldTypeOfOid(Oid type) {
    switch (type) {
    case Bool:
    case Int2:
    case Int4:
    case Int8:
    case OidType:
        return FieldType::Integer;
    case Float4:
    case Float8:
    case Numeric:
        return FieldType::Float;
    case Date:
    case Timestamp:
    case TimestampTz:
        return FieldType::DateTime;
    default:
        return FieldType::Text;
    }
}

// A value in PostgreSQL's text form, read as the driver reads it for a materialised result.
QVariant readText(const char* s, int n, Oid type, FieldType field) {
    switch (field) {
    case FieldType::Integer:
        if (type == Bool) {
            return QVariant::fromValue<qint64>(n > 0 && s[0] == 't' ? 1 : 0);
        }
        return QVariant::fromValue<qint64>(QByteArray::fromRawData(s, n).toLongLong());
    case FieldType::Float:
        return QByteArray::fromRawData(s, n).toDouble();
    case FieldType::DateTime: {
        // "yyyy-MM-dd[ hh:mm:ss[.ffffff]][+zz[:zz]]": the session's zone is the workstation's,
        // so the wall-clock part is the local time.
        QString text = QString::fromLatin1(s, n);
        const qsizetype zone =
            text.size() > 19
                ? text.indexOf(QRegularExpression(QStringLiteral("[+-]\\d\\d(:?\\d\\d)?$")))
                : -1;
        if (zone > 0) {
            text.truncate(zone);
        }
        const qsizetype dot = text.indexOf(QLatin1Char('.'));
        if (dot > 0 && text.size() > dot + 4) {
            text.truncate(dot + 4); // milliseconds, as the driver keeps them
        }
        const QDateTime dt = parseDateTime(text);
        return dt.isValid() ? QVariant(dt) : QVariant(text);
    }
    case FieldType::Text:
        break;
    }
    return QString::fromUtf8(s, n);
}

// The text with each parameter occurrence numbered $1, $2, ... as libpq binds them.
QString numberedParameters(const SqlText& sql) {
    QString out;
    int n = 0;
    for (const SqlText::Segment& s : sql.segments()) {
        out += s.kind == SqlText::Segment::Parameter ? QStringLiteral("$%1").arg(++n) : s.text;
    }
    return out;
}

} // namespace

// Reads a select's rows as the server sends them: libpq's single-row mode on the Qt driver's
// connection (the driver itself reads a prepared query's whole result before it returns).
// Nothing else runs on the connection meanwhile: the session reads an open cursor's rest
// ahead before any other statement.
class PgsqlCursor : public Cursor {
public:
    PgsqlCursor(PgsqlSession* session, QString statementName, PGconn* conn)
        : session_(session), statementName_(std::move(statementName)), conn_(conn) {
        session_->cursors_.push_back(this);
        // The first answer describes the columns: a row, the end, or the failure.
        readAhead(1);
    }
    ~PgsqlCursor() override {
        try {
            release();
        } catch (const DbError&) {
            // Closed regardless; the failure reached nobody waiting for these rows.
        }
    }

    const std::vector<ColumnInfo>& columns() const override { return columns_; }
    bool atEnd() const override { return !conn_ && ahead_.empty(); }

    std::vector<std::vector<QVariant>> fetch(int maxRows) override {
        const size_t wanted = size_t(std::max(maxRows, 0));
        readAhead(wanted);
        return takeFront(ahead_, wanted);
    }

    void detach() { readAhead(std::numeric_limits<size_t>::max()); }

private:
    void describe(const PGresult* r) {
        if (described_) {
            return;
        }
        described_ = true;
        for (int c = 0; c < PQnfields(r); ++c) {
            const Oid type = PQftype(r, c);
            const FieldType field = fieldTypeOfOid(type);
            const int mod = PQfmod(r, c);
            // A text type's declared length travels as its modifier, four more than it.
            const int size =
                field == FieldType::Text && PQfsize(r, c) == -1 && mod >= 4 ? mod - 4 : 0;
            columns_.push_back({QString::fromUtf8(PQfname(r, c)), field, size});
            types_.push_back(type);
        }
    }

    void readAhead(size_t rows) {
        while (conn_ && ahead_.size() < rows) {
            PGresult* r = PQgetResult(conn_);
            if (!r) {
                finished();
                return;
            }
            const ExecStatusType status = PQresultStatus(r);
            if (status == PGRES_SINGLE_TUPLE) {
                describe(r);
                std::vector<QVariant> row;
                row.reserve(columns_.size());
                for (int c = 0; c < int(columns_.size()); ++c) {
                    if (PQgetisnull(r, 0, c)) {
                        row.emplace_back();
                    } else {
                        row.push_back(readText(PQgetvalue(r, 0, c), PQgetlength(r, 0, c), types_[c],
                                               columns_[c].type));
                    }
                }
                ahead_.push_back(std::move(row));
            } else if (status == PGRES_TUPLES_OK) {
                describe(r); // an empty result still has its columns
            } else {
                const QString state = QString::fromLatin1(PQresultErrorField(r, PG_DIAG_SQLSTATE));
                const QString text = QString::fromUtf8(PQresultErrorMessage(r)).trimmed();
                PQclear(r);
                drain();
                finished();
                session_->failNative(statementName_, state, text);
            }
            PQclear(r);
        }
    }

    // Reads and drops whatever the server still sends for the statement.
    void drain() {
        while (PGresult* r = PQgetResult(conn_)) {
            PQclear(r);
        }
    }

    void finished() {
        auto& open = session_->cursors_;
        open.erase(std::remove(open.begin(), open.end(), this), open.end());
        conn_ = nullptr;
    }

    // Closed before its end: outside a transaction the server is asked to stop; inside one
    // a cancel would fail the transaction, so the rest is read and dropped.
    void release() {
        if (!conn_) {
            return;
        }
        if (!session_->inTransaction_) {
            if (PGcancel* cancel = PQgetCancel(conn_)) {
                char error[256];
                PQcancel(cancel, error, int(sizeof error));
                PQfreeCancel(cancel);
            }
        }
        drain();
        finished();
    }

    PgsqlSession* session_;
    QString statementName_;
    PGconn* conn_; // null once the statement has ended
    bool described_ = false;
    std::vector<ColumnInfo> columns_;
    std::vector<Oid> types_;
    std::deque<std::vector<QVariant>> ahead_;
};

std::unique_ptr<Cursor> PgsqlSession::openCursor(const QString& statementName, const SqlText& sql,
                                                 const Params& params) {
    detachCursors();
    static const QRegularExpression query(QStringLiteral("^\\s*\\(*\\s*(select|with|values)\\b"),
                                          QRegularExpression::CaseInsensitiveOption);
    const QVariant handle = connection_.database().driver()->handle();
    // The driver's handle is a PGconn*, which Qt's type registry names by its struct.
    if (!query.match(sql.original()).hasMatch() || !handle.isValid() ||
        (qstrcmp(handle.typeName(), "PGconn*") != 0 &&
         qstrcmp(handle.typeName(), "pg_conn*") != 0)) {
        return Session::openCursor(statementName, sql, params);
    }
    PGconn* conn = *static_cast<PGconn* const*>(handle.constData());
    const Adapted& a = adapted(sql);
    if (!a.preparable) {
        return Session::openCursor(statementName, sql, params);
    }
    const QList<QVariant> values = boundValues(statementName, a, params);
    const QByteArray text = numberedParameters(adapt(sql)).toUtf8();
    // Typed as the driver's own binding types them (it writes values as literals): whole
    // numbers as integers, fractions as numeric, texts and dates left to the server.
    std::vector<Oid> types;
    std::vector<QByteArray> texts;
    std::vector<const char*> pointers;
    for (const QVariant& v : values) {
        Oid type = 0;
        QByteArray t;
        if (!v.isNull()) {
            switch (v.typeId()) {
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::LongLong:
            case QMetaType::ULongLong:
            case QMetaType::Short:
                type = Int8;
                t = QByteArray::number(v.toLongLong());
                break;
            case QMetaType::Double:
            case QMetaType::Float:
                type = Numeric;
                t = QByteArray::number(v.toDouble(), 'g', 17);
                break;
            default:
                t = v.toString().toUtf8();
            }
        }
        types.push_back(type);
        texts.push_back(t);
    }
    for (size_t i = 0; i < texts.size(); ++i) {
        pointers.push_back(values[qsizetype(i)].isNull() ? nullptr : texts[i].constData());
    }
    // The driver leaves the end of its last (finished) result unread: read it first, or libpq
    // takes the connection for busy.
    while (PGresult* r = PQgetResult(conn)) {
        PQclear(r);
    }
    if (!PQsendQueryParams(conn, text.constData(), int(values.size()), types.data(),
                           pointers.data(), nullptr, nullptr, 0) ||
        !PQsetSingleRowMode(conn)) {
        const QString message = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
        while (PGresult* r = PQgetResult(conn)) {
            PQclear(r);
        }
        failNative(statementName, QString(), message);
    }
    return std::make_unique<PgsqlCursor>(this, statementName, conn);
}

void PgsqlSession::failNative(const QString& statementName, const QString& state,
                              const QString& text) {
    if (inTransaction_) {
        transactionFailed_ = true;
    }
    throw DbError(wordPgsqlError(state, text), statementName, state, pgsqlErrorKind(state));
}

void PgsqlSession::detachCursors() {
    while (!cursors_.empty()) {
        cursors_.back()->detach();
    }
}

void PgsqlSession::callProcedure(const QString& name, Params& params) {
    detachCursors();
    // A procedure is a function of the public schema returning one row: its inputs by
    // position in the order declared, a column for each output and for the result.
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]{0,62}$"));
    const QString function = name.trimmed().toLower();
    const auto notFound = [&name] {
        return DbError(QStringLiteral("Could not find stored procedure '%1'.").arg(name), name);
    };
    if (!plain.match(function).hasMatch()) {
        throw notFound();
    }
    QList<QVariant> inputs;
    for (const Param& p : params.items()) {
        if (p.direction == ParamDirection::Input || p.direction == ParamDirection::InputOutput) {
            inputs << boundValue(p.value);
        }
    }
    QStringList marks;
    for (qsizetype i = 0; i < inputs.size(); ++i) {
        marks << QStringLiteral("?");
    }
    const QString text = QStringLiteral("SELECT * FROM public.%1(%2)")
                             .arg(function, marks.join(QStringLiteral(", ")));
    // Inside the caller's transaction a failed call leaves the work before it standing.
    std::optional<Unit> unit;
    if (inTransaction_) {
        unit.emplace(*this);
    }
    ResultSet result;
    try {
        QSqlQuery& q = prepared(name, text);
        for (int i = 0; i < inputs.size(); ++i) {
            q.bindValue(i, inputs[i]);
        }
        result = runQuery(name, q, true, text);
    } catch (const DbError& e) {
        if (e.sqlState() == QLatin1String("42883")) {
            if (unit) {
                unit->rollback();
            }
            // A prepared call of a function not there: forget it, it may be made later.
            prepared_.erase(text);
            throw notFound();
        }
        throw;
    }
    if (unit) {
        unit->commit();
    }
    if (result.rows.empty()) {
        return;
    }
    const std::vector<QVariant>& row = result.rows.front();
    for (size_t c = 0; c < result.columns.size(); ++c) {
        Param* p = params.find(result.columns[c].name);
        if (p && p->direction != ParamDirection::Input) {
            p->value = row[c];
        }
    }
}

void PgsqlSession::run(const QString& sql, const QString& statementName) {
    detachCursors();
    QSqlQuery q(connection_.database());
    q.setForwardOnly(true);
    runQuery(statementName, q, false, sql);
}

void PgsqlSession::begin() {
    if (inTransaction_) {
        throw DbError(QStringLiteral("A transaction is already active on this connection."));
    }
    run(QStringLiteral("BEGIN"), QStringLiteral("BEGIN TRANSACTION"));
    inTransaction_ = true;
    transactionFailed_ = false;
    // One unit of work at a time writes to a database, as on the embedded server: a save
    // checks stock or numbers and then writes on what it read, which read committed would let
    // two workstations do at once. Readers are not held up; the lock goes with the transaction.
    try {
        QSqlQuery& lock =
            prepared(QStringLiteral("BEGIN TRANSACTION"),
                     QStringLiteral("SELECT pg_advisory_xact_lock(hashtext(?)::bigint)"));
        lock.bindValue(0,
                       QStringLiteral("ordertool-unit:") + PgsqlBackend::schemaOf(databaseName_));
        runQuery(QStringLiteral("BEGIN TRANSACTION"), lock, true, QString());
    } catch (...) {
        rollback();
        throw;
    }
}

void PgsqlSession::commit() {
    if (transactionFailed_) {
        // The server would answer COMMIT with a silent ROLLBACK: say so instead.
        rollback();
        throw DbError(QStringLiteral("The transaction was rolled back: a statement in it failed, "
                                     "so nothing of it was committed."),
                      QStringLiteral("COMMIT"));
    }
    run(QStringLiteral("COMMIT"), QStringLiteral("COMMIT"));
    inTransaction_ = false;
}

void PgsqlSession::rollback() {
    if (!inTransaction_) {
        return;
    }
    inTransaction_ = false;
    transactionFailed_ = false;
    run(QStringLiteral("ROLLBACK"), QStringLiteral("ROLLBACK"));
}

void PgsqlSession::savepoint(const QString& name) {
    checkIdentifier(name);
    run(QStringLiteral("SAVEPOINT %1").arg(name));
}

void PgsqlSession::releaseSavepoint(const QString& name) {
    checkIdentifier(name);
    run(QStringLiteral("RELEASE SAVEPOINT %1").arg(name));
}

void PgsqlSession::rollbackToSavepoint(const QString& name) {
    checkIdentifier(name);
    run(QStringLiteral("ROLLBACK TO SAVEPOINT %1").arg(name));
    // Work before the savepoint is whole again: the failure was inside it.
    transactionFailed_ = false;
    run(QStringLiteral("RELEASE SAVEPOINT %1").arg(name));
}

} // namespace db
