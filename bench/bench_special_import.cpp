// Importing a special order's lines from a spreadsheet file on the large company, through
// the window as a clerk does it: rows per second, how long the grid goes without repainting
// and the longest wait for a turn of the event loop (when the status list repaints).
// Usage: bench_special_import [server folder] [rows]  (without a folder, a large server is
// built first)
#include "BenchModules.h"
#include "orders/Fr_OrderSpecial.h"
#include "platform/db/Query.h"
#include "platform/ui/DbGrid.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Modal.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using bench::buildScaleServer;

// Paint events of the watched widgets, timed from the start of the import.
class PaintClock : public QObject {
public:
    explicit PaintClock(QElapsedTimer& clock) : clock_(clock) {}
    std::vector<qint64> times;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && clock_.isValid()) {
            times.push_back(clock_.elapsed());
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QElapsedTimer& clock_;
};

// A file of order lines: the header and one row per small unit, quantity 1 to 24.
QString writeLines(const QString& path, int rows) {
    db::Query q(QStringLiteral("DMDATA"),
                db::SqlSource("select U.Barcode, P.ThaiName, U.UnitName from ProductUnits U "
                              "join Product P on P.Id = U.Product where U.SmallUnitFlag = 'Y' "
                              "order by U.Id limit :N"));
    q.params().set(QStringLiteral("N"), rows);
    q.open();
    QByteArray text = "BarCode,ThaiName,UOM,Order_Qty\r\n";
    int n = 0;
    for (q.first(); !q.eof(); q.next()) {
        text += q.fields()[0]->asString().toUtf8() + ",\"" + q.fields()[1]->asString().toUtf8() +
                "\"," + q.fields()[2]->asString().toUtf8() + "," +
                QByteArray::number(1 + n++ % 24) + "\r\n";
    }
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(text);
    return path;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ui::Application app(argc, argv);
    QTemporaryDir work;
    const QString folder = argc > 1 ? QDir(QString::fromLocal8Bit(argv[1])).absolutePath()
                                    : buildScaleServer(work.filePath(QStringLiteral("data")));
    const int rows = argc > 2 ? std::atoi(argv[2]) : 10000;
    QDir::setCurrent(work.path());
    BenchModules modules(folder, 102);
    modules.config.CheckRight(102, 1);

    ui::ScriptedModalPrompts prompts;
    ui::ScopedPrompts scope(prompts);
    int errors = 0;
    ui::setExceptionSink([&errors](std::exception_ptr e) {
        ++errors;
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& x) {
            std::fprintf(stderr, "error: %s\n", x.what());
        }
    });
    const QString file = writeLines(work.filePath(QStringLiteral("lines.csv")), rows);

    TFrOrderSpecial form;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) {
        std::fprintf(stderr, "the window was never shown\n");
        return 1;
    }
    form.EdOrderNoExit();
    db::Query branch(QStringLiteral("DMDATA"),
                     db::SqlSource("select BranchCode from QRV_CONFIG_Nvk.dbo.Branch where "
                                   "StopDatabase = 'N' and BranchCode <> 'DC001' limit 1"));
    branch.open();
    form.EdBranchCode->setText(branch.fields()[0]->asString());
    form.EdBranchCodeExit();

    QElapsedTimer clock;
    PaintClock grid(clock);
    form.GridDt->viewport()->installEventFilter(&grid);
    // The status list repaints when its text changes, at the next turn of the event loop: the
    // turns are what bound its wait.
    std::vector<qint64> turns;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (clock.isValid()) {
            turns.push_back(clock.elapsed());
        }
    });
    tick.start();
    prompts.answerModal([&](QDialog& d) {
        dynamic_cast<QFileDialog&>(d).selectFile(file);
        clock.start(); // from the file's choice to the last line
        return int(QDialog::Accepted);
    });
    form.BtImportExcel->click();
    const double seconds = clock.nsecsElapsed() / 1e9;
    const int lines = form.QMemOrder.recordCount();

    auto longestGap = [&](const std::vector<qint64>& times) {
        qint64 gap = 0;
        qint64 last = 0;
        for (qint64 t : times) {
            gap = std::max(gap, t - last);
            last = t;
        }
        return std::max(gap, qint64(seconds * 1000) - last);
    };
    std::printf("rows: %d (%d lines made, %d errors)\n", rows, lines, errors);
    std::printf("import: %.2f s\n", seconds);
    std::printf("import_rows_per_second: %.0f rows/s (target >= 2000)\n", rows / seconds);
    std::printf("grid_longest_without_paint: %lld ms (%zu paints; target <= 100)\n",
                static_cast<long long>(longestGap(grid.times)), grid.times.size());
    std::printf("event_loop_longest_wait: %lld ms (%zu turns; target <= 100)\n",
                static_cast<long long>(longestGap(turns)), turns.size());
    return errors == 0 ? 0 : 1;
}
