// Start-up outcomes of the real program on the demo server, run headless and scripted.
#include "support/DemoServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Outcome {
    int exitCode = -1;
    QString output;
};

class Startup : public ::testing::Test {
protected:
    void SetUp() override {
        // The default server name reaches the folder "data" of the working directory.
        const QString demo = testing_support::freshDemoServer();
        QDir().rename(demo, work_.filePath(QStringLiteral("data")));
    }
    Outcome run(const QStringList& args) {
        QProcess p;
        p.setWorkingDirectory(work_.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("ORDERTOOL_PROMPTS"), QStringLiteral("script"));
        env.insert(QStringLiteral("ORDERTOOL_EXIT_AFTER_SHOW"), QStringLiteral("1"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(ORDERTOOL_APP), args);
        if (!p.waitForFinished(30000)) {
            p.kill();
            return {};
        }
        QString out = QString::fromUtf8(p.readAllStandardOutput());
        while (out.endsWith(QLatin1Char('\n'))) {
            out.chop(1); // the last line's end; blanks inside a message are its own
        }
        return {p.exitCode(), out};
    }
    void writeServerDat(const QString& line) {
        QFile f(work_.filePath(QStringLiteral("Server.Dat")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(line.toUtf8() + "\r\n");
    }
    QTemporaryDir work_;
};

const QString kShareWindow = QStringLiteral("WINDOW: บันทึกใบแบ่ง Approved AUTO (M22.07.22)");

TEST_F(Startup, OutcomesOfTheLaunchersCommandLines) {
    struct Case {
        QStringList args;
        int exitCode;
        QString output; // exact, or with one "*" standing for any text
    };
    const QString notFound = QStringLiteral("MESSAGE: Not Found Database : ");
    const Case cases[] = {
        {{}, 0, {}},
        {{"101", "1", "NVKDC", "x"}, 1, "MESSAGE: '' is not a valid integer value"},
        {{"101", "1", "NVKDC", "x", "four"}, 1, "MESSAGE: 'four' is not a valid integer value"},
        {{"menu", "1", "NVKDC", "x", "4"}, 1, "MESSAGE: 'menu' is not a valid integer value"},
        {{"101", "1.5", "NVKDC", "x", "4"}, 1, "MESSAGE: '1.5' is not a valid integer value"},
        {{"101", "1", "NVKDC", "x", "4"}, 0, kShareWindow},
        {{"101", "1", "NVKDC", "anything at all", "4"}, 0, kShareWindow},
        {{"101", "1", "nvkdc", "", "4"}, 0, kShareWindow},
        {{"101", "1", " nvkdc ", "x", "4"}, 0, notFound + " NVKDC "},
        {{"101", "1", "NoSuchCo", "x", "4"}, 0, notFound + "NOSUCHCO"},
        {{"101", "4", "NoSuchCo", "x", "4"}, 0, notFound + "NOSUCHCO"},
        {{"102", "1", "NVKDC", "x", "5"}, 0, "WINDOW: *(M24.03.26)"},
        {{"101", "1", "NVKDC", "x", "6"}, 0, {}},
        {{"101", "2", "NVKDC", "x", "4"}, 0, kShareWindow},
        {{"101", "3", "NVKDC", "x", "4"}, 0, kShareWindow},
        {{"101", "4", "NVKDC", "x", "4"}, 0, {}},
        {{"101", "4", "NVKDC", "x", "5"}, 0, {}},
    };
    for (const Case& c : cases) {
        const Outcome o = run(c.args);
        const std::string label = c.args.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(o.exitCode, c.exitCode) << label << "\n" << o.output.toStdString();
        if (c.output.contains(QLatin1Char('*'))) {
            EXPECT_TRUE(o.output.startsWith(c.output.section(QLatin1Char('*'), 0, 0)) &&
                        o.output.endsWith(c.output.section(QLatin1Char('*'), 1)))
                << label << "\n"
                << o.output.toStdString();
        } else {
            EXPECT_EQ(o.output, c.output) << label;
        }
    }
}

TEST_F(Startup, NoArgumentsTouchesNoDatabaseEvenWithABrokenServerName) {
    writeServerDat(QStringLiteral("sqlite:nowhere"));
    const Outcome o = run({});
    EXPECT_EQ(o.exitCode, 0);
    EXPECT_TRUE(o.output.isEmpty());
}

TEST_F(Startup, AServerThatDoesNotExistEndsWithAClearMessage) {
    writeServerDat(QStringLiteral("sqlite:nowhere"));
    const Outcome o = run({"101", "1", "NVKDC", "x", "4"});
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_TRUE(o.output.startsWith(QStringLiteral("MESSAGE: SQL Server does not exist")))
        << o.output.toStdString();
}

// Server.Dat naming a SQL Server that refuses the connection, or takes it and never answers.
TEST_F(Startup, ASqlServerThatIsNotThereEndsAsAnyUnreachableServer) {
    QTcpServer silent; // the system accepts connections for it; it never answers
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    quint16 closed = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        closed = probe.serverPort();
    }
    for (const quint16 port : {closed, silent.serverPort()}) {
        writeServerDat(QStringLiteral("127.0.0.1,%1").arg(port));
        QElapsedTimer timer;
        timer.start();
        const Outcome o = run({"101", "1", "NVKDC", "x", "4"});
        EXPECT_EQ(o.exitCode, 1) << port;
        EXPECT_TRUE(o.output.startsWith(QStringLiteral("MESSAGE: SQL Server does not exist")))
            << o.output.toStdString();
        EXPECT_LT(timer.elapsed(), 25000) << "past the login time-out";
    }
}

TEST_F(Startup, RunsTwiceOnTheSameConfigurationAndFallsBackToQrvConfig) {
    EXPECT_EQ(run({"101", "1", "NVKDC", "x", "4"}).output, kShareWindow);
    EXPECT_EQ(run({"101", "1", "NVKDC", "x", "4"}).output, kShareWindow); // upgrade again
    const QDir data(work_.filePath(QStringLiteral("data")));
    ASSERT_TRUE(QFile::rename(data.filePath(QStringLiteral("QRV_CONFIG_NVK.sqlite")),
                              data.filePath(QStringLiteral("QRV_CONFIG.sqlite"))));
    EXPECT_EQ(run({"101", "1", "NVKDC", "x", "4"}).output, kShareWindow);
    ASSERT_TRUE(QFile::remove(data.filePath(QStringLiteral("QRV_CONFIG.sqlite"))));
    const Outcome o = run({"101", "1", "NVKDC", "x", "4"});
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_TRUE(o.output.contains(QStringLiteral("QRV_CONFIG"))) << o.output.toStdString();
}

} // namespace
