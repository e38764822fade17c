#include "platform/db/Backend.h"

#include "platform/db/DbError.h"
#include "platform/db/MssqlBackend.h"
#include "platform/db/PgsqlBackend.h"
#include "platform/db/SqliteBackend.h"

#include <algorithm>
#include <iterator>

namespace db {

namespace {

std::vector<std::unique_ptr<Backend>>& backends() {
    static std::vector<std::unique_ptr<Backend>> list = [] {
        std::vector<std::unique_ptr<Backend>> l;
        l.push_back(std::make_unique<SqliteBackend>());
        l.push_back(std::make_unique<PgsqlBackend>());
        // Last: it takes every name without a kind prefix.
        l.push_back(std::make_unique<MssqlBackend>());
        return l;
    }();
    return list;
}

} // namespace

ConnectionSettings ConnectionSettings::fromParams(const QStringList& params) {
    ConnectionSettings s;
    s.raw = params;
    s.databaseName = s.value(QStringLiteral("DATABASE NAME"));
    s.serverName = s.value(QStringLiteral("SERVER NAME"));
    s.userName = s.value(QStringLiteral("USER NAME"));
    s.password = s.value(QStringLiteral("PASSWORD"));
    s.maxQueryTimeSeconds = s.value(QStringLiteral("MAX QUERY TIME")).toInt();
    return s;
}

QString ConnectionSettings::value(const QString& key) const {
    // The last line of a key wins, as when a list is filled in several steps.
    QString result;
    for (const QString& line : raw) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0 && line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0) {
            result = line.mid(eq + 1);
        }
    }
    return result;
}

void Session::check(const QString& statementName, const SqlText& sql) {
    Q_UNUSED(sql);
    throw DbError(QStringLiteral("This server cannot check a statement without running it."),
                  statementName);
}

Cursor::Rows Cursor::takeFront(std::deque<std::vector<QVariant>>& ahead, size_t n) {
    n = std::min(n, ahead.size());
    Rows slice;
    slice.reserve(n);
    std::move(ahead.begin(), ahead.begin() + qsizetype(n), std::back_inserter(slice));
    ahead.erase(ahead.begin(), ahead.begin() + qsizetype(n));
    return slice;
}

std::vector<std::vector<QVariant>> BufferedCursor::fetch(int maxRows) {
    std::vector<std::vector<QVariant>> slice;
    if (atEnd()) {
        return slice;
    }
    const size_t end = std::min(result_.rows.size(), next_ + size_t(std::max(maxRows, 0)));
    slice.reserve(end - next_);
    for (; next_ < end; ++next_) {
        slice.push_back(std::move(result_.rows[next_]));
    }
    if (next_ >= result_.rows.size()) {
        result_.rows = {}; // read: the memory goes back at once
        next_ = 0;
    }
    return slice;
}

Backend& Backend::forServer(const QString& serverName) {
    for (auto& b : backends()) {
        if (b->handles(serverName)) {
            return *b;
        }
    }
    throw DbError(QStringLiteral("SQL Server does not exist or access denied. (no backend serves "
                                 "the server name '%1')")
                      .arg(serverName));
}

void Backend::registerBackend(std::unique_ptr<Backend> backend) {
    backends().push_back(std::move(backend));
}

} // namespace db
