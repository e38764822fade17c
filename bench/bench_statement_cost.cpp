// Cost of one statement on the embedded server through the database layer: single-row
// inserts in autocommit and selects by key. Later benchmarks read their figures against it.
#include "platform/db/Connection.h"
#include "platform/db/Query.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <sqlite3.h>

namespace {

void createServer(const QString& folder) {
    sqlite3* h = nullptr;
    sqlite3_open((folder + QStringLiteral("/BENCH.sqlite")).toUtf8().constData(), &h);
    sqlite3_exec(h,
                 "PRAGMA journal_mode=WAL;"
                 "CREATE TABLE Item(Id INTEGER PRIMARY KEY, Code VARCHAR(20) COLLATE NOCASE, "
                 "Qty FLOAT, Stamp DATETIME)",
                 nullptr, nullptr, nullptr);
    sqlite3_close(h);
}

double perStatementMicros(qint64 nanos, int count) {
    return double(nanos) / 1000.0 / count;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int inserts = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int selects = argc > 2 ? std::atoi(argv[2]) : 20000;
    QTemporaryDir dir;
    createServer(dir.path());

    db::Connection conn(QStringLiteral("BENCH"));
    conn.params() << QStringLiteral("DATABASE NAME=BENCH")
                  << QStringLiteral("SERVER NAME=sqlite:%1").arg(dir.path());
    conn.open();

    db::Query insert(QStringLiteral("bench"),
                     db::SqlSource("insert into Item(Id, Code, Qty, Stamp) "
                                   "values (:Id, :Code, :Qty, GetDate())"));
    QElapsedTimer t;
    t.start();
    for (int i = 1; i <= inserts; ++i) {
        insert.params().set(QStringLiteral("Id"), i);
        insert.params().set(QStringLiteral("Code"), QStringLiteral("C%1").arg(i));
        insert.params().set(QStringLiteral("Qty"), i * 1.5);
        insert.execSQL();
    }
    const qint64 insertNs = t.nsecsElapsed();

    db::Query select(QStringLiteral("bench"),
                     db::SqlSource("select Id, Code, Qty, Stamp from Item where Id = :Id"));
    t.restart();
    for (int i = 0; i < selects; ++i) {
        select.close();
        select.params().set(QStringLiteral("Id"), 1 + i % inserts);
        select.open();
    }
    const qint64 selectNs = t.nsecsElapsed();

    std::printf("insert_autocommit: %.1f us/statement\n", perStatementMicros(insertNs, inserts));
    std::printf("select_by_key: %.1f us/statement\n", perStatementMicros(selectNs, selects));
    return 0;
}
