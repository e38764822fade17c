// Several workstations at once on one server (embedded, and PostgreSQL when there is one):
// real processes, as clerks' desktops are.
#include "orders/ShareOrder.h"
#include "orders/SpecialOrder.h"
#include "orders/SpecialOrderSave.h"
#include "platform/db/DbError.h"
#include "support/DemoModules.h"
#include "support/DemoServer.h"
#include "support/GuiApp.h"
#include "support/TempPgServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

const QString kPack12 = QStringLiteral("8850000000102"); // pack 12, with stock
constexpr const char* kSaverEnv = "ORDERTOOL_TEST_SAVER";

using testing_support::DemoModules;
using testing_support::TempPgServer;

// The data modules of a workstation on a server folder or a server named in full.
std::unique_ptr<DemoModules> modulesOn(const QString& server, int menuId) {
    if (server.contains(QLatin1String("://"))) {
        return DemoModules::onServer(server, 1, menuId);
    }
    return std::make_unique<DemoModules>(1, menuId, server);
}

// Waits for the GO file the parent writes once every child is ready.
bool waitForGo(const QString& folder) {
    const QString go = QDir(folder).filePath(QStringLiteral("GO"));
    for (int i = 0; i < 60000 && !QFileInfo::exists(go); ++i) {
        QThread::msleep(1);
    }
    return QFileInfo::exists(go);
}

// A child process: one workstation that puts the given quantity (the whole available
// stock) on one branch and saves a new share order. Prints the outcome.
const int saverChild = [] {
    const QByteArray setting = qgetenv(kSaverEnv);
    if (setting.isEmpty()) {
        return 0;
    }
    static int argc = 1;
    static char name[] = "saver";
    static char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    const QString server = QString::fromUtf8(setting).section(QLatin1Char('|'), 0, 0);
    const QString folder = QString::fromUtf8(setting).section(QLatin1Char('|'), 1, 1);
    const double quantity = QString::fromUtf8(setting).section(QLatin1Char('|'), 2).toDouble();
    int status = 0;
    try {
        const auto modules = modulesOn(server, 101);
        orders::ShareOrder order;
        order.load(QString(), QString());
        if (!order.fillFromBarcode(kPack12)) {
            throw std::runtime_error("no such barcode");
        }
        order.QDt.first();
        order.QDt.edit();
        order.QDt[QStringLiteral("OrderQnty")].setValue(quantity);
        order.QDt.post();
        if (!waitForGo(folder)) {
            throw std::runtime_error("no start signal");
        }
        switch (order.save(false)) {
        case orders::SaveOutcome::Saved:
            std::printf("saved\n");
            break;
        case orders::SaveOutcome::StockShort:
            std::printf("stock short\n");
            break;
        case orders::SaveOutcome::TakenElsewhere:
            std::printf("taken\n");
            break;
        }
    } catch (const db::DbError& e) {
        std::fprintf(stderr, "error: %s\n", e.message().toUtf8().constData());
        status = 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        status = 1;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}();

// A child process: one workstation that enters a special order of a few lines for a branch
// and saves it. Prints "saved <number>".
constexpr const char* kSpecialSaverEnv = "ORDERTOOL_TEST_SPECIAL_SAVER";
const int specialSaverChild = [] {
    const QByteArray folderBytes = qgetenv(kSpecialSaverEnv);
    if (folderBytes.isEmpty()) {
        return 0;
    }
    static int argc = 1;
    static char name[] = "special-saver";
    static char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    const QString server = QString::fromUtf8(folderBytes).section(QLatin1Char('|'), 0, 0);
    const QString folder = QString::fromUtf8(folderBytes).section(QLatin1Char('|'), 1);
    int status = 0;
    try {
        const auto modules = modulesOn(server, 102);
        orders::SpecialOrder order;
        orders::SpecialOrderSave saving(order);
        order.load(QString());
        for (const char* barcode : {"8850000000102", "8850000000508", "8850000000706",
                                    "8850000000805", "8850000000300"}) {
            order.QMemOrder.append();
            order.QMemOrder.post();
            if (order.enterBarcode(QLatin1String(barcode), QStringLiteral("B003")) !=
                orders::BarcodeEntry::Filled) {
                throw std::runtime_error("no such barcode");
            }
            order.QMemOrder.edit();
            order.QMemOrder[QStringLiteral("OrderQnty")].setValue(12);
            order.QMemOrder.post();
        }
        if (!saving.prepare(QStringLiteral("B003")).isEmpty() || !waitForGo(folder)) {
            throw std::runtime_error("not ready");
        }
        const orders::SaveReport report =
            saving.save({QStringLiteral("B003"), 1, QString(), QDate::currentDate().startOfDay()});
        std::printf("%s %s\n", report.result == orders::SaveResult::Saved ? "saved" : "not saved",
                    report.number.toUtf8().constData());
    } catch (const db::DbError& e) {
        std::fprintf(stderr, "error: %s\n", e.message().toUtf8().constData());
        status = 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        status = 1;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}();

struct Finished {
    int exitCode = -1;
    QString out;
    QString err;
};

// Starts the processes, lets them go at once, and collects what each printed.
std::vector<Finished> runAtOnce(std::vector<std::unique_ptr<QProcess>>& processes,
                                const QString& goFolder) {
    for (auto& p : processes) {
        EXPECT_TRUE(p->waitForStarted(10000));
    }
    QFile go(QDir(goFolder).filePath(QStringLiteral("GO")));
    EXPECT_TRUE(go.open(QIODevice::WriteOnly));
    go.close();
    std::vector<Finished> done;
    for (auto& p : processes) {
        EXPECT_TRUE(p->waitForFinished(120000));
        done.push_back({p->exitCode(), QString::fromUtf8(p->readAllStandardOutput()).trimmed(),
                        QString::fromUtf8(p->readAllStandardError())});
    }
    return done;
}

enum class Engine { Embedded, Pgsql };

// A fresh demo company on the engine under test; the folder of the start signal.
class ConcurrentSaves : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        // One application for the whole program: the database drivers go with it.
        testing_support::guiApp();
        if (GetParam() == Engine::Embedded) {
            server_ = folder_ = testing_support::freshDemoServer();
            return;
        }
        if (!TempPgServer::shared().available()) {
            GTEST_SKIP() << "no PostgreSQL server: "
                         << TempPgServer::shared().whyUnavailable().toStdString();
        }
        QString why;
        ASSERT_TRUE(TempPgServer::shared().loadDemo(&why)) << why.toStdString();
        server_ = TempPgServer::shared().serverName();
        folder_ = signals_.path();
    }
    QString server_;
    QString folder_;
    QTemporaryDir signals_;
};

