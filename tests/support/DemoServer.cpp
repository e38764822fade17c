#include "support/DemoServer.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>
#include <stdexcept>
#include <vector>

namespace testing_support {

namespace {

std::vector<std::unique_ptr<QTemporaryDir>>& folders() {
    static std::vector<std::unique_ptr<QTemporaryDir>> dirs;
    return dirs;
}

QString buildDemo() {
    auto dir = std::make_unique<QTemporaryDir>();
    const QString folder = dir->filePath(QStringLiteral("data"));
    QProcess tool;
    tool.start(QStringLiteral(ORDERTOOL_DB_TOOL),
               {QStringLiteral("init"), QStringLiteral("--server"), serverName(folder),
                QStringLiteral("--demo")});
    if (!tool.waitForFinished(120000) || tool.exitCode() != 0) {
        throw std::runtime_error("ordertool-db --demo failed: " +
                                 tool.readAllStandardError().toStdString());
    }
    folders().push_back(std::move(dir));
    return folder;
}

} // namespace

QString sharedDemoServer() {
    static const QString folder = buildDemo();
    return folder;
}

QString freshDemoServer() {
    // Copying the shared one is faster than generating again.
    const QString source = sharedDemoServer();
    auto dir = std::make_unique<QTemporaryDir>();
    const QString folder = dir->filePath(QStringLiteral("data"));
    QDir().mkpath(folder);
    for (const QString& f : QDir(source).entryList(QDir::Files)) {
        QFile::copy(QDir(source).filePath(f), QDir(folder).filePath(f));
    }
    folders().push_back(std::move(dir));
    return folder;
}

} // namespace testing_support
