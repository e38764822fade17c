#include "platform/db/SqliteSession.h"

#include "platform/db/ClientSideIf.h"
#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/SqliteBackend.h"
#include "platform/db/SqliteProcedures.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>
#include <algorithm>
#include <deque>
#include <iterator>
#include <limits>
#include <sqlite3.h>

namespace db {

namespace {

constexpr int kBusyTimeoutMs = 15000;
constexpr int kStatementCacheSize = 256;

QString nativeMessage(sqlite3* db) {
    return QString::fromUtf8(sqlite3_errmsg(db));
}

// Fast reader of the stored date-time text "yyyy-MM-dd[ hh:mm:ss[.zzz]]".
QVariant readDateTime(const char* s, int n) {
    auto digits = [&](int pos, int len) {
        int v = 0;
        for (int i = pos; i < pos + len; ++i) {
            if (i >= n || s[i] < '0' || s[i] > '9') {
                return -1;
            }
            v = v * 10 + (s[i] - '0');
        }
        return v;
    };
    if (n < 10 || s[4] != '-' || s[7] != '-') {
        const QDateTime dt = parseDateTime(QString::fromUtf8(s, n));
        return dt.isValid() ? QVariant(dt) : QVariant(QString::fromUtf8(s, n));
    }
    const QDate date(digits(0, 4), digits(5, 2), digits(8, 2));
    QTime time(0, 0);
    if (n >= 19) {
        const int ms = n >= 23 ? digits(20, 3) : 0;
        time = QTime(digits(11, 2), digits(14, 2), digits(17, 2), ms < 0 ? 0 : ms);
    }
    if (!date.isValid() || !time.isValid()) {
        return QString::fromUtf8(s, n);
    }
    return QDateTime(date, time);
}

bool looksLikeDateTime(const QString& s) {
    static const QRegularExpression re(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\d( \\d\\d:\\d\\d:\\d\\d(\\.\\d{1,3})?)?$"));
    return re.match(s).hasMatch();
}

struct DeclaredType {
    bool known = false;
    FieldType type = FieldType::Text;
    int size = 0;
};

DeclaredType declaredType(const char* decl) {
    DeclaredType t;
    if (!decl) {
        return t;
    }
    const QString d = QString::fromLatin1(decl).toUpper();
    t.known = true;
    if (d.contains(QLatin1String("INT"))) {
        t.type = FieldType::Integer;
    } else if (d.contains(QLatin1String("DATE")) || d.contains(QLatin1String("TIME"))) {
        t.type = FieldType::DateTime;
    } else if (d.contains(QLatin1String("CHAR")) || d.contains(QLatin1String("TEXT")) ||
               d.contains(QLatin1String("CLOB"))) {
        t.type = FieldType::Text;
        static const QRegularExpression sizeRe(QStringLiteral("\\((\\d+)\\)"));
        const auto m = sizeRe.match(d);
        t.size = m.hasMatch() ? m.captured(1).toInt() : 0;
    } else if (d.contains(QLatin1String("REAL")) || d.contains(QLatin1String("FLOA")) ||
               d.contains(QLatin1String("DOUB")) || d.contains(QLatin1String("DEC")) ||
               d.contains(QLatin1String("NUM")) || d.contains(QLatin1String("MONEY"))) {
        t.type = FieldType::Float;
    } else {
        t.known = false;
    }
    return t;
}

// Infers the type of an expression column from the values it returned.
FieldType inferType(const std::vector<std::vector<QVariant>>& rows, size_t col) {
    bool anyReal = false, anyInt = false, anyText = false, allDates = true;
    for (const auto& row : rows) {
        const QVariant& v = row[col];
        if (v.isNull()) {
            continue;
        }
        switch (v.typeId()) {
        case QMetaType::LongLong:
            anyInt = true;
            break;
        case QMetaType::Double:
            anyReal = true;
            break;
        default:
            anyText = true;
            allDates = allDates && looksLikeDateTime(v.toString());
        }
    }
    if (anyText) {
        return (allDates && !anyInt && !anyReal) ? FieldType::DateTime : FieldType::Text;
    }
    if (anyReal) {
        return FieldType::Float;
    }
    return anyInt ? FieldType::Integer : FieldType::Text;
}

std::vector<QVariant> readRow(sqlite3_stmt* st, const std::vector<DeclaredType>& types) {
    const int columns = int(types.size());
    std::vector<QVariant> row;
    row.reserve(columns);
    for (int c = 0; c < columns; ++c) {
        switch (sqlite3_column_type(st, c)) {
        case SQLITE_INTEGER:
            if (types[c].known && types[c].type == FieldType::Float) {
                row.emplace_back(double(sqlite3_column_int64(st, c)));
            } else {
                row.emplace_back(QVariant::fromValue<qint64>(sqlite3_column_int64(st, c)));
            }
            break;
        case SQLITE_FLOAT:
            row.emplace_back(sqlite3_column_double(st, c));
            break;
        case SQLITE_NULL:
            row.emplace_back();
            break;
        default: {
            const char* s = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
            const int n = sqlite3_column_bytes(st, c);
            if (types[c].known && types[c].type == FieldType::DateTime) {
                row.push_back(readDateTime(s, n));
            } else {
                row.emplace_back(QString::fromUtf8(s, n));
            }
        }
        }
    }
    return row;
}

void bindValue(sqlite3_stmt* st, int index, const QVariant& v) {
    if (v.isNull() || !v.isValid()) {
        sqlite3_bind_null(st, index);
        return;
    }
    switch (v.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Short:
        sqlite3_bind_int64(st, index, v.toLongLong());
        return;
    case QMetaType::Double:
    case QMetaType::Float:
        sqlite3_bind_double(st, index, v.toDouble());
        return;
    case QMetaType::QDateTime: {
        const QByteArray t =
            v.toDateTime().toString(QLatin1String(kStorageDateTimeFormat)).toUtf8();
        sqlite3_bind_text(st, index, t.constData(), int(t.size()), SQLITE_TRANSIENT);
        return;
    }
    case QMetaType::QDate: {
        const QByteArray t =
            v.toDate().startOfDay().toString(QLatin1String(kStorageDateTimeFormat)).toUtf8();
        sqlite3_bind_text(st, index, t.constData(), int(t.size()), SQLITE_TRANSIENT);
        return;
    }
    default: {
        const QByteArray t = v.toString().toUtf8();
        sqlite3_bind_text(st, index, t.constData(), int(t.size()), SQLITE_TRANSIENT);
    }
    }
}

} // namespace

// Waits for a lock up to the busy time-out, trying more often the longer it has waited.
// SQLite's own waiter does the opposite (longer and longer sleeps), so a workstation that
// has waited a while keeps losing the lock to newcomers; favouring the longest wait keeps
// the queue close to first come, first served.
int sqliteBusy(void* p, int tries) {
    auto* s = static_cast<SqliteSession*>(p);
    if (tries == 0) {
        s->busyClock_.start();
    }
    const qint64 waited = s->busyClock_.elapsed();
    if (waited >= kBusyTimeoutMs) {
        return 0;
    }
    sqlite3_sleep(int(std::clamp<qint64>(20 - waited / 50, 1, 20)));
    return 1;
}

int sqliteProgress(void* p) {
    auto* s = static_cast<SqliteSession*>(p);
    return s->maxQueryTimeMs_ > 0 && s->statementClock_.isValid() &&
           s->statementClock_.elapsed() > s->maxQueryTimeMs_;
}

SqliteSession::SqliteSession(const QString& folder, const QString& databaseName,
                             const ConnectionSettings& settings)
    : databaseName_(databaseName) {
    const QString file = SqliteBackend::fileOf(folder, databaseName);
    // Opened read-write without the create flag: a missing database is never created.
    const int rc = sqlite3_open_v2(QDir::toNativeSeparators(file).toUtf8().constData(), &db_,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const QString msg = db_ ? nativeMessage(db_) : QStringLiteral("out of memory");
        sqlite3_close_v2(db_);
        db_ = nullptr;
        throw DbError(wordSqliteError(rc, msg), databaseName, rc, sqliteErrorKind(rc));
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_handler(db_, sqliteBusy, this);
    maxQueryTimeMs_ = settings.maxQueryTimeSeconds > 0 ? settings.maxQueryTimeSeconds * 1000 : 0;
    sqlite3_progress_handler(db_, 10000, sqliteProgress, this);
    SqliteBackend::registerFunctions(db_);
    try {
        folder_ = folder;
        useWriteAheadLog(QStringLiteral("main"));
        // A save the user saw succeed survives a power cut: the log is synced at each commit.
        run(QStringLiteral("PRAGMA main.synchronous=FULL"));
        findLockTable();
        createCatalogue(folder);
    } catch (...) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
        throw;
    }
}

SqliteSession::~SqliteSession() {
    try {
        detachCursors();
    } catch (const DbError&) {
        // The session goes regardless; a cursor that failed has let go of its statement.
    }
    for (sqlite3_stmt* st : std::as_const(cache_)) {
        sqlite3_finalize(st);
    }
    if (db_) {
        if (!sqlite3_get_autocommit(db_)) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        }
        sqlite3_close_v2(db_);
    }
}

// Switches a database to write-ahead logging unless it is there already. The switch
// needs the file to itself, which SQLite does not wait for: retry within the busy time.
void SqliteSession::useWriteAheadLog(const QString& schema) {
    const QString pragma = QStringLiteral("PRAGMA \"%1\".journal_mode").arg(schema);
    auto mode = [&](const QString& sql) {
        const ResultSet r = query(sql, {}, QStringLiteral("journal_mode"));
        return r.rows.empty() ? QString() : r.rows[0][0].toString().toLower();
    };
    if (mode(pragma) == QLatin1String("wal")) {
        return;
    }
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        try {
            if (mode(pragma + QStringLiteral("=WAL")) == QLatin1String("wal")) {
                return;
            }
        } catch (const DbError& e) {
            if ((e.nativeCode() & 0xff) != SQLITE_BUSY &&
                (e.nativeCode() & 0xff) != SQLITE_LOCKED) {
                throw;
            }
        }
        if (clock.elapsed() > kBusyTimeoutMs) {
            throw DbError(
                wordSqliteError(SQLITE_BUSY, QStringLiteral("database %1 could not be switched to "
                                                            "write-ahead logging")
                                                 .arg(schema)),
                schema, SQLITE_BUSY);
        }
        QThread::msleep(20);
    }
}

