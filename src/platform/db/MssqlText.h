#pragma once

#include "platform/db/Backend.h"
#include "platform/db/DbError.h"
#include "platform/db/Params.h"
#include "platform/db/SqlText.h"

#include <QString>
#include <QStringList>
#include <optional>

// What the SQL Server backend sends, worked out without a driver: statement texts with
// positional parameters, procedure calls, connection strings and the wording of failures.
namespace db::mssql {

// A statement as the driver takes it: '?' for each parameter occurrence, in order.
struct Positional {
    QString text;
    QStringList names; // the parameter name of each '?'
    bool batch = false;
};

// The text as written with its named parameters made positional; a text of several
// statements (variables declared, or statements separated by ';') becomes one batch that
// starts with SET NOCOUNT ON, so that its row counts do not come back as results.
Positional positional(const SqlText& sql);

// True when the text holds more than one statement.
bool isBatch(const SqlText& sql);

// The ODBC call escape for a procedure: "{? = call Name(?, ?)}" when params hold a result,
// one '?' per other parameter in their order. Empty when the name is not a plain name.
QString procedureCall(const QString& name, const Params& params);

// Where a server is, as the server name gives it: "host", "host\instance" or "host,port".
struct ServerAddress {
    QString host;
    QString instance;
    int port = 0; // 0: the driver's default (1433, or the instance's)

    static std::optional<ServerAddress> parse(const QString& serverName);
};

// True for a server name with no kind prefix ("sqlite:...", "pgsql://..."): such a name is a
// SQL Server's.
bool isServerName(const QString& serverName);

// The ODBC driver used: ORDERTOOL_MSSQL_DRIVER, then the connection's "ODBC DRIVER=" line,
// then FreeTDS ("SQL Server" on Windows).
QString driverName(const ConnectionSettings& settings);
bool isFreeTds(const QString& driver);

// The connection string for a connection's parameter list: driver, server, database, login.
// FreeTDS gets TDS_Version=7.4 and ClientCharset=UTF-8 (Thai text). Throws DbError when the
// server name cannot be one of a SQL Server.
QString connectionString(const ConnectionSettings& settings);

// Seconds the driver waits for a login before giving up.
inline constexpr int kLoginTimeoutSeconds = 15;

// Failures: the server's own text is kept; a failure of the connection itself (SQLSTATE
// class 08, a login time-out) gets the explanation the error dialog recognises in front.
DbErrorKind errorKind(const QString& sqlState, int nativeCode);
QString wordError(const QString& sqlState, int nativeCode, const QString& nativeText);

} // namespace db::mssql
