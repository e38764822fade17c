// Workstations saving share orders at once on the large company, as separate processes:
// start-up time, and each save's time from the confirmation to the commit, with its
// percentiles and any error shown.
// Usage: bench_concurrent_saves [server folder] [workstations] [saves each]
//        (without a folder, a large server is built first)
#include "BenchModules.h"
#include "orders/ShareOrder.h"
#include "platform/db/DbError.h"
#include "platform/db/Query.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using bench::percentile;

// One workstation: starts up, waits for the others, then saves orders one after another.
int workstation(const QString& folder, const QString& barcode, int saves, const QString& go) {
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    try {
        QElapsedTimer t;
        t.start();
        BenchModules modules(folder);
        modules.config.CheckRight(101, 1);
        modules.config.GetCompanyConfig(QStringLiteral("NVKDC"));
        orders::ShareOrder order;
        order.load(QString(), QString());
        std::printf("startup %.1f\n", t.nsecsElapsed() / 1e6);
        std::fflush(stdout);
        while (!QFileInfo::exists(go)) {
            QThread::msleep(1);
        }
        for (int i = 0; i < saves; ++i) {
            order.load(QString(), QString());
            order.fillFromBarcode(barcode);
            // One branch in fifty gets one unit: the stock lasts for every save.
            order.QDt.disableControls();
            for (order.QDt.first(); !order.QDt.eof(); order.QDt.next()) {
                order.QDt.edit();
                order.QDt[QStringLiteral("OrderQnty")].setValue(order.QDt.recNo() % 50 == 0 ? 1
                                                                                            : 0);
            }
            order.QDt.enableControls();
            t.restart();
            const orders::SaveOutcome outcome = order.save(false);
            std::printf("%s %.1f\n", outcome == orders::SaveOutcome::Saved ? "save" : "refused",
                        t.nsecsElapsed() / 1e6);
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
        return workstation(args.value(2), args.value(3), args.value(4).toInt(), args.value(5));
    }
    QTemporaryDir work;
    QString folder = args.value(1);
    if (folder.isEmpty()) {
        folder = work.filePath(QStringLiteral("data"));
        QProcess tool;
        tool.start(QStringLiteral(ORDERTOOL_DB_TOOL),
                   {QStringLiteral("init"), QStringLiteral("--server"),
                    QStringLiteral("sqlite:") + folder, QStringLiteral("--scale")});
        tool.waitForFinished(-1);
    }
    folder = QDir(folder).absolutePath();
    const int stations = args.size() > 2 ? args.value(2).toInt() : 8;
    const int saves = args.size() > 3 ? args.value(3).toInt() : 10;

    // The small unit with the most stock at the distribution centre, so no save runs short.
    QString barcode;
    {
        QDir::setCurrent(work.path());
        BenchModules modules(folder);
        // Earlier runs on the same server took stock: the most available of the top few.
        db::Query pick(QStringLiteral("DMDATA"),
                       db::SqlSource("select U.Barcode from ProductOnhandSend O join Product P on "
                                     "P.Code = O.ProdCode join ProductUnits U on U.Product = P.Id "
                                     "and U.SmallUnitFlag = 'Y' order by O.Onhand desc limit 20"));
        pick.open();
        orders::ShareOrder order;
        double most = -1;
        for (pick.first(); !pick.eof(); pick.next()) {
            const QString candidate = pick.fields()[0]->asString();
            const double available = order.availableStock(candidate);
            if (available > most) {
                most = available;
                barcode = candidate;
            }
        }
    }

    const QString go = QDir(work.path()).filePath(QStringLiteral("GO"));
    std::vector<std::unique_ptr<QProcess>> procs;
    for (int i = 0; i < stations; ++i) {
        auto p = std::make_unique<QProcess>();
        p->start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--workstation"), folder, barcode, QString::number(saves), go});
        procs.push_back(std::move(p));
    }
    // Everyone starts up at once; the saves begin together once all have started.
    for (auto& p : procs) {
        while (p->state() != QProcess::NotRunning && !p->canReadLine()) {
            p->waitForReadyRead(100);
        }
    }
    QFile(go).open(QIODevice::WriteOnly);
    std::vector<double> startup, save;
    int errors = 0;
    int refused = 0;
    for (auto& p : procs) {
        p->waitForFinished(-1);
        for (const QByteArray& line : p->readAllStandardOutput().split('\n')) {
            const QList<QByteArray> parts = line.split(' ');
            if (parts[0] == "startup") {
                startup.push_back(parts.value(1).toDouble());
            } else if (parts[0] == "save") {
                save.push_back(parts.value(1).toDouble());
            } else if (parts[0] == "refused") {
                ++refused;
            } else if (parts[0] == "error") {
                ++errors;
                std::fprintf(stderr, "%s\n", line.constData());
            }
        }
    }
    std::printf("workstations: %d\n", stations);
    std::printf("saves: %zu (%d refused for stock, %d errors)\n", save.size(), refused, errors);
    std::printf("startup_median: %.1f ms\n", percentile(startup, 0.5));
    std::printf("startup_max: %.1f ms\n", percentile(startup, 1.0));
    std::printf("concurrent_save_median: %.1f ms\n", percentile(save, 0.5));
    std::printf("concurrent_save_p99: %.1f ms\n", percentile(save, 0.99));
    std::printf("concurrent_save_max: %.1f ms\n", percentile(save, 1.0));
    return errors == 0 ? 0 : 1;
}
