// The product unit lookup on the large company: wall time from an Enter key press in the
// name edit to the grid showing its first rows, a screenful, and every row; and from Ctrl+End
// to the last row shown. Each beside the time the lookup took when it read every row at open
// (statement, rows into the dataset, model reset and the first paint of the grid).
//
//   bench_product_lookup [<server folder>] [runs] [figure]   (figure: one search only)
//
// Without a folder a scale server is created in a temporary folder first (about 15 s).
// The documents open the lookup for smallest units only; the "_all_units" figures show the
// same searches without that filter.
#include "data/Dm_Config.h"
#include "data/U_DM.h"
#include "forms/F_SearchProductUnitsTivasMaster.h"
#include "platform/ui/DbGrid.h"
#include "platform/ui/Guard.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

bool createScaleServer(const QString& folder) {
    std::fprintf(stderr, "creating a scale server in %s ...\n", qPrintable(folder));
    QProcess tool;
    tool.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    tool.start(QStringLiteral(ORDERTOOL_DB_TOOL),
               {QStringLiteral("init"), QStringLiteral("--server"),
                QStringLiteral("sqlite:") + folder, QStringLiteral("--scale")});
    return tool.waitForFinished(-1) && tool.exitCode() == 0;
}

struct Case {
    const char* figure;
    QString name;
    bool fullWord;
    QString barcode;
    QString smallUnitOnly;
};

struct Timing {
    double beforeMs;      // every row read at open, then painted: how the lookup searched before
    double firstRowsMs;   // Enter to the grid painted with the first rows
    double firstScreenMs; // Enter to a screenful of rows painted (or every row, when fewer)
    double allRowsMs;     // Enter to the last row read in slices between events, nothing pressed
    double toEndMs;       // Ctrl+End after the first rows, to the last row current and painted
    int rows;
};

double since(const QElapsedTimer& clock) {
    return double(clock.nsecsElapsed()) / 1e6;
}

void pressEnter(TF_SearchProductUnitsTivasMaster& lookup) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(lookup.InputName, &press);
}

// Enter in the name edit, then the grid painted once: the time the user waits. Events
// posted by the search (the repaint among them) are delivered; timers are not run.
double searchOnce(TF_SearchProductUnitsTivasMaster& lookup) {
    QElapsedTimer clock;
    clock.start();
    pressEnter(lookup);
    QCoreApplication::sendPostedEvents();
    lookup.SearchGrid->grab();
    return since(clock);
}

