#include "support/MssqlTestServer.h"
#include "support/ToolRun.h"

#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/MssqlSession.h"
#include "platform/db/Value.h"

#include <QProcess>
#include <QRegularExpression>

namespace testing_support {

MssqlTestServer& MssqlTestServer::shared() {
    static MssqlTestServer server;
    return server;
}

MssqlTestServer::MssqlTestServer()
    : serverName_(qEnvironmentVariable("ORDERTOOL_TEST_MSSQL").trimmed()),
      user_(qEnvironmentVariable("ORDERTOOL_TEST_MSSQL_USER")),
      password_(qEnvironmentVariable("ORDERTOOL_TEST_MSSQL_PASSWORD")) {
    if (serverName_.isEmpty()) {
        why_ = QStringLiteral("ORDERTOOL_TEST_MSSQL names no SQL Server (scripts/test-mssql.sh "
                              "SERVER runs these tests against one)");
    }
}

QStringList MssqlTestServer::params(const QString& database) const {
    return {QStringLiteral("SERVER NAME=") + serverName_,
            QStringLiteral("DATABASE NAME=") + database, QStringLiteral("USER NAME=") + user_,
            QStringLiteral("PASSWORD=") + password_};
}

std::unique_ptr<db::Connection> MssqlTestServer::connect(const QString& connectionName,
                                                         const QString& database) const {
    auto c = std::make_unique<db::Connection>(connectionName);
    c->params() << params(database);
    return c;
}

std::unique_ptr<db::MssqlSession> MssqlTestServer::session(const QString& database) const {
    return std::make_unique<db::MssqlSession>(db::ConnectionSettings::fromParams(params(database)));
}

void MssqlTestServer::resetDatabases(const QStringList& databases) const {
    auto master = session(QStringLiteral("master"));
    for (const QString& name : databases) {
        // Names of the system's databases, written as identifiers.
        const QString id = QLatin1Char('[') + name + QLatin1Char(']');
        master->run(QStringLiteral("IF DB_ID(N'%1') IS NOT NULL BEGIN ALTER DATABASE %2 SET "
                                   "SINGLE_USER WITH ROLLBACK IMMEDIATE; DROP DATABASE %2; END")
                        .arg(name, id));
        master->run(QStringLiteral("CREATE DATABASE %1 COLLATE Thai_CI_AS").arg(id));
        master->run(QStringLiteral("ALTER DATABASE %1 SET READ_COMMITTED_SNAPSHOT ON").arg(id));
    }
}

bool MssqlTestServer::loadDemo(QString* why) const {
    if (!available()) {
        *why = why_;
        return false;
    }
    const ToolRun tool =
        runTool({QStringLiteral("script"), QStringLiteral("--kind"), QStringLiteral("mssql"),
                 QStringLiteral("--demo"), QStringLiteral("--force")});
    if (!tool.ok()) {
        *why = tool.err;
        return false;
    }
    try {
        runScript(tool.out);
        return true;
    } catch (const db::DbError& e) {
        *why = QStringLiteral("the demo script failed: ") + e.message();
        return false;
    }
}

void MssqlTestServer::runScript(const QString& script) const {
    static const QRegularExpression go(QStringLiteral("^\\s*GO\\s*$"),
                                       QRegularExpression::CaseInsensitiveOption);
    auto master = session(QStringLiteral("master"));
    QStringList batch;
    auto flush = [&] {
        const QString text = batch.join(QLatin1Char('\n'));
        batch.clear();
        if (!text.trimmed().isEmpty()) {
            master->run(text, QStringLiteral("script"));
        }
    };
    for (const QString& line : script.split(QLatin1Char('\n'))) {
        if (go.match(line).hasMatch()) {
            flush();
        } else {
            batch << line;
        }
    }
    flush();
}

void MssqlTestServer::exec(const QString& database, const QString& sql) const {
    session(database)->run(sql);
}

std::vector<std::string> MssqlTestServer::rows(const QString& database, const QString& sql) const {
    const db::ResultSet r = session(database)->run(sql);
    std::vector<std::string> out;
    for (const auto& row : r.rows) {
        QStringList cells;
        for (const QVariant& v : row) {
            cells << (v.isNull() ? QStringLiteral("NULL") : db::variantToText(v));
        }
        out.push_back(cells.join(QLatin1Char('|')).toStdString());
    }
    return out;
}

} // namespace testing_support
