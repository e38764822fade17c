#pragma once

#include "platform/db/Backend.h"

namespace db {

// Microsoft SQL Server through Qt's ODBC driver (FreeTDS on Linux, the vendor's driver on
// Windows). A server name without a kind prefix is one: "SQLSRV01", "host\instance",
// "host,port". Statements run as written; only their parameters become positional.
class MssqlBackend : public Backend {
public:
    BackendKind kind() const override { return BackendKind::Mssql; }
    bool handles(const QString& serverName) const override;
    std::unique_ptr<Session> open(const ConnectionSettings& settings) override;
};

} // namespace db
