#pragma once

#include "platform/db/DbError.h"

#include "platform/db/Backend.h"

struct sqlite3;

namespace db {

// The embedded server: a folder is a server, each database the file <folder>/<NAME>.sqlite.
// Server names read "sqlite:<folder>", the folder relative to the working directory.
class SqliteBackend : public Backend {
public:
    BackendKind kind() const override { return BackendKind::Sqlite; }
    bool handles(const QString& serverName) const override;
    std::unique_ptr<Session> open(const ConnectionSettings& settings) override;

    // The folder a server name points at; empty when the name is not of this backend.
    static QString folderOf(const QString& serverName);
    // Database names a folder holds (upper case, without extension).
    static QStringList databasesIn(const QString& folder);
    static QString fileOf(const QString& folder, const QString& databaseName);

    // Registers the T-SQL functions and decimal helpers on a raw handle (used by tools too).
    static void registerFunctions(sqlite3* handle);
};

// Wording of an SQLite failure in the terms the error dialog recognises, native text kept.
QString wordSqliteError(int extendedCode, const QString& nativeMessage);
DbErrorKind sqliteErrorKind(int extendedCode);

} // namespace db
