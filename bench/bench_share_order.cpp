// The share order on the large company: filling the branch grid from a barcode, the stock
// check after a quantity, and saving an order with one row per branch.
// Usage: bench_share_order [server ...]  (a folder of the embedded server or a name such as
// pgsql://user@127.0.0.1:5432/db holding the large company; without one, a large embedded
// server is built first). With several servers each figure is printed for each, side by side.
#include "BenchModules.h"
#include "orders/Fr_OrderShere.h"
#include "platform/db/Connection.h"
#include "platform/db/Query.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Modal.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

using bench::buildScaleServer;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Figures {
    QString engine;
    int branches = 0;
    int refused = 0;
    int saves = 0;
    std::map<std::string, double> ms; // median milliseconds by figure
};

Figures runOn(const QString& server) {
    BenchModules modules(server);
    modules.config.CheckRight(101, 1);
    Figures figures;
    figures.engine =
        db::backendName(db::Connection::byName(QStringLiteral("DMDATA")).backendKind());
    const bool embedded = figures.engine == QLatin1String("sqlite");

    ui::ScriptedModalPrompts prompts;
    ui::ScopedPrompts scope(prompts);
    // The busiest small-unit barcode: the most open transfer rows.
    db::Query pick(QStringLiteral("DMDATA"),
                   db::SqlSource("select T.BarCode from TranBranch T join ProductUnits U on "
                                 "U.Barcode = T.BarCode and U.SmallUnitFlag = 'Y' join Product "
                                 "P on P.Id = U.Product and P.UnitPicking = 1 group by "
                                 "T.BarCode order by count(*) desc limit 1"));
    pick.open();
    const QString barcode = pick.fields()[0]->asString();

    TFrOrderShere form;
    form.show();
    std::vector<double> fill, check, suggest, save, saveWithoutSync;
    for (int round = 0; round < 10; ++round) {
        if (round == 5 && embedded) {
            // What durability costs: the same saves with the log synced only at checkpoints
            // (a power cut may then lose the last saves).
            db::Query(QStringLiteral("DMDATA"), db::SqlSource("PRAGMA main.synchronous=NORMAL"))
                .execSQL();
        }
        form.EdOrderNOExit();
        QTest::keyClicks(form.EdBarcode, barcode);
        QElapsedTimer t;
        t.start();
        form.EdBarcodeExit();
        QCoreApplication::processEvents();
        fill.push_back(t.nsecsElapsed() / 1e6);
        figures.branches = form.QDt.recordCount();

        form.QDt.first();
        form.QDt.edit();
        form.QDt[QStringLiteral("OrderQnty")].setValue(1);
        t.restart();
        form.EdOrderQntyExit();
        check.push_back(t.nsecsElapsed() / 1e6);

        t.restart();
        form.AcSuggest->trigger();
        suggest.push_back(t.nsecsElapsed() / 1e6);

        // Every branch row is stored; one in ten gets a quantity and a transfer row.
        form.QDt.disableControls();
        for (form.QDt.first(); !form.QDt.eof(); form.QDt.next()) {
            form.QDt.edit();
            form.QDt[QStringLiteral("OrderQnty")].setValue(form.QDt.recNo() % 10 == 0 ? 1 : 0);
        }
        form.QDt.first();
        form.QDt.enableControls();
        prompts.answer(true);
        t.restart();
        form.AcSave->trigger();
        (round < 5 || !embedded ? save : saveWithoutSync).push_back(t.nsecsElapsed() / 1e6);
    }
    for (const QString& t : prompts.texts()) {
        figures.refused += t.startsWith(QStringLiteral("คงเหลือ มีไม่พอ")) ? 1 : 0;
    }
    figures.saves = int(save.size() + saveWithoutSync.size());
    figures.ms["barcode_fills_grid"] = median(fill);
    figures.ms["stock_check_after_quantity"] = median(check);
    figures.ms["suggest_all_branches"] = median(suggest);
    figures.ms["save_order_all_branches"] = median(save);
    if (!saveWithoutSync.empty()) {
        figures.ms["save_order_all_branches_unsynced"] = median(saveWithoutSync);
    }
    return figures;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ui::Application app(argc, argv);
    ui::setExceptionSink([](std::exception_ptr e) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& x) {
            std::fprintf(stderr, "error: %s\n", x.what());
        }
    });
    QTemporaryDir work;
    QStringList servers;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        servers << (arg.contains(QLatin1String("://")) ? arg : QDir(arg).absolutePath());
    }
    if (servers.isEmpty()) {
        servers << buildScaleServer(work.filePath(QStringLiteral("data")));
    }
    QDir::setCurrent(work.path());
    std::vector<Figures> all;
    for (const QString& server : servers) {
        all.push_back(runOn(server));
    }

    const std::map<std::string, const char*> targets = {
        {"barcode_fills_grid", " (target <= 300 ms)"},
        {"suggest_all_branches", " (target <= 100 ms)"},
        {"save_order_all_branches", " (target <= 2000 ms)"}};
    auto line = [&](const std::string& name, auto&& value) {
        std::printf("%s:", name.c_str());
        for (size_t i = 0; i < all.size(); ++i) {
            std::printf("%s %s (%s)", i ? " |" : "", value(all[i]).c_str(),
                        qPrintable(all[i].engine));
        }
        const auto t = targets.find(name);
        std::printf("%s\n", t == targets.end() ? "" : t->second);
    };
    line("branches", [](const Figures& f) { return std::to_string(f.branches) + " rows"; });
    line("saves_refused_for_stock", [](const Figures& f) {
        return std::to_string(f.refused) + " of " + std::to_string(f.saves);
    });
    for (const char* name :
         {"barcode_fills_grid", "stock_check_after_quantity", "suggest_all_branches",
          "save_order_all_branches", "save_order_all_branches_unsynced"}) {
        line(name, [&](const Figures& f) {
            const auto it = f.ms.find(name);
            char text[32] = "-";
            if (it != f.ms.end()) {
                std::snprintf(text, sizeof text, "%.1f ms", it->second);
            }
            return std::string(text);
        });
    }
    return 0;
}