void SqliteSession::findLockTable() {
    const ResultSet r = query(QStringLiteral("SELECT name FROM main.sqlite_schema WHERE type = "
                                             "'table' AND name NOT LIKE 'sqlite%' ORDER BY rowid "
                                             "LIMIT 1"),
                              {});
    lockTable_ = r.rows.empty() ? QString() : r.rows[0][0].toString();
}

// The sibling databases a statement names by three-part names, attached when first needed:
// SQLite attaches at most a handful of databases per connection, a folder may hold more.
void SqliteSession::attachNamed(const QString& statementName, const SqlText& sql) {
    attach(statementName, siblingsNamed(sql));
}

QStringList SqliteSession::siblingsNamed(const SqlText& sql) const {
    static const QRegularExpression threePart(
        QStringLiteral("\\b([A-Za-z_][A-Za-z0-9_]*)\\s*\\.\\s*dbo\\s*\\."),
        QRegularExpression::CaseInsensitiveOption);
    QStringList wanted;
    for (const SqlText::Segment& seg : sql.segments()) {
        if (seg.kind != SqlText::Segment::Code ||
            !seg.text.contains(QLatin1String("dbo"), Qt::CaseInsensitive)) {
            continue;
        }
        auto it = threePart.globalMatch(seg.text);
        while (it.hasNext()) {
            const QString name = it.next().captured(1).toUpper();
            if (name != databaseName_.toUpper() && !wanted.contains(name)) {
                wanted << name;
            }
        }
    }
    return wanted;
}

