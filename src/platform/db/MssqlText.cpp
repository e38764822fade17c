#include "platform/db/MssqlText.h"

#include <QProcessEnvironment>
#include <QRegularExpression>

namespace db::mssql {

namespace {

const QString kNoCount = QStringLiteral("SET NOCOUNT ON;\n");

// A value of a connection string, braced when it holds what would end or break it.
QString odbcValue(const QString& value) {
    static const QRegularExpression special(QStringLiteral("[;{}=]|^\\s|\\s$"));
    if (!special.match(value).hasMatch()) {
        return value;
    }
    QString v = value;
    v.replace(QLatin1Char('}'), QLatin1String("}}"));
    return QLatin1Char('{') + v + QLatin1Char('}');
}

// A statement that ran past its time: ODBC's SQLSTATE, or FreeTDS's own number.
bool isTimeout(const QString& sqlState, int nativeCode) {
    return sqlState == QLatin1String("HYT00") || sqlState == QLatin1String("HYT01") ||
           nativeCode == 20003;
}

} // namespace

bool isBatch(const SqlText& sql) {
    static const QRegularExpression declare(QStringLiteral("\\bdeclare\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    bool separated = false; // a ';' seen; a batch when anything but blanks follows it
    for (const SqlText::Segment& s : sql.segments()) {
        if (s.kind == SqlText::Segment::Comment) {
            continue;
        }
        if (s.kind != SqlText::Segment::Code) {
            if (separated) {
                return true;
            }
            continue;
        }
        if (declare.match(s.text).hasMatch()) {
            return true;
        }
        for (const QChar c : s.text) {
            if (c == QLatin1Char(';')) {
                separated = true;
            } else if (separated && !c.isSpace()) {
                return true;
            }
        }
    }
    return false;
}

Positional positional(const SqlText& sql) {
    // Comments go: the driver would count a '?' in one as a parameter.
    const SqlText plain = sql.mapSegments([](const SqlText::Segment& s) {
        return s.kind == SqlText::Segment::Comment ? QStringLiteral(" ") : s.text;
    });
    Positional p;
    p.text = plain.positional(&p.names);
    p.batch = isBatch(sql);
    if (p.batch) {
        p.text.prepend(kNoCount);
    }
    return p;
}

QString procedureCall(const QString& name, const Params& params) {
    static const QRegularExpression plain(
        QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*(\\.[A-Za-z_][A-Za-z0-9_]*){0,2}$"));
    const QString n = name.trimmed();
    if (!plain.match(n).hasMatch()) {
        return {};
    }
    bool result = false;
    QStringList marks;
    for (const Param& p : params.items()) {
        if (p.direction == ParamDirection::Result) {
            result = true;
        } else {
            marks << QStringLiteral("?");
        }
    }
    return QStringLiteral("{%1call %2(%3)}")
        .arg(result ? QStringLiteral("? = ") : QString(), n, marks.join(QStringLiteral(", ")));
}

std::optional<ServerAddress> ServerAddress::parse(const QString& serverName) {
    static const QRegularExpression form(
        QStringLiteral("^([A-Za-z0-9_.\\-]+)(?:\\\\([A-Za-z0-9_$#\\-]+))?(?:,([0-9]{1,5}))?$"));
    const QRegularExpressionMatch m = form.match(serverName.trimmed());
    if (!m.hasMatch()) {
        return std::nullopt;
    }
    ServerAddress a;
    a.host = m.captured(1);
    a.instance = m.captured(2);
    if (m.hasCaptured(3) && !m.captured(3).isEmpty()) {
        a.port = m.captured(3).toInt();
        if (a.port < 1 || a.port > 65535) {
            return std::nullopt;
        }
    }
    return a;
}

bool isServerName(const QString& serverName) {
    // A kind prefix is a word and a colon: "sqlite:", "pgsql:", or one not known at all.
    static const QRegularExpression kind(QStringLiteral("^[A-Za-z][A-Za-z0-9+.\\-]*:"));
    const QString name = serverName.trimmed();
    return !name.isEmpty() && !kind.match(name).hasMatch();
}

QString driverName(const ConnectionSettings& settings) {
    const QString fromEnv =
        QProcessEnvironment::systemEnvironment().value(QStringLiteral("ORDERTOOL_MSSQL_DRIVER"));
    if (!fromEnv.trimmed().isEmpty()) {
        return fromEnv.trimmed();
    }
    const QString fromParams = settings.value(QStringLiteral("ODBC DRIVER")).trimmed();
    if (!fromParams.isEmpty()) {
        return fromParams;
    }
#ifdef Q_OS_WIN
    return QStringLiteral("SQL Server");
#else
    return QStringLiteral("FreeTDS");
#endif
}

bool isFreeTds(const QString& driver) {
    return driver.contains(QLatin1String("freetds"), Qt::CaseInsensitive) ||
           driver.contains(QLatin1String("tdsodbc"), Qt::CaseInsensitive);
}

QString connectionString(const ConnectionSettings& settings) {
    const std::optional<ServerAddress> address = ServerAddress::parse(settings.serverName);
    if (!address) {
        throw DbError(QStringLiteral("SQL Server does not exist or access denied. (server name "
                                     "'%1' is not host, host\\instance or host,port)")
                          .arg(settings.serverName),
                      QString(), 0, DbErrorKind::Connection);
    }
    const QString driver = driverName(settings);
    const bool freeTds = isFreeTds(driver);
    QString server = address->host;
    if (!address->instance.isEmpty()) {
        server += QLatin1Char('\\') + address->instance;
    }
    QStringList parts;
    // A driver name is braced always, as drivers' own documentation writes it.
    parts << QStringLiteral("DRIVER={%1}")
                 .arg(QString(driver).replace(QLatin1Char('}'), QLatin1String("}}")));
    if (address->port > 0 && freeTds) {
        parts << QStringLiteral("SERVER=") + odbcValue(server)
              << QStringLiteral("PORT=%1").arg(address->port);
    } else if (address->port > 0) {
        parts << QStringLiteral("SERVER=") +
                     odbcValue(server + QStringLiteral(",%1").arg(address->port));
    } else {
        parts << QStringLiteral("SERVER=") + odbcValue(server);
    }
    const QString database = settings.databaseName.trimmed();
    if (!database.isEmpty()) {
        parts << QStringLiteral("DATABASE=") + odbcValue(database);
    }
    if (!settings.userName.isEmpty()) {
        parts << QStringLiteral("UID=") + odbcValue(settings.userName)
              << QStringLiteral("PWD=") + odbcValue(settings.password);
    }
    if (freeTds) {
        // Qt's driver leaves its Unicode path off for FreeTDS: text goes as UTF-8 bytes.
        parts << QStringLiteral("TDS_Version=7.4") << QStringLiteral("ClientCharset=UTF-8");
    }
    parts << QStringLiteral("APP=ordertool");
    return parts.join(QLatin1Char(';'));
}

DbErrorKind errorKind(const QString& sqlState, int nativeCode) {
    switch (nativeCode) {
    case 2601: // unique index
    case 2627: // unique or primary key constraint
        return DbErrorKind::DuplicateKey;
    case 515:
        return DbErrorKind::NullNotAllowed;
    case 547:
        return DbErrorKind::ReferenceConflict;
    case 1222: // lock request time out
    case 1205: // chosen as deadlock victim
        return DbErrorKind::LockTimeout;
    case 605:
    case 823:
    case 824:
    case 825:
        return DbErrorKind::Damaged;
    default:
        break;
    }
    if (isTimeout(sqlState, nativeCode)) {
        return DbErrorKind::Other; // the statement is cancelled, the connection stays
    }
    // FreeTDS numbers its own (network) failures from 20000.
    if (sqlState.startsWith(QLatin1String("08")) || (nativeCode >= 20000 && nativeCode < 21000)) {
        return DbErrorKind::Connection;
    }
    return DbErrorKind::Other;
}

QString wordError(const QString& sqlState, int nativeCode, const QString& nativeText) {
    if (errorKind(sqlState, nativeCode) == DbErrorKind::Connection) {
        return QStringLiteral("Possible network error. (%1)").arg(nativeText);
    }
    // FreeTDS reports a statement's time-out without a number.
    if (isTimeout(sqlState, nativeCode) ||
        (nativeCode == 0 && nativeText.contains(QLatin1String("Timeout expired")))) {
        return QStringLiteral("SQL Server connection timed out. (%1)").arg(nativeText);
    }
    return nativeText;
}

} // namespace db::mssql
