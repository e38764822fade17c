#include "platform/db/PgsqlSession.h"

#include "platform/db/ClientSideIf.h"
#include "platform/db/Connection.h"
#include "platform/db/DbError.h"

#include <QAtomicInteger>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>
#include <QTimeZone>
#include <algorithm>
#include <deque>
#include <iterator>
#include <limits>
#include <optional>

namespace db {

namespace {

constexpr size_t kStatementCacheSize = 256;

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
    if (v.isNull() || !v.isValid()) {
        return QVariant(QMetaType::fromType<QString>());
    }
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool() ? 1 : 0;
    case QMetaType::QDateTime:
        return v.toDateTime().toString(QLatin1String(kStorageDateTimeFormat));
    case QMetaType::QDate:
        return v.toDate().startOfDay().toString(QLatin1String(kStorageDateTimeFormat));
    default:
        return v;
    }
}

FieldType fieldTypeOf(const QSqlField& f) {
    switch (f.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::Bool:
        return FieldType::Integer;
    case QMetaType::Double:
    case QMetaType::Float:
        return FieldType::Float;
    case QMetaType::QDateTime:
    case QMetaType::QDate:
        return FieldType::DateTime;
    default:
        return FieldType::Text;
    }
}

// Values as the embedded server gives them: integers 64-bit, dates as date-times.
QVariant readValue(const QVariant& v, FieldType type) {
    if (v.isNull()) {
        return {};
    }
    switch (type) {
    case FieldType::Integer:
        return QVariant::fromValue<qint64>(v.toLongLong());
    case FieldType::Float:
        return v.toDouble();
    case FieldType::DateTime:
        if (v.typeId() == QMetaType::QDate) {
            return v.toDate().startOfDay();
        }
        return v.toDateTime();
    default:
        return v;
    }
}

} // namespace

QtSqlConnection::QtSqlConnection(const QString& driver, const QString& connectionName)
    : name_(connectionName) {
    QSqlDatabase::addDatabase(driver, name_);
}

QtSqlConnection::~QtSqlConnection() {
    {
        QSqlDatabase db = QSqlDatabase::database(name_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name_);
}

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
            const FieldType type = fieldTypeOf(f);
            result.columns.push_back(
                {f.name(), type, type == FieldType::Text && f.length() > 0 ? f.length() : 0});
        }
        while (q.next()) {
            std::vector<QVariant> row;
            row.reserve(result.columns.size());
            for (int c = 0; c < int(result.columns.size()); ++c) {
                row.push_back(readValue(q.value(c), result.columns[c].type));
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

// Reads the rows of a prepared query of the session as the driver receives them (a
// forward-only query of the Qt driver runs in libpq's single-row mode).
class PgsqlCursor : public Cursor {
public:
    PgsqlCursor(PgsqlSession* session, QString statementName, QSqlQuery* q)
        : session_(session), statementName_(std::move(statementName)), q_(q) {
        const QSqlRecord record = q->record();
        for (int c = 0; c < record.count(); ++c) {
            const QSqlField f = record.field(c);
            const FieldType type = fieldTypeOf(f);
            columns_.push_back(
                {f.name(), type, type == FieldType::Text && f.length() > 0 ? f.length() : 0});
        }
        session_->cursors_.push_back(this);
    }
    ~PgsqlCursor() override { release(); }

    const std::vector<ColumnInfo>& columns() const override { return columns_; }
    bool atEnd() const override { return !q_ && ahead_.empty(); }

    std::vector<std::vector<QVariant>> fetch(int maxRows) override {
        const size_t wanted = size_t(std::max(maxRows, 0));
        readAhead(wanted);
        std::vector<std::vector<QVariant>> slice;
        const size_t n = std::min(wanted, ahead_.size());
        slice.reserve(n);
        std::move(ahead_.begin(), ahead_.begin() + qsizetype(n), std::back_inserter(slice));
        ahead_.erase(ahead_.begin(), ahead_.begin() + qsizetype(n));
        return slice;
    }

    void detach() { readAhead(std::numeric_limits<size_t>::max()); }

private:
    void readAhead(size_t rows) {
        while (q_ && ahead_.size() < rows) {
            if (!q_->next()) {
                const QSqlError error = q_->lastError();
                release();
                if (error.type() != QSqlError::NoError) {
                    session_->fail(statementName_, error);
                }
                return;
            }
            std::vector<QVariant> row;
            row.reserve(columns_.size());
            for (int c = 0; c < int(columns_.size()); ++c) {
                row.push_back(readValue(q_->value(c), columns_[c].type));
            }
            ahead_.push_back(std::move(row));
        }
    }

    void release() {
        if (!q_) {
            return;
        }
        auto& open = session_->cursors_;
        open.erase(std::remove(open.begin(), open.end(), this), open.end());
        q_->finish();
        q_ = nullptr;
    }

    PgsqlSession* session_;
    QString statementName_;
    QSqlQuery* q_; // a prepared query of the session, not owned
    std::vector<ColumnInfo> columns_;
    std::deque<std::vector<QVariant>> ahead_;
};

std::unique_ptr<Cursor> PgsqlSession::openCursor(const QString& statementName, const SqlText& sql,
                                                 const Params& params) {
    detachCursors();
    static const QRegularExpression query(QStringLiteral("^\\s*\\(*\\s*(select|with|values)\\b"),
                                          QRegularExpression::CaseInsensitiveOption);
    if (!query.match(sql.original()).hasMatch()) {
        return Session::openCursor(statementName, sql, params);
    }
    const Adapted& a = adapted(sql);
    if (!a.preparable) {
        return Session::openCursor(statementName, sql, params);
    }
    const QList<QVariant> values = boundValues(statementName, a, params);
    auto start = [&]() -> QSqlQuery& {
        QSqlQuery& q = prepared(statementName, a.text);
        for (int i = 0; i < values.size(); ++i) {
            q.bindValue(i, values[i]);
        }
        if (!q.exec()) {
            const QSqlError error = q.lastError();
            q.finish();
            fail(statementName, error);
        }
        return q;
    };
    QSqlQuery* q = nullptr;
    try {
        q = &start();
    } catch (const DbError& e) {
        // Prepared before a table's columns changed: prepared anew, once (as execute does).
        if (e.sqlState() != QLatin1String("0A000") || inTransaction_) {
            throw;
        }
        prepared_.erase(a.text);
        q = &start();
    }
    if (!q->isSelect()) {
        q->finish();
        return std::make_unique<BufferedCursor>(ResultSet{});
    }
    return std::make_unique<PgsqlCursor>(this, statementName, q);
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