void SqliteSession::attach(const QString& statementName, const QStringList& wanted) {
    ++useClock_;
    for (const QString& name : std::as_const(wanted)) {
        if (attached_.contains(name)) {
            attached_[name] = useClock_;
            continue;
        }
        const QString file = SqliteBackend::fileOf(folder_, name);
        if (!QFileInfo::exists(file)) {
            throw DbError(QStringLiteral("Database '%1' does not exist. Make sure that the name is "
                                         "entered correctly.")
                              .arg(name),
                          statementName);
        }
        if (inTransaction()) {
            throw DbError(
                QStringLiteral("Database '%1' cannot be reached inside a transaction that "
                               "did not use it before it began.")
                    .arg(name),
                statementName);
        }
        const int limit = sqlite3_limit(db_, SQLITE_LIMIT_ATTACHED, -1);
        while (int(attached_.size()) >= limit) {
            detachLeastUsed(wanted);
        }
        query(QStringLiteral("ATTACH DATABASE ? AS \"%1\"").arg(name),
              {QDir::toNativeSeparators(file)}, statementName);
        attached_.insert(name, useClock_);
        useWriteAheadLog(name);
        run(QStringLiteral("PRAGMA \"%1\".synchronous=FULL").arg(name), statementName);
    }
}

void SqliteSession::detachLeastUsed(const QStringList& keep) {
    QString victim;
    quint64 oldest = ~quint64(0);
    for (auto it = attached_.cbegin(); it != attached_.cend(); ++it) {
        if (!keep.contains(it.key()) && it.value() < oldest) {
            oldest = it.value();
            victim = it.key();
        }
    }
    if (victim.isEmpty()) {
        throw DbError(QStringLiteral("Too many databases in one statement: at most %1 can be "
                                     "reached at once.")
                          .arg(attached_.size()));
    }
    detachCursors();
    // Statements prepared against the database go with it.
    for (auto it = cache_.begin(); it != cache_.end();) {
        sqlite3_finalize(it.value());
        it = cache_.erase(it);
    }
    run(QStringLiteral("DETACH DATABASE \"%1\"").arg(victim));
    attached_.remove(victim);
}

