#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <memory>
#include <string>
#include <vector>

namespace db {
class Connection;
}

namespace testing_support {

// A throw-away embedded server: a temporary folder holding an empty <NAME>.sqlite file for
// each database named. Files are made and read with the raw sqlite3 API, so a test sees the
// server as any other program would. The folder goes with the object.
class TempServer {
public:
    explicit TempServer(const QStringList& databases = {QStringLiteral("NVKDC"),
                                                        QStringLiteral("NVK"),
                                                        QStringLiteral("QRV_CONFIG_NVK")});
    TempServer(const TempServer&) = delete;
    TempServer& operator=(const TempServer&) = delete;

    QString folder() const { return folder_; }
    QString serverName() const { return QStringLiteral("sqlite:") + folder_; }
    QString fileOf(const QString& database) const;

    // Runs one or more ';'-separated statements on a database; throws std::runtime_error.
    void exec(const QString& database, const QString& sql) const;
    // Every row of a select, its columns joined by '|', NULL written as "NULL".
    std::vector<std::string> rows(const QString& database, const QString& sql) const;
    // The first column of the first row; a null variant when there is no row.
    QVariant scalar(const QString& database, const QString& sql) const;

    // A connection registered under the name, pointed at a database of this server
    // (not yet open: it opens on first use).
    std::unique_ptr<db::Connection> connect(const QString& connectionName, const QString& database,
                                            const QStringList& moreParams = {}) const;

private:
    QTemporaryDir dir_;
    QString folder_;
};

} // namespace testing_support