INSTANTIATE_TEST_SUITE_P(Engines, ConcurrentSaves,
                         ::testing::Values(Engine::Embedded, Engine::Pgsql),
                         [](const ::testing::TestParamInfo<Engine>& info) {
                             return info.param == Engine::Pgsql ? "Pgsql" : "Embedded";
                         });

TEST_P(ConcurrentSaves, SavesAgainstOneStockNeverAllocateMoreThanIsThere) {
    const QString& folder = folder_;
    double available = 0;
    qint64 allocatedBefore = 0;
    auto allocated = [] {
        db::Query q(QStringLiteral("DMDATA"),
                    db::SqlSource("select Coalesce(Sum(OrderQnty - SendQnty), 0) as Q from "
                                  "TranBranch where BarCode = :B and CloseOrder not in "
                                  "('Y','W','X','C','T')"));
        q.params().set(QStringLiteral("B"), QStringLiteral("8850000000102"));
        q.open();
        return q.fields()[0]->asInteger();
    };
    {
        const auto modules = modulesOn(server_, 101);
        orders::ShareOrder order;
        available = order.availableStock(kPack12);
        allocatedBefore = allocated();
    }
    ASSERT_GT(available, 0);

    constexpr int kWorkstations = 4;
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    std::vector<std::unique_ptr<QProcess>> savers;
    for (int i = 0; i < kWorkstations; ++i) {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kSaverEnv), server_ + QLatin1Char('|') + folder +
                                                       QLatin1Char('|') +
                                                       QString::number(available, 'f', 2));
        p->setProcessEnvironment(env);
        p->start(self, {});
        savers.push_back(std::move(p));
    }
    int saved = 0;
    int refused = 0;
    for (const Finished& f : runAtOnce(savers, folder)) {
        EXPECT_EQ(f.exitCode, 0) << f.err.toStdString();
        saved += f.out == QLatin1String("saved");
        refused += f.out == QLatin1String("stock short");
    }
    EXPECT_EQ(saved, 1);
    EXPECT_EQ(refused, kWorkstations - 1);

    const auto modules = modulesOn(server_, 101);
    EXPECT_EQ(allocated() - allocatedBefore, qint64(available));
}