void SqliteSession::createCatalogue(const QString& folder) {
    // The server's catalogue of databases and the object/column catalogue of the current
    // database, as the upgrade and configuration checks read them.
    run(QStringLiteral("CREATE TEMP TABLE SysDatabases(Name VARCHAR(128) COLLATE NOCASE, "
                       "dbid INTEGER)"));
    int id = 1;
    for (const QString& name : SqliteBackend::databasesIn(folder)) {
        query(QStringLiteral("INSERT INTO temp.SysDatabases VALUES(?, ?)"), {name, id++});
    }
    run(QStringLiteral(
        "CREATE TEMP VIEW SysObjects AS SELECT rowid AS Id, name COLLATE NOCASE AS Name, "
        "CASE type WHEN 'table' THEN 'U' ELSE 'V' END AS xtype "
        "FROM main.sqlite_schema WHERE type IN ('table', 'view')"));
    run(QStringLiteral(
        "CREATE TEMP VIEW SysColumns AS SELECT o.rowid AS Id, c.name COLLATE NOCASE AS Name, "
        "c.cid + 1 AS colid FROM main.sqlite_schema o, pragma_table_info(o.name, 'main') c "
        "WHERE o.type IN ('table', 'view')"));
}

bool SqliteSession::hasTable(const QString& table) const {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db_,
                       "SELECT 1 FROM main.sqlite_schema WHERE type='table' AND name=? COLLATE "
                       "NOCASE",
                       -1, &st, nullptr);
    const QByteArray t = table.toUtf8();
    sqlite3_bind_text(st, 1, t.constData(), int(t.size()), SQLITE_TRANSIENT);
    const bool found = sqlite3_step(st) == SQLITE_ROW;
    sqlite3_finalize(st);
    return found;
}

