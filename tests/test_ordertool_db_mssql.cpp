// The T-SQL script of ordertool-db: the same day gives the same script, and it declares what
// the description of the servers holds and what the program's statements and procedure calls
// name. Whether SQL Server runs it is checked by scripts/test-mssql.sh on a real server.
#include "data/Dm_Config.h"
#include "data/U_DM.h"
#include "ordertool-db/mssql_script.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <map>
#include <set>
#include <sstream>

namespace {

using namespace std::chrono;
using Tables = std::map<std::string, std::set<std::string>>; // "DB.TABLE" -> columns

std::string upper(std::string s) {
    for (char& c : s) {
        c = char(std::toupper(static_cast<unsigned char>(c)));
    }
    return s;
}

std::string script(dbtool::Day day, bool force = false) {
    std::ostringstream out;
    dbtool::writeMssqlScript(out, day, force);
    return out.str();
}

QCoreApplication& app() {
    static int argc = 1;
    static char name[] = "test_ordertool_db_mssql";
    static char* argv[] = {name, nullptr};
    static QCoreApplication a(argc, argv);
    return a;
}

const dbtool::Day kDay = sys_days{year{2026} / March / 1};

// Tables and columns of CREATE TABLE statements, in the database given or the one USE chose.
void collectTables(const QString& ddl, const std::string& database, Tables& out) {
    static const QRegularExpression statement(
        QStringLiteral("USE \\[(\\w+)\\]|CREATE TABLE (\\w+) \\((.*?)\\n\\);"),
        QRegularExpression::DotMatchesEverythingOption);
    std::string current = database;
    auto it = statement.globalMatch(ddl);
    while (it.hasNext()) {
        const auto m = it.next();
        if (m.hasCaptured(1) && !m.captured(1).isEmpty()) {
            current = upper(m.captured(1).toStdString());
            continue;
        }
        auto& columns = out[current + "." + upper(m.captured(2).toStdString())];
        for (const QString& line : m.captured(3).split(QLatin1Char('\n'))) {
            const QString first = line.trimmed().section(QLatin1Char(' '), 0, 0);
            if (!first.isEmpty() && first.compare(QLatin1String("PRIMARY"), Qt::CaseInsensitive)) {
                columns.insert(upper(first.toStdString()));
            }
        }
    }
}

TEST(MssqlScript, TheSameDayGivesTheSameScriptAndTheToolWritesIt) {
    app();
    const std::string first = script(kDay);
    EXPECT_EQ(first, script(kDay));
    EXPECT_NE(first, script(kDay + days{366})) << "the demo documents are of the day's year";
    EXPECT_NE(first.find("SET NOEXEC ON"), std::string::npos) << "stops on a server in use";
    const std::string forced = script(kDay, true);
    EXPECT_NE(forced.find("DROP DATABASE [NVKDC]"), std::string::npos);
    EXPECT_EQ(first.find("DROP DATABASE"), std::string::npos);

    QProcess tool;
    tool.start(QStringLiteral(ORDERTOOL_DB_TOOL),
               {"script", "--kind", "mssql", "--demo", "--force"});
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    const QByteArray written = tool.readAllStandardOutput();
    EXPECT_TRUE(written.contains("CREATE PROCEDURE dbo.NewDocumentNo"));
    for (const QStringList& bad : {QStringList{"script", "--kind", "pgsql", "--demo"},
                                   QStringList{"script", "--kind", "mssql"},
                                   QStringList{"script", "--demo", "--kind", "mssql", "--x"}}) {
        QProcess refused;
        refused.start(QStringLiteral(ORDERTOOL_DB_TOOL), bad);
        ASSERT_TRUE(refused.waitForFinished(60000));
        EXPECT_EQ(refused.exitCode(), 1) << bad.join(' ').toStdString();
        EXPECT_TRUE(refused.readAllStandardOutput().isEmpty());
    }
}

TEST(MssqlScript, DeclaresEveryTableAndColumnOfTheDescription) {
    Tables described;
    for (const dbtool::DatabaseSchema& db : dbtool::sqliteSchema()) {
        if (std::string(db.name) == dbtool::kMasterDb) {
            continue; // the server's own catalogue
        }
        for (const char* piece : db.tables) {
            collectTables(QString::fromUtf8(piece), db.name, described);
        }
    }
    Tables declared;
    collectTables(QString::fromStdString(script(kDay)), "", declared);
    ASSERT_GT(described.size(), 20u);
    for (const auto& [table, columns] : described) {
        ASSERT_TRUE(declared.count(table)) << table << " is not created";
        EXPECT_EQ(declared[table], columns) << table;
    }
    EXPECT_EQ(declared.size(), described.size());
}

// Three-part names in the program's statements reach a table the script makes there.
TEST(MssqlScript, EveryThreePartNameOfTheStatementsReachesATable) {
    Tables declared;
    collectTables(QString::fromStdString(script(kDay)), "", declared);
    static const QRegularExpression threePart(
        QStringLiteral("\\b([A-Za-z_]\\w*)\\s*\\.\\s*dbo\\s*\\.\\s*\\[?([A-Za-z_]\\w*)"),
        QRegularExpression::CaseInsensitiveOption);
    int names = 0;
    QDirIterator files(QStringLiteral(ORDERTOOL_SOURCE_DIR "/src"), {"*.cpp"}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile f(files.next());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        auto it = threePart.globalMatch(text);
        while (it.hasNext()) {
            const auto m = it.next();
            const std::string table =
                upper(m.captured(1).toStdString()) + "." + upper(m.captured(2).toStdString());
            ++names;
            EXPECT_TRUE(declared.count(table))
                << table << " named in " << f.fileName().toStdString();
        }
    }
    EXPECT_GT(names, 10);
}

// The procedures take their parameters in the order the data modules bind them.
TEST(MssqlScript, ProceduresTakeTheParametersTheDataModulesPass) {
    app();
    TDM dm;
    TDMConfig config;
    const QString text = QString::fromStdString(script(kDay));
    const struct {
        db::StoredProc* proc;
        const char* database;
    } cases[] = {{&config.SpMenuCaption, "QRV_CONFIG_NVK"},
                 {&config.SpErrorLog, "QRV_CONFIG_NVK"},
                 {&dm.SpNextDocNo, "NVKDC"},
                 {&dm.SpServerTime, "NVKDC"}};
    for (const auto& c : cases) {
        const QString proc = c.proc->procedureName();
        SCOPED_TRACE(proc.toStdString());
        // The database of the procedure is the one the last USE before it chose.
        const QRegularExpression header(
            QStringLiteral("CREATE PROCEDURE dbo\\.%1\\b(.*?)\\nAS\\n").arg(proc),
            QRegularExpression::DotMatchesEverythingOption);
        const auto m = header.match(text);
        ASSERT_TRUE(m.hasMatch());
        const qsizetype use = text.lastIndexOf(QLatin1String("USE ["), m.capturedStart());
        ASSERT_GE(use, 0);
        EXPECT_EQ(text.mid(use + 5, text.indexOf(QLatin1Char(']'), use) - use - 5),
                  QLatin1String(c.database));
        QStringList declared;
        auto names = QRegularExpression(QStringLiteral("@(\\w+)")).globalMatch(m.captured(1));
        while (names.hasNext()) {
            declared << names.next().captured(1).toUpper();
        }
        QStringList passed;
        for (const db::Param& p : c.proc->params().items()) {
            if (p.direction != db::ParamDirection::Result) {
                passed << p.name.toUpper();
            }
        }
        EXPECT_EQ(declared, passed);
    }
}

} // namespace
