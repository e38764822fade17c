#include "support/ToolRun.h"

#include <QProcess>

namespace testing_support {

ToolRun runTool(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral(ORDERTOOL_DB_TOOL), args);
    ToolRun run;
    if (!process.waitForFinished(300000)) {
        process.kill();
        process.waitForFinished();
        run.err = QStringLiteral("tool did not finish");
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace testing_support