void SqliteSession::fail(const QString& statementName, int code) const {
    const int rc = code ? code : sqlite3_extended_errcode(db_);
    throw DbError(wordSqliteError(rc, nativeMessage(db_)), statementName, rc, sqliteErrorKind(rc));
}

SqlText SqliteSession::adapt(const SqlText& sql) const {
    static const QRegularExpression threePart(
        QStringLiteral("\\b([A-Za-z_][A-Za-z0-9_]*)\\s*\\.\\s*dbo\\s*\\.\\s*"),
        QRegularExpression::CaseInsensitiveOption);
    // Left, Right and IsNull are keywords to SQLite: called unquoted they do not parse.
    static const QRegularExpression keywordCall(QStringLiteral("\\b(left|right|isnull)(\\s*\\()"),
                                                QRegularExpression::CaseInsensitiveOption);
    const QString mainName = databaseName_.toUpper();
    return sql.mapCode([&](const QString& original) {
        QString code = original;
        if (code.contains(QLatin1String("left"), Qt::CaseInsensitive) ||
            code.contains(QLatin1String("right"), Qt::CaseInsensitive) ||
            code.contains(QLatin1String("isnull"), Qt::CaseInsensitive)) {
            code.replace(keywordCall, QStringLiteral("\"\\1\"\\2"));
        }
        if (!code.contains(QLatin1String("dbo"), Qt::CaseInsensitive)) {
            return code;
        }
        QString out;
        qsizetype last = 0;
        auto it = threePart.globalMatch(code);
        while (it.hasNext()) {
            const auto m = it.next();
            out += code.mid(last, m.capturedStart() - last);
            const QString db = m.captured(1).toUpper();
            out += (db == mainName ? QStringLiteral("main") : m.captured(1)) + QLatin1Char('.');
            last = m.capturedEnd();
        }
        out += code.mid(last);
        return out;
    });
}

sqlite3_stmt* SqliteSession::prepare(const QString& statementName, const QString& text,
                                     const char** tail, const QByteArray& utf8, int offset) {
    sqlite3_stmt* st = nullptr;
    const int rc = sqlite3_prepare_v3(db_, utf8.constData() + offset, int(utf8.size()) - offset,
                                      SQLITE_PREPARE_PERSISTENT, &st, tail);
    if (rc != SQLITE_OK) {
        Q_UNUSED(text);
        fail(statementName, rc);
    }
    return st;
}

