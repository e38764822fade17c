// Saving special orders on the large company: one order of many lines against its floor
// (the inserts and updates it must run, each at the cost of one statement inside a
// transaction), and workstations saving orders at once as separate processes.
// Usage: bench_special_save [server folder] [lines] [workstations] [lines each] [saves each]
//        (without a folder, a large server is built first)
#include "BenchModules.h"
#include "orders/SpecialOrder.h"
#include "orders/SpecialOrderSave.h"
#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/Query.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <sqlite3.h>
#include <vector>

namespace {

using bench::buildScaleServer;

using bench::percentile;

// Small units a special order may take in any quantity of 1: stock at the centre, or
// allowed below zero.
QStringList orderableBarcodes(int count, int offset) {
    db::Query q(QStringLiteral("DMDATA"),
                db::SqlSource("select U.Barcode from ProductUnits U join Product P on P.Id = "
                              "U.Product where U.SmallUnitFlag = 'Y' and (P.Negative = 'Y' or "
                              "(select sum(Onhand) from ProductOnhandSend O where O.ProdCode = "
                              "P.Code) >= 1) order by U.Id limit :N offset :O"));
    q.params().set(QStringLiteral("N"), count);
    q.params().set(QStringLiteral("O"), offset);
    q.open();
    QStringList barcodes;
    for (q.first(); !q.eof(); q.next()) {
        barcodes << q.fields()[0]->asString();
    }
    return barcodes;
}

QString activeBranch() {
    db::Query q(QStringLiteral("DMDATA"),
                db::SqlSource("select BranchCode from QRV_CONFIG_Nvk.dbo.Branch where "
                              "StopDatabase = 'N' and BranchCode <> 'DC001' order by BranchNo "
                              "limit 1"));
    q.open();
    return q.fields()[0]->asString();
}

void enterLines(orders::SpecialOrder& order, const QStringList& barcodes, const QString& branch) {
    order.LineNo = 0;
    order.load(QString());
    order.QMemOrder.disableControls();
    for (const QString& barcode : barcodes) {
        order.QMemOrder.append();
        order.QMemOrder.post();
        order.enterBarcode(barcode, branch);
        order.QMemOrder.edit();
        order.QMemOrder[QStringLiteral("OrderQnty")].setValue(1);
        order.QMemOrder.post();
    }
    order.QMemOrder.enableControls();
}

// Microseconds per statement inside one transaction: single-row inserts and updates by key,
// on a table of its own.
std::pair<double, double> statementCosts(int count) {
    QTemporaryDir dir;
    sqlite3* h = nullptr;
    sqlite3_open((dir.path() + QStringLiteral("/COST.sqlite")).toUtf8().constData(), &h);
    sqlite3_exec(h,
                 "PRAGMA journal_mode=WAL; CREATE TABLE Item(Id INTEGER PRIMARY KEY, "
                 "Code VARCHAR(20) COLLATE NOCASE, Qty FLOAT, Stamp DATETIME)",
                 nullptr, nullptr, nullptr);
    sqlite3_close(h);
    db::Connection conn(QStringLiteral("COST"));
    conn.params() << QStringLiteral("DATABASE NAME=COST")
                  << QStringLiteral("SERVER NAME=sqlite:%1").arg(dir.path());
    conn.open();
    db::Query insert(QStringLiteral("COST"), db::SqlSource("insert into Item(Id, Code, Qty, Stamp) "
                                                           "values (:Id, :Code, :Qty, GetDate())"));
    db::Query update(
        QStringLiteral("COST"),
        db::SqlSource("update Item set Code = :Code, Stamp = GetDate() where Id = :Id"));
    QElapsedTimer t;
    db::Unit unit(conn);
    t.start();
    for (int i = 1; i <= count; ++i) {
        insert.params().set(QStringLiteral("Id"), i);
        insert.params().set(QStringLiteral("Code"), QStringLiteral("C%1").arg(i));
        insert.params().set(QStringLiteral("Qty"), i * 1.5);
        insert.execSQL();
    }
    const double insertUs = t.nsecsElapsed() / 1000.0 / count;
    t.restart();
    for (int i = 1; i <= count; ++i) {
        update.params().set(QStringLiteral("Id"), i);
        update.params().set(QStringLiteral("Code"), QStringLiteral("D%1").arg(i));
        update.execSQL();
    }
    const double updateUs = t.nsecsElapsed() / 1000.0 / count;
    unit.commit();
    return {insertUs, updateUs};
}

// One workstation: starts, waits for the others, then saves orders one after another.
int workstation(const QString& folder, int lines, int offset, int saves, const QString& go) {
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    try {
        BenchModules modules(folder, 102);
        orders::SpecialOrder order;
        orders::SpecialOrderSave saving(order);
        const QString branch = activeBranch();
        const QStringList barcodes = orderableBarcodes(lines, offset);
        std::printf("ready\n");
        std::fflush(stdout);
        while (!QFileInfo::exists(go)) {
            QThread::msleep(1);
        }
        QElapsedTimer t;
        for (int i = 0; i < saves; ++i) {
            enterLines(order, barcodes, branch);
            saving.prepare(branch);
            t.restart();
            const orders::SaveReport r =
                saving.save({branch, 1, QString(), QDate::currentDate().startOfDay()});
            std::printf("%s %.1f %s\n", r.result == orders::SaveResult::Saved ? "save" : "refused",
                        t.nsecsElapsed() / 1e6, r.number.toUtf8().constData());
            std::fflush(stdout);
        }
    } catch (const db::DbError& e) {
        std::printf("error %s\n", e.message().toUtf8().constData());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == QLatin1String("--workstation")) {
        return workstation(args.value(2), args.value(3).toInt(), args.value(4).toInt(),
                           args.value(5).toInt(), args.value(6));
    }
    QTemporaryDir work;
    const QString folder = args.size() > 1
                               ? QDir(args.value(1)).absolutePath()
                               : buildScaleServer(work.filePath(QStringLiteral("data")));
    const int lines = args.size() > 2 ? args.value(2).toInt() : 1000;
    const int stations = args.size() > 3 ? args.value(3).toInt() : 8;
    const int stationLines = args.size() > 4 ? args.value(4).toInt() : 200;
    const int stationSaves = args.size() > 5 ? args.value(5).toInt() : 3;

    // ---- one large order ------------------------------------------------------------
    const auto [insertUs, updateUs] = statementCosts(lines);
    std::vector<double> saveMs;
    int pickingNumbers = 0;
    {
        QDir::setCurrent(work.path());
        BenchModules modules(folder, 102);
        orders::SpecialOrder order;
        orders::SpecialOrderSave saving(order);
        const QString branch = activeBranch();
        const QStringList barcodes = orderableBarcodes(lines, 0);
        for (int run = 0; run < 5; ++run) {
            enterLines(order, barcodes, branch);
            saving.prepare(branch);
            QElapsedTimer t;
            t.start();
            const orders::SaveReport r =
                saving.save({branch, 1, QString(), QDate::currentDate().startOfDay()});
            saveMs.push_back(t.nsecsElapsed() / 1e6);
            if (r.result != orders::SaveResult::Saved) {
                std::fprintf(stderr, "save refused (%d)\n", int(r.result));
                return 1;
            }
            db::Query numbers(QStringLiteral("DMDATA"),
                              db::SqlSource("select count(distinct ProductManageNo) from "
                                            "TranBranch where OrderNo = :N"));
            numbers.params().set(QStringLiteral("N"), r.number);
            numbers.open();
            pickingNumbers = int(numbers.fields()[0]->asInteger());
        }
    }
    const double floorMs = lines * (insertUs + updateUs) / 1000.0;
    std::printf("lines: %d (%d picking numbers)\n", lines, pickingNumbers);
    std::printf("statement_in_transaction: insert %.1f us, update by key %.1f us\n", insertUs,
                updateUs);
    std::printf("save_median: %.1f ms (target <= 1000 ms)\n", percentile(saveMs, 0.5));
    std::printf("save_floor: %.1f ms (%d inserts and %d updates)\n", floorMs, lines, lines);
    std::printf("save_to_floor: %.1f x\n", percentile(saveMs, 0.5) / floorMs);

    // ---- workstations at once -------------------------------------------------------
    const QString go = QDir(work.path()).filePath(QStringLiteral("GO"));
    std::vector<std::unique_ptr<QProcess>> procs;
    for (int i = 0; i < stations; ++i) {
        auto p = std::make_unique<QProcess>();
        p->start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--workstation"), folder, QString::number(stationLines),
                  QString::number(lines + i * stationLines), QString::number(stationSaves), go});
        procs.push_back(std::move(p));
    }
    for (auto& p : procs) {
        while (p->state() != QProcess::NotRunning && !p->canReadLine()) {
            p->waitForReadyRead(100);
        }
    }
    QFile(go).open(QIODevice::WriteOnly);
    std::vector<double> concurrent;
    QStringList numbers;
    int errors = 0;
    int refused = 0;
    for (auto& p : procs) {
        p->waitForFinished(-1);
        for (const QByteArray& line : p->readAllStandardOutput().split('\n')) {
            const QList<QByteArray> parts = line.split(' ');
            if (parts[0] == "save") {
                concurrent.push_back(parts.value(1).toDouble());
                numbers << QString::fromUtf8(parts.value(2));
            } else if (parts[0] == "refused") {
                ++refused;
            } else if (parts[0] == "error") {
                ++errors;
                std::fprintf(stderr, "%s\n", line.constData());
            }
        }
    }
    int unpicked = 0;
    {
        QDir::setCurrent(work.path());
        BenchModules modules(folder, 102);
        for (const QString& number : numbers) {
            db::Query q(QStringLiteral("DMDATA"),
                        db::SqlSource("select count(*) from TranBranch where OrderNo = :N and "
                                      "CloseOrder not in ('P','B')"));
            q.params().set(QStringLiteral("N"), number);
            q.open();
            unpicked += int(q.fields()[0]->asInteger());
        }
    }
    std::printf("workstations: %d, %d-line orders, %d saves each\n", stations, stationLines,
                stationSaves);
    std::printf("concurrent_saves: %zu (%d refused, %d errors, %lld numbers issued twice, %d rows "
                "neither P nor B)\n",
                concurrent.size(), refused, errors,
                qint64(numbers.size()) -
                    qint64(QSet<QString>(numbers.begin(), numbers.end()).size()),
                unpicked);
    std::printf("concurrent_save_median: %.1f ms\n", percentile(concurrent, 0.5));
    std::printf("concurrent_save_p99: %.1f ms\n", percentile(concurrent, 0.99));
    return errors == 0 ? 0 : 1;
}
