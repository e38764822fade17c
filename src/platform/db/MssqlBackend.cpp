#include "platform/db/MssqlBackend.h"

#include "platform/db/MssqlSession.h"
#include "platform/db/MssqlText.h"

namespace db {

bool MssqlBackend::handles(const QString& serverName) const {
    return mssql::isServerName(serverName);
}

std::unique_ptr<Session> MssqlBackend::open(const ConnectionSettings& settings) {
    return std::make_unique<MssqlSession>(settings);
}

} // namespace db
