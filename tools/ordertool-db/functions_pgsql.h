#pragma once

#include <vector>

namespace db {
class Session;
}

namespace dbtool {

// What a PostgreSQL server needs so the program's T-SQL statements run on it unchanged:
// GetDate, Len and IsNull as SQL functions, '+' joining texts, and the citext type for
// case-insensitive text columns, and the catalogue views SysDatabases, SysObjects and
// SysColumns, and the stored procedures NewDocumentNo, MENUCAPTION, AddErrorLog and
// ServerTime as functions returning one row of their outputs. Left and Right are
// PostgreSQL's own. Each statement may
// run again on a server that has them already. Objects go to the public schema, which every
// session searches after its database's schema.
const std::vector<const char*>& pgsqlFunctionStatements();

// Runs them on a session of the server (any database of it).
void createPgsqlFunctions(db::Session& session);

} // namespace dbtool
