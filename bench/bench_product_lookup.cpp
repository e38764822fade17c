// The product unit lookup on the large company: wall time from an Enter key press in the
// name edit to the grid showing its rows (statement, rows into the dataset, model reset and
// the first paint of the grid).
//
//   bench_product_lookup [<server folder>] [runs]
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
    double medianMs;
    double maxMs;
    double queryMs; // of the median: re-opening the query alone, without the window
    int rows;
};

// Enter in the name edit, then the grid painted once: the time the user waits.
double searchOnce(TF_SearchProductUnitsTivasMaster& lookup) {
    QElapsedTimer clock;
    clock.start();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(lookup.InputName, &press);
    QApplication::processEvents();
    lookup.SearchGrid->grab();
    return double(clock.nsecsElapsed()) / 1e6;
}

Timing measure(TF_SearchProductUnitsTivasMaster& lookup, const Case& c, int runs) {
    lookup.SmallUnitOnly = c.smallUnitOnly;
    lookup.InputName->setText(c.name);
    lookup.FullWord->setChecked(c.fullWord);
    lookup.EdBarcode->setText(c.barcode);
    std::vector<double> times;
    searchOnce(lookup); // warm: statement prepared, pages cached
    for (int i = 0; i < runs; ++i) {
        times.push_back(searchOnce(lookup));
    }
    std::sort(times.begin(), times.end());
    std::vector<double> queryTimes;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        lookup.Query1.close();
        lookup.Query1.open();
        queryTimes.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(queryTimes.begin(), queryTimes.end());
    return {times[times.size() / 2], times.back(), queryTimes[queryTimes.size() / 2],
            lookup.Query1.recordCount()};
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
        {"everything", QString(), false, QString(), QStringLiteral("Y")},
        {"one_letter_all_units", QStringLiteral("า"), false, QString(), QString()},
        {"everything_all_units", QString(), false, QString(), QString()},
    };
    for (const Case& c : cases) {
        const Timing t = measure(lookup, c, runs);
        std::printf("%s_rows: %d rows\n", c.figure, t.rows);
        std::printf("%s_median: %.1f ms\n", c.figure, t.medianMs);
        std::printf("%s_max: %.1f ms\n", c.figure, t.maxMs);
        std::printf("%s_query_only: %.1f ms\n", c.figure, t.queryMs);
        std::fflush(stdout);
    }
    return 0;
}
