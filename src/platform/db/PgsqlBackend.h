#pragma once

#include "platform/db/DbError.h"

#include "platform/db/Backend.h"

#include <optional>

namespace db {

// Where a PostgreSQL server is, as a server name "pgsql://[user[:password]@]host[:port]/database"
// gives it. User and password may be percent-encoded; a host in brackets is an IPv6 address.
struct PgsqlAddress {
    QString user;
    QString password;
    QString host;
    int port = 5432;
    QString database;

    // nullopt when the name is not of this form.
    static std::optional<PgsqlAddress> parse(const QString& serverName);
};

// A PostgreSQL server. One PostgreSQL database holds the whole system: each database of the
// system (configuration, company, NVK, ...) is a schema of it, named in lower case.
class PgsqlBackend : public Backend {
public:
    BackendKind kind() const override { return BackendKind::Pgsql; }
    bool handles(const QString& serverName) const override;
    std::unique_ptr<Session> open(const ConnectionSettings& settings) override;

    // The schema holding a database of the system; empty when the name cannot be one.
    static QString schemaOf(const QString& databaseName);
};

// Wording of a PostgreSQL failure in the terms the error dialog recognises, native text kept.
// sqlState is empty when the server gave none (the connection failed or was lost).
QString wordPgsqlError(const QString& sqlState, const QString& nativeMessage);
DbErrorKind pgsqlErrorKind(const QString& sqlState);

} // namespace db