ResultSet SqliteSession::runPositional(const QString& statementName, const QString& text,
                                       const QList<QVariant>& values) {
    ResultSet result;
    const QByteArray utf8 = text.toUtf8();
    int offset = 0;
    int valueIndex = 0;
    bool single = true;
    // A text may hold several statements; the last one that returns rows gives the result.
    while (offset < utf8.size()) {
        sqlite3_stmt* st = nullptr;
        const char* tail = nullptr;
        const bool cacheable = offset == 0;
        if (cacheable) {
            st = cache_.value(text, nullptr);
        }
        if (!st) {
            st = prepare(statementName, text, &tail, utf8, offset);
            if (!st) {
                break; // only blanks or comments left
            }
            const int consumed = int(tail - utf8.constData());
            single = single && QByteArray(tail).trimmed().isEmpty();
            if (cacheable && single && cache_.size() < kStatementCacheSize) {
                cache_.insert(text, st);
            }
            offset = consumed;
        } else {
            offset = int(utf8.size());
        }
        const bool cached = cache_.value(text, nullptr) == st;
        struct Reset {
            sqlite3_stmt* st;
            bool cached;
            ~Reset() {
                if (cached) {
                    sqlite3_reset(st);
                    sqlite3_clear_bindings(st);
                } else {
                    sqlite3_finalize(st);
                }
            }
        } guard{st, cached};

        const int count = sqlite3_bind_parameter_count(st);
        for (int i = 1; i <= count; ++i) {
            bindValue(st, i, valueIndex < values.size() ? values[valueIndex] : QVariant());
            ++valueIndex;
        }
        const int columns = sqlite3_column_count(st);
        ResultSet part;
        std::vector<DeclaredType> types;
        for (int c = 0; c < columns; ++c) {
            const DeclaredType t = declaredType(sqlite3_column_decltype(st, c));
            types.push_back(t);
            part.columns.push_back({QString::fromUtf8(sqlite3_column_name(st, c)), t.type, t.size});
        }
        statementClock_.start();
        const int changesBefore = sqlite3_total_changes(db_);
        int rc;
        if (!sqlite3_stmt_readonly(st)) {
            detachCursors();
        }
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            part.rows.push_back(readRow(st, types));
        }
        statementClock_.invalidate();
        if (rc != SQLITE_DONE) {
            fail(statementName);
        }
        part.rowsAffected =
            columns == 0 ? sqlite3_total_changes(db_) - changesBefore : qint64(part.rows.size());
        for (int c = 0; c < columns; ++c) {
            if (!types[c].known) {
                part.columns[c].type = inferType(part.rows, c);
                if (part.columns[c].type == FieldType::DateTime) {
                    for (auto& row : part.rows) {
                        if (!row[c].isNull()) {
                            const QByteArray b = row[c].toString().toUtf8();
                            row[c] = readDateTime(b.constData(), int(b.size()));
                        }
                    }
                }
            }
        }
        if (columns > 0 || !result.hasRows()) {
            const qint64 affected = result.rowsAffected + (columns == 0 ? part.rowsAffected : 0);
            if (columns > 0) {
                result = std::move(part);
            }
            result.rowsAffected = affected;
        }
        if (cached) {
            break;
        }
    }
    return result;
}

ResultSet SqliteSession::query(const QString& sql, const QList<QVariant>& values,
                               const QString& statementName) {
    return runPositional(statementName, sql, values);
}

void SqliteSession::run(const QString& sql, const QString& statementName) {
    runPositional(statementName, sql, {});
}

QString SqliteSession::bind(const QString& statementName, const SqlText& sql, const Params& params,
                            QList<QVariant>* values) {
    // Statements run again and again: their rewriting is done once per text.
    auto it = adapted_.constFind(sql.original());
    if (it == adapted_.constEnd()) {
        if (adapted_.size() >= kStatementCacheSize) {
            adapted_.clear();
        }
        Adapted a;
        a.siblings = siblingsNamed(sql);
        a.text = adapt(sql).positional(&a.names);
        it = adapted_.insert(sql.original(), a);
    }
    const Adapted& adapted = it.value();
    attach(statementName, adapted.siblings);
    values->reserve(adapted.names.size());
    for (const QString& n : adapted.names) {
        const Param* p = params.find(n);
        if (!p) {
            throw DbError(QStringLiteral("Parameter '%1' has no value").arg(n), statementName);
        }
        *values << p->value;
    }
    return adapted.text;
}

ResultSet SqliteSession::execute(const QString& statementName, const SqlText& sql,
                                 const Params& params) {
    ResultSet result;
    if (runClientSideIf(*this, statementName, sql, params, &result)) {
        return result;
    }
    QList<QVariant> values;
    const QString text = bind(statementName, sql, params, &values);
    return runPositional(statementName, text, values);
}

void SqliteSession::check(const QString& statementName, const SqlText& sql) {
    if (checkClientSideIf(*this, statementName, sql)) {
        return;
    }
    attach(statementName, siblingsNamed(sql));
    const QByteArray utf8 = adapt(sql).positional(nullptr).toUtf8();
    int offset = 0;
    while (offset < utf8.size()) {
        sqlite3_stmt* st = nullptr;
        const char* tail = nullptr;
        const int rc = sqlite3_prepare_v2(db_, utf8.constData() + offset, int(utf8.size()) - offset,
                                          &st, &tail);
        sqlite3_finalize(st);
        if (rc != SQLITE_OK) {
            fail(statementName, rc);
        }
        if (!st) {
            break; // only blanks or comments left
        }
        offset = int(tail - utf8.constData());
    }
}

