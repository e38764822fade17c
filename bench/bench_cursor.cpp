// The session's forward cursor against reading a whole result, on the embedded server and on
// a throw-away PostgreSQL server (or the one ORDERTOOL_TEST_PGSQL names): a table of a
// million rows, read through execute() and through a cursor; the cursor's first row, its
// first thousand rows and closing it there, and every row.
//
//   bench_cursor [rows] [runs]
#include "platform/db/Backend.h"
#include "platform/db/Connection.h"
#include "support/TempPgServer.h"
#include "support/TempServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double msSince(const QElapsedTimer& clock) {
    return double(clock.nsecsElapsed()) / 1e6;
}

void measure(const char* engine, db::Session& session, int rows, int runs) {
    const db::SqlText sql(
        QStringLiteral("select Id, Name, Id * 2 as Twice from Big where Id > :From"));
    db::Params params;
    params.add(QStringLiteral("From"), db::FieldType::Integer).value = 0;
    std::vector<double> whole, first, thousand, closed, all;
    for (int run = 0; run <= runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        const db::ResultSet r = session.execute(QStringLiteral("whole"), sql, params);
        const double wholeMs = msSince(clock);
        if (int(r.rows.size()) != rows) {
            std::fprintf(stderr, "%s: %zu rows read, %d expected\n", engine, r.rows.size(), rows);
            std::exit(1);
        }
        clock.restart();
        auto cursor = session.openCursor(QStringLiteral("cursor"), sql, params);
        cursor->fetch(1);
        const double firstMs = msSince(clock);
        for (int n = 1; n < 1000 && !cursor->atEnd();) {
            n += int(cursor->fetch(1000 - n).size());
        }
        const double thousandMs = msSince(clock);
        cursor.reset();
        const double closedMs = msSince(clock);
        clock.restart();
        cursor = session.openCursor(QStringLiteral("cursor"), sql, params);
        while (!cursor->atEnd()) {
            cursor->fetch(4096);
        }
        const double allMs = msSince(clock);
        if (run > 0) { // the first run warms caches and prepares statements
            whole.push_back(wholeMs);
            first.push_back(firstMs);
            thousand.push_back(thousandMs);
            closed.push_back(closedMs);
            all.push_back(allMs);
        }
    }
    std::printf("%s_execute_all_rows: %.1f ms (%d rows)\n", engine, median(whole), rows);
    std::printf("%s_cursor_first_row: %.2f ms\n", engine, median(first));
    std::printf("%s_cursor_first_1000_rows: %.2f ms, closed there: %.2f ms\n", engine,
                median(thousand), median(closed));
    std::printf("%s_cursor_all_rows: %.1f ms\n", engine, median(all));
    std::fflush(stdout);
}

QString fill(int rows) {
    return QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where "
                          "i < %1) insert into Big(Id, Name) select i, 'row ' || i from n")
        .arg(rows);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int rows = args.size() > 1 ? std::max(1000, args[1].toInt()) : 1000000;
    const int runs = args.size() > 2 ? std::max(1, args[2].toInt()) : 5;
    const QString create = QStringLiteral("create table Big(Id INTEGER PRIMARY KEY, Name "
                                          "VARCHAR(20))");
    {
        testing_support::TempServer server({QStringLiteral("NVKDC")});
        server.exec(QStringLiteral("NVKDC"), create);
        server.exec(QStringLiteral("NVKDC"), fill(rows));
        db::Connection c(QStringLiteral("Bench"));
        c.params() << QStringLiteral("SERVER NAME=") + server.serverName()
                   << QStringLiteral("DATABASE NAME=NVKDC");
        measure("embedded", c.session(), rows, runs);
    }
    auto& pg = testing_support::TempPgServer::shared();
    if (!pg.available()) {
        std::fprintf(stderr, "no PostgreSQL server: %s\n", qPrintable(pg.whyUnavailable()));
        return 0;
    }
    pg.resetDatabases({QStringLiteral("NVKDC")});
    pg.exec(QStringLiteral("NVKDC"), create);
    pg.exec(QStringLiteral("NVKDC"), fill(rows));
    pg.exec(QStringLiteral("NVKDC"), QStringLiteral("analyze Big"));
    auto c = pg.connect(QStringLiteral("Bench"), QStringLiteral("NVKDC"));
    measure("pgsql", c->session(), rows, runs);
    return 0;
}