TEST_P(ConcurrentSaves, SpecialOrdersSavedAtOnceGetTheirOwnNumbersAndAreAllPicked) {
    const QString& folder = folder_;
    constexpr int kWorkstations = 4;
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    std::vector<std::unique_ptr<QProcess>> savers;
    for (int i = 0; i < kWorkstations; ++i) {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kSpecialSaverEnv), server_ + QLatin1Char('|') + folder);
        p->setProcessEnvironment(env);
        p->start(self, {});
        savers.push_back(std::move(p));
    }
    QStringList numbers;
    for (const Finished& f : runAtOnce(savers, folder)) {
        EXPECT_EQ(f.exitCode, 0) << f.err.toStdString();
        EXPECT_TRUE(f.out.startsWith(QLatin1String("saved "))) << f.out.toStdString();
        numbers << f.out.section(QLatin1Char(' '), 1);
    }
    EXPECT_EQ(QSet<QString>(numbers.begin(), numbers.end()).size(), kWorkstations);

    const auto modules = modulesOn(server_, 102);
    for (const QString& number : numbers) {
        db::Query q(QStringLiteral("DMDATA"),
                    db::SqlSource("select count(*), sum(case when CloseOrder in ('P','B') then 1 "
                                  "else 0 end) from TranBranch where OrderNo = :N"));
        q.params().set(QStringLiteral("N"), number);
        q.open();
        EXPECT_EQ(q.fields()[0]->asInteger(), 5) << number.toStdString();
        EXPECT_EQ(q.fields()[1]->asInteger(), 5) << number.toStdString();
    }
    // A picking number belongs to one order.
    db::Query shared(QStringLiteral("DMDATA"),
                     db::SqlSource("select count(*) from (select ProductManageNo from TranBranch "
                                   "where ProductManageNo <> '' group by ProductManageNo "
                                   "having count(distinct OrderNo) > 1) Shared"));
    shared.open();
    EXPECT_EQ(shared.fields()[0]->asInteger(), 0);
}

TEST(Concurrency, SimultaneousFirstStartUpsOnAServerNeverUpgradedAllSucceed) {
    QTemporaryDir work;
    QDir().rename(testing_support::freshDemoServer(), work.filePath(QStringLiteral("data")));
    constexpr int kWorkstations = 6;
    std::vector<std::unique_ptr<QProcess>> starts;
    for (int i = 0; i < kWorkstations; ++i) {
        auto p = std::make_unique<QProcess>();
        p->setWorkingDirectory(work.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("ORDERTOOL_PROMPTS"), QStringLiteral("script"));
        env.insert(QStringLiteral("ORDERTOOL_EXIT_AFTER_SHOW"), QStringLiteral("1"));
        p->setProcessEnvironment(env);
        p->start(QStringLiteral(ORDERTOOL_APP), {"101", "1", "NVKDC", "x", "4"});
        starts.push_back(std::move(p));
    }
    // The program does not wait for a signal: starting them together is the race.
    for (const Finished& f : runAtOnce(starts, work.path())) {
        EXPECT_EQ(f.exitCode, 0) << f.err.toStdString();
        EXPECT_EQ(f.out, QStringLiteral("WINDOW: บันทึกใบแบ่ง Approved AUTO (M22.07.22)"))
            << f.err.toStdString();
    }
}

} // namespace