// Steps its own statement a slice at a time. The statement is taken out of the session's
// cache while the cursor runs (a second run of the same text gets a fresh one) and put back
// when it ends.
class SqliteCursor : public Cursor {
public:
    SqliteCursor(SqliteSession* session, QString statementName, QString text, sqlite3_stmt* st)
        : session_(session), statementName_(std::move(statementName)), text_(std::move(text)),
          st_(st) {
        const int count = sqlite3_column_count(st);
        for (int c = 0; c < count; ++c) {
            const DeclaredType t = declaredType(sqlite3_column_decltype(st, c));
            types_.push_back(t);
            columns_.push_back({QString::fromUtf8(sqlite3_column_name(st, c)), t.type, t.size});
        }
        session_->cursors_.push_back(this);
        try {
            // The first row fixes the type of expression columns, which have no declared one.
            readAhead(1);
            if (!ahead_.empty()) {
                const std::vector<QVariant>& row = ahead_.front();
                for (size_t c = 0; c < types_.size(); ++c) {
                    if (types_[c].known || row[c].isNull()) {
                        continue;
                    }
                    types_[c].known = true;
                    types_[c].type = inferType({row}, c);
                    columns_[c].type = types_[c].type;
                    if (types_[c].type == FieldType::DateTime) {
                        const QByteArray b = row[c].toString().toUtf8();
                        ahead_.front()[c] = readDateTime(b.constData(), int(b.size()));
                    }
                }
            }
        } catch (...) {
            release();
            throw;
        }
    }
    ~SqliteCursor() override { release(); }

    const std::vector<ColumnInfo>& columns() const override { return columns_; }
    bool atEnd() const override { return !st_ && ahead_.empty(); }

    std::vector<std::vector<QVariant>> fetch(int maxRows) override {
        const size_t wanted = size_t(std::max(maxRows, 0));
        if (ahead_.empty() && st_) {
            // Nothing read ahead: the rows go straight into the slice.
            std::vector<std::vector<QVariant>> slice;
            readInto(slice, wanted);
            return slice;
        }
        readAhead(wanted);
        return takeFront(ahead_, wanted);
    }

    // Reads every remaining row ahead and ends the statement.
    void detach() { readAhead(std::numeric_limits<size_t>::max()); }

private:
    void readAhead(size_t rows) {
        if (!st_ || ahead_.size() >= rows) {
            return;
        }
        readInto(ahead_, rows);
    }

    // Steps the statement until rows holds the given number or the end comes.
    template <typename Rows> void readInto(Rows& rows, size_t wanted) {
        session_->statementClock_.start();
        int rc = SQLITE_ROW;
        while (rows.size() < wanted && (rc = sqlite3_step(st_)) == SQLITE_ROW) {
            rows.push_back(readRow(st_, types_));
        }
        session_->statementClock_.invalidate();
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
            const int code = sqlite3_extended_errcode(session_->db_);
            const QString message = nativeMessage(session_->db_);
            release();
            throw DbError(wordSqliteError(code, message), statementName_, code,
                          sqliteErrorKind(code));
        }
        if (rc == SQLITE_DONE) {
            release(); // at the end: the read snapshot goes at once
        }
    }

    void release() {
        if (!st_) {
            return;
        }
        auto& open = session_->cursors_;
        open.erase(std::remove(open.begin(), open.end(), this), open.end());
        auto& cache = session_->cache_;
        if (!cache.contains(text_) && cache.size() < kStatementCacheSize) {
            sqlite3_reset(st_);
            sqlite3_clear_bindings(st_);
            cache.insert(text_, st_);
        } else {
            sqlite3_finalize(st_);
        }
        st_ = nullptr;
    }

    SqliteSession* session_;
    QString statementName_;
    QString text_;
    sqlite3_stmt* st_;
    std::vector<DeclaredType> types_;
    std::vector<ColumnInfo> columns_;
    std::deque<std::vector<QVariant>> ahead_;
};