int screenRows(const ui::DbGrid& grid) {
    return grid.viewport()->height() / std::max(1, grid.verticalHeader()->defaultSectionSize()) + 1;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

Timing measure(TF_SearchProductUnitsTivasMaster& lookup, const Case& c, int runs) {
    lookup.SmallUnitOnly = c.smallUnitOnly;
    lookup.InputName->setText(c.name);
    lookup.FullWord->setChecked(c.fullWord);
    lookup.EdBarcode->setText(c.barcode);
    ui::DbGrid& grid = *lookup.SearchGrid;
    const ui::DatasetModel& model = *grid.datasetModel();
    auto readAll = [&] {
        while (model.canFetchMore({})) {
            QApplication::processEvents();
        }
    };

    // Between two searches a user leaves the window a tenth of a second at least.
    auto pause = [] {
        QElapsedTimer idle;
        idle.start();
        while (idle.elapsed() < 100) {
            QApplication::processEvents();
        }
    };

    lookup.Query1.setFetchOnDemand(false);
    searchOnce(lookup); // warm: statement prepared, pages cached
    std::vector<double> before;
    for (int i = 0; i < runs; ++i) {
        pause();
        before.push_back(searchOnce(lookup));
    }
    const int rows = lookup.Query1.recordCount();

    lookup.Query1.setFetchOnDemand(true);
    searchOnce(lookup);
    readAll();
    std::vector<double> firstRows, firstScreen, allRows, toEnd;
    for (int i = 0; i < runs; ++i) {
        pause();
        QElapsedTimer clock;
        clock.start();
        firstRows.push_back(searchOnce(lookup));
        while (model.rowCount() < screenRows(grid) && model.canFetchMore({})) {
            QApplication::processEvents();
        }
        grid.grab();
        firstScreen.push_back(since(clock));
        readAll();
        allRows.push_back(since(clock));

        pause();
        searchOnce(lookup);
        clock.restart();
        QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
        QApplication::sendEvent(&grid, &end);
        QCoreApplication::sendPostedEvents();
        grid.grab();
        toEnd.push_back(since(clock));
        if (lookup.Query1.recordCount() != rows || (rows > 0 && lookup.Query1.recNo() != rows)) {
            std::fprintf(stderr, "%s: Ctrl+End reached row %d of %d (%d read)\n", c.figure,
                         lookup.Query1.recNo(), rows, lookup.Query1.recordCount());
            std::exit(1);
        }
    }
    return {median(before),  median(firstRows), median(firstScreen),
            median(allRows), median(toEnd),     rows};
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ui::Application app(argc, argv);
    const QStringList args = app.arguments();
    const int runs = args.size() > 2 ? std::max(1, args[2].toInt()) : 7;

    QTemporaryDir work;
    QString folder;
    if (args.size() > 1) {
        folder = QDir(args[1]).absolutePath();
    } else {
        folder = work.filePath(QStringLiteral("server"));
        if (!createScaleServer(folder)) {
            std::fprintf(stderr, "ordertool-db init --scale failed\n");
            return 1;
        }
    }
    QDir::setCurrent(work.path());
    {
        QFile dat(QStringLiteral("Server.Dat"));
        if (!dat.open(QIODevice::WriteOnly)) {
            return 1;
        }
        dat.write((QStringLiteral("sqlite:") + folder).toLocal8Bit() + "\n");
    }

    auto dm = std::make_unique<TDM>();
    auto config = std::make_unique<TDMConfig>();
    DM = dm.get();
    DmConfig = config.get();
    DM->CommandLine = {QStringLiteral("ordertool"),
                       QStringLiteral("101"),
                       QStringLiteral("1"),
                       QStringLiteral("NVKDC"),
                       QString(),
                       QStringLiteral("4")};
    DmConfig->ThaiLanguage = true;
    DmConfig->PosPriceType = 1;
    ui::setExceptionSink([](std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "error: %s\n", e.what());
        }
        std::exit(1);
    });

    TF_SearchProductUnitsTivasMaster lookup;
    lookup.show();
    QApplication::processEvents();

    const Case cases[] = {
        {"name_word", QStringLiteral("แชมพู"), false, QString(), QStringLiteral("Y")},
        {"name_whole", QStringLiteral("แชมพู สูตรสมุนไพร 170 มล."), true, QString(),
         QStringLiteral("Y")},
        {"one_letter", QStringLiteral("า"), false, QString(), QStringLiteral("Y")},
        {"barcode", QString(), false, QStringLiteral("8850000000102"), QStringLiteral("Y")},
        // The last smallest unit in barcode order: the rows come in that order, so the
        // match is the last one the search meets.
        {"barcode_late", QString(), false, QStringLiteral("8850006976807"), QStringLiteral("Y")},
        {"everything", QString(), false, QString(), QStringLiteral("Y")},
        {"one_letter_all_units", QStringLiteral("า"), false, QString(), QString()},
        {"everything_all_units", QString(), false, QString(), QString()},
    };
    // Each figure beside the one before the change: every row read at open, then painted.
    const QString only = args.size() > 3 ? args[3] : QString();
    for (const Case& c : cases) {
        if (!only.isEmpty() && only != QLatin1String(c.figure)) {
            continue;
        }
        const Timing t = measure(lookup, c, runs);
        std::printf("%s_rows: %d rows\n", c.figure, t.rows);
        std::printf("%s_first_rows_median: %.1f ms (before: %.1f ms)\n", c.figure, t.firstRowsMs,
                    t.beforeMs);
        std::printf("%s_first_screen_median: %.1f ms (before: %.1f ms)\n", c.figure,
                    t.firstScreenMs, t.beforeMs);
        std::printf("%s_ctrl_end_median: %.1f ms, enter to last row %.1f ms (before: %.1f ms)\n",
                    c.figure, t.toEndMs, t.firstRowsMs + t.toEndMs, t.beforeMs);
        std::printf("%s_all_rows_between_events_median: %.1f ms (before: %.1f ms)\n", c.figure,
                    t.allRowsMs, t.beforeMs);
        std::fflush(stdout);
    }
    return 0;
}
