#include "platform/db/PgsqlBackend.h"

#include "platform/db/DbError.h"
#include "platform/db/PgsqlSession.h"

#include <QRegularExpression>
#include <QUrl>

namespace db {

namespace {

// Constant-initialised: a connection may be opened before dynamic initialisers have run.
constexpr QLatin1String kScheme("pgsql://");

QString percentDecoded(const QString& s) {
    return QUrl::fromPercentEncoding(s.toUtf8());
}

} // namespace

std::optional<PgsqlAddress> PgsqlAddress::parse(const QString& serverName) {
    if (!serverName.startsWith(kScheme, Qt::CaseInsensitive)) {
        return std::nullopt;
    }
    const QString rest = serverName.mid(kScheme.size()).trimmed();
    // The user part ends at the last '@' before the path: a password may hold '@' unencoded.
    const qsizetype at = rest.lastIndexOf(QLatin1Char('@'));
    const QString userInfo = at >= 0 ? rest.left(at) : QString();
    const QString hostAndPath = at >= 0 ? rest.mid(at + 1) : rest;
    const qsizetype slash = hostAndPath.indexOf(QLatin1Char('/'));
    if (slash < 0) {
        return std::nullopt;
    }
    PgsqlAddress a;
    if (at >= 0) {
        const qsizetype colon = userInfo.indexOf(QLatin1Char(':'));
        a.user = percentDecoded(colon >= 0 ? userInfo.left(colon) : userInfo);
        a.password = colon >= 0 ? percentDecoded(userInfo.mid(colon + 1)) : QString();
        if (a.user.isEmpty()) {
            return std::nullopt;
        }
    }
    QString hostPort = hostAndPath.left(slash);
    QString portText;
    if (hostPort.startsWith(QLatin1Char('['))) {
        const qsizetype close = hostPort.indexOf(QLatin1Char(']'));
        if (close < 0) {
            return std::nullopt;
        }
        a.host = hostPort.mid(1, close - 1);
        const QString after = hostPort.mid(close + 1);
        if (!after.isEmpty()) {
            if (!after.startsWith(QLatin1Char(':'))) {
                return std::nullopt;
            }
            portText = after.mid(1);
        }
    } else {
        const qsizetype colon = hostPort.lastIndexOf(QLatin1Char(':'));
        a.host = colon >= 0 ? hostPort.left(colon) : hostPort;
        if (colon >= 0) {
            portText = hostPort.mid(colon + 1);
        }
    }
    if (a.host.isEmpty()) {
        return std::nullopt;
    }
    if (!portText.isNull()) {
        static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
        if (!digits.match(portText).hasMatch()) {
            return std::nullopt;
        }
        a.port = portText.toInt();
        if (a.port < 1 || a.port > 65535) {
            return std::nullopt;
        }
    }
    a.database = percentDecoded(hostAndPath.mid(slash + 1));
    if (a.database.isEmpty() || a.database.contains(QLatin1Char('/'))) {
        return std::nullopt;
    }
    return a;
}

bool PgsqlBackend::handles(const QString& serverName) const {
    return serverName.startsWith(kScheme, Qt::CaseInsensitive);
}

QString PgsqlBackend::schemaOf(const QString& databaseName) {
    // Schema names are written into statements unquoted, so only plain names qualify.
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]{0,62}$"));
    const QString name = databaseName.trimmed();
    return plain.match(name).hasMatch() ? name.toLower() : QString();
}

std::unique_ptr<Session> PgsqlBackend::open(const ConnectionSettings& settings) {
    std::optional<PgsqlAddress> address = PgsqlAddress::parse(settings.serverName);
    if (!address) {
        throw DbError(QStringLiteral("SQL Server does not exist or access denied. (server name "
                                     "'%1' is not pgsql://[user[:password]@]host[:port]/database)")
                          .arg(settings.serverName));
    }
    // A user given in the connection's parameters stands in for one missing from the name.
    if (address->user.isEmpty()) {
        address->user = settings.userName;
        address->password = settings.password;
    }
    return std::make_unique<PgsqlSession>(*address, settings);
}

DbErrorKind pgsqlErrorKind(const QString& sqlState) {
    if (sqlState == QLatin1String("23505")) {
        return DbErrorKind::DuplicateKey;
    }
    if (sqlState == QLatin1String("23502")) {
        return DbErrorKind::NullNotAllowed;
    }
    if (sqlState == QLatin1String("23503")) {
        return DbErrorKind::ReferenceConflict;
    }
    if (sqlState == QLatin1String("55P03") || sqlState == QLatin1String("40P01")) {
        return DbErrorKind::LockTimeout;
    }
    if (sqlState == QLatin1String("XX001") || sqlState == QLatin1String("XX002")) {
        return DbErrorKind::Damaged; // data or index corrupted
    }
    if (sqlState.isEmpty() || sqlState.startsWith(QLatin1String("08")) ||
        sqlState.startsWith(QLatin1String("57P"))) {
        return DbErrorKind::Connection;
    }
    return DbErrorKind::Other;
}

QString wordPgsqlError(const QString& sqlState, const QString& msg) {
    if (sqlState == QLatin1String("23505")) {
        return QStringLiteral("Cannot insert duplicate key row. (%1)").arg(msg);
    }
    if (sqlState == QLatin1String("23502")) {
        // null value in column "price" of relation "priced" violates not-null constraint
        static const QRegularExpression re(
            QStringLiteral("column \"([^\"]+)\"(?: of relation \"([^\"]+)\")?"));
        const QRegularExpressionMatch m = re.match(msg);
        return QStringLiteral("Cannot insert the value NULL into column '%1', table '%2'; column "
                              "does not allow nulls. (%3)")
            .arg(m.captured(1), m.captured(2), msg);
    }
    if (sqlState == QLatin1String("23503") &&
        msg.startsWith(QLatin1String("update or delete"), Qt::CaseInsensitive)) {
        return QStringLiteral("The DELETE statement conflicted with COLUMN REFERENCE constraint. "
                              "(%1)")
            .arg(msg);
    }
    if (sqlState == QLatin1String("57014")) {
        return QStringLiteral("SQL Server connection timed out. (%1)").arg(msg);
    }
    if (sqlState == QLatin1String("55P03") || sqlState == QLatin1String("40P01")) {
        return QStringLiteral("Lock request time out period exceeded. (%1)").arg(msg);
    }
    if (sqlState == QLatin1String("3D000")) {
        return QStringLiteral("Cannot open database requested by the login. The login failed. "
                              "(%1)")
            .arg(msg);
    }
    if (sqlState == QLatin1String("28P01") || sqlState == QLatin1String("28000")) {
        return QStringLiteral("Login failed. (%1)").arg(msg);
    }
    // Class 08 is the connection's own failure; 57P01..57P03 the server going away.
    if (sqlState.isEmpty() || sqlState.startsWith(QLatin1String("08")) ||
        sqlState.startsWith(QLatin1String("57P"))) {
        return QStringLiteral("Possible network error. (%1)").arg(msg);
    }
    return msg;
}

} // namespace db