std::unique_ptr<Cursor> SqliteSession::openCursor(const QString& statementName, const SqlText& sql,
                                                  const Params& params) {
    QList<QVariant> values;
    QString text;
    // Only a query is read a slice at a time; anything else (a client-side If among them)
    // runs through execute() and hands out its result.
    static const QRegularExpression query(QStringLiteral("^\\s*\\(*\\s*(select|with|values)\\b"),
                                          QRegularExpression::CaseInsensitiveOption);
    if (query.match(sql.original()).hasMatch()) {
        text = bind(statementName, sql, params, &values);
    }
    sqlite3_stmt* st = text.isEmpty() ? nullptr : cache_.take(text);
    if (!st && !text.isEmpty()) {
        const QByteArray utf8 = text.toUtf8();
        const char* tail = nullptr;
        st = prepare(statementName, text, &tail, utf8, 0);
        if (st && !QByteArray(tail).trimmed().isEmpty()) {
            sqlite3_finalize(st); // several statements: run as a whole below
            st = nullptr;
        }
    }
    if (!st || sqlite3_column_count(st) == 0 || !sqlite3_stmt_readonly(st)) {
        if (st) {
            sqlite3_finalize(st);
        }
        return Session::openCursor(statementName, sql, params);
    }
    for (int i = 1; i <= sqlite3_bind_parameter_count(st); ++i) {
        bindValue(st, i, i - 1 < values.size() ? values[i - 1] : QVariant());
    }
    return std::make_unique<SqliteCursor>(this, statementName, text, st);
}

void SqliteSession::detachCursors() {
    // Each detach takes its cursor off the list.
    while (!cursors_.empty()) {
        cursors_.back()->detach();
    }
}

void SqliteSession::callProcedure(const QString& name, Params& params) {
    SqliteProcedures::call(*this, name, params);
}

void SqliteSession::begin() {
    detachCursors();
    if (!sqlite3_get_autocommit(db_)) {
        throw DbError(QStringLiteral("A transaction is already active on this connection."));
    }
    if (lockTable_.isEmpty()) {
        run(QStringLiteral("BEGIN IMMEDIATE"), QStringLiteral("BEGIN TRANSACTION"));
        return;
    }
    // The write lock of this database only, taken before anything is read: BEGIN IMMEDIATE
    // would lock every attached database too, and a write after a read in a deferred
    // transaction fails at once when another connection committed in between.
    run(QStringLiteral("BEGIN"), QStringLiteral("BEGIN TRANSACTION"));
    try {
        run(QStringLiteral("DELETE FROM main.\"%1\" WHERE 0").arg(lockTable_),
            QStringLiteral("BEGIN TRANSACTION"));
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void SqliteSession::commit() {
    detachCursors();
    run(QStringLiteral("COMMIT"), QStringLiteral("COMMIT"));
}

void SqliteSession::rollback() {
    detachCursors();
    if (!sqlite3_get_autocommit(db_)) {
        run(QStringLiteral("ROLLBACK"), QStringLiteral("ROLLBACK"));
    }
}

bool SqliteSession::inTransaction() const {
    return !sqlite3_get_autocommit(db_);
}

void SqliteSession::savepoint(const QString& name) {
    detachCursors();
    run(QStringLiteral("SAVEPOINT \"%1\"").arg(name));
}

void SqliteSession::releaseSavepoint(const QString& name) {
    detachCursors();
    run(QStringLiteral("RELEASE SAVEPOINT \"%1\"").arg(name));
}

void SqliteSession::rollbackToSavepoint(const QString& name) {
    detachCursors();
    run(QStringLiteral("ROLLBACK TO SAVEPOINT \"%1\"").arg(name));
    run(QStringLiteral("RELEASE SAVEPOINT \"%1\"").arg(name));
}

} // namespace db
