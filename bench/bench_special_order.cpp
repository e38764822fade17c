// The special order on the large company, without its window: a line filled from a barcode on
// an empty order and on one of 2,000 lines, and the loading of the largest stored order.
// Usage: bench_special_order [server folder]  (without one, a large server is built first)
#include "BenchModules.h"
#include "orders/SpecialOrder.h"
#include "platform/db/Query.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <exception>
#include <vector>

namespace {

using bench::buildScaleServer;

using bench::percentile;

constexpr int kSpecialOrderMenu = 102;
constexpr int kFilledLines = 2000;
constexpr int kRounds = 15;
constexpr int kLoadRounds = 7;

QStringList column(const QString& connection, const char* sql) {
    db::Query q(connection, db::SqlSource(sql));
    q.open();
    QStringList values;
    for (q.first(); !q.eof(); q.next()) {
        values << q.fields()[0]->asString();
    }
    return values;
}

void printFigure(const char* figure, const std::vector<double>& ms, double targetMs) {
    std::printf("%s_median: %.1f ms (target <= %.0f ms)\n", figure, percentile(ms, 0.5), targetMs);
    std::printf("%s_p90: %.1f ms\n", figure, percentile(ms, 0.9));
}

// A new line at the end of the order, filled from the barcode; the time of the fill.
double enterOnNewLine(orders::SpecialOrder& order, const QString& barcode, const QString& branch,
                      int& refused) {
    order.QMemOrder.append();
    order.QMemOrder.post();
    QElapsedTimer t;
    t.start();
    const orders::BarcodeEntry entry = order.enterBarcode(barcode, branch);
    const double ms = t.nsecsElapsed() / 1e6;
    refused += entry == orders::BarcodeEntry::Filled ? 0 : 1;
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir work;
    const QString folder = argc > 1 ? QDir(QString::fromLocal8Bit(argv[1])).absolutePath()
                                    : buildScaleServer(work.filePath(QStringLiteral("data")));
    QDir::setCurrent(work.path());
    try {
        BenchModules modules(folder, kSpecialOrderMenu);
        modules.config.CheckRight(kSpecialOrderMenu, 1);

        // Timed entries use the smallest units with the most transfer rows (the stock
        // figures sum those); the 2,000 lines before them are other smallest units.
        const QStringList timed =
            column(QStringLiteral("DMDATA"),
                   "Select T.BarCode From TranBranch T Join Nvk.Dbo.ProductUnits U On U.Barcode = "
                   "T.BarCode And U.SmallUnitFlag = 'Y' Group By T.BarCode Order By Count(*) Desc "
                   "Limit 15");
        QStringList filler;
        for (const QString& b :
             column(QStringLiteral("DMDATA"), "Select Barcode From Nvk.Dbo.ProductUnits Where "
                                              "SmallUnitFlag = 'Y' Order By Id Limit 2100")) {
            if (!timed.contains(b) && filler.size() < kFilledLines) {
                filler << b;
            }
        }
        const QStringList branches =
            column(QStringLiteral("DmCfg"), "Select BranchCode From Branch Where StopDatabase = "
                                            "'N' And BranchCode <> 'DC001' Order By BranchNo");
        if (timed.size() < kRounds || filler.size() < kFilledLines || branches.isEmpty()) {
            std::fprintf(stderr, "error: the server is too small for this benchmark\n");
            return 1;
        }
        const QString branch = branches[branches.size() / 2];

        orders::SpecialOrder order;
        if (order.checkBranch(branch) != orders::BranchCheck::Known) {
            std::fprintf(stderr, "error: branch %s is not in operation\n", qPrintable(branch));
            return 1;
        }
        int refused = 0;

        std::vector<double> empty;
        for (int round = 0; round < kRounds; ++round) {
            order.reset();
            order.load(QString());
            empty.push_back(enterOnNewLine(order, timed[round], branch, refused));
        }

        order.reset();
        order.load(QString());
        QElapsedTimer fillClock;
        fillClock.start();
        for (const QString& b : filler) {
            enterOnNewLine(order, b, branch, refused);
        }
        const double fillSeconds = fillClock.nsecsElapsed() / 1e9;
        std::vector<double> full;
        for (int round = 0; round < kRounds; ++round) {
            full.push_back(enterOnNewLine(order, timed[round], branch, refused));
        }
        const int lines = order.QMemOrder.recordCount();

        const QStringList largest = column(
            QStringLiteral("DMDATA"), "Select OrderNo, Count(*) From TranBranch Where OrderType = "
                                      "'L' Group By OrderNo Order By 2 Desc Limit 1");
        std::vector<double> load;
        int loaded = 0;
        for (int round = 0; round < kLoadRounds && !largest.isEmpty(); ++round) {
            order.reset();
            QElapsedTimer t;
            t.start();
            order.load(largest[0]);
            load.push_back(t.nsecsElapsed() / 1e6);
            loaded = order.QMemOrder.recordCount() - 1; // less the empty line to go on from
        }
        // Of the load, the statement alone: the rest is filling the line table.
        std::vector<double> statement;
        for (int round = 0; round < kLoadRounds && !largest.isEmpty(); ++round) {
            order.QLoad.close();
            order.QLoad.params().set(QStringLiteral("DocNo"), largest[0]);
            QElapsedTimer t;
            t.start();
            order.QLoad.open();
            statement.push_back(t.nsecsElapsed() / 1e6);
            order.QLoad.close();
        }

        std::printf("barcodes_not_filled: %d of %d\n", refused, 2 * kRounds + int(filler.size()));
        printFigure("barcode_exit_empty_order", empty, 30);
        std::printf("lines_before_timed_entries: %d lines\n", kFilledLines);
        std::printf("fill_2000_lines_total: %.1f s\n", fillSeconds);
        printFigure("barcode_exit_2000_lines", full, 40);
        std::printf("lines_after_timed_entries: %d lines\n", lines);
        std::printf("largest_stored_order: %d lines\n", loaded);
        printFigure("load_stored_order", load, 300);
        std::printf("load_stored_order_statement_median: %.1f ms\n", percentile(statement, 0.5));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
    return 0;
}
