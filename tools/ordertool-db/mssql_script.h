#pragma once

#include "server_data.h"
#include "server_schema.h"

#include <ostream>
#include <string>

namespace dbtool {

// SQLite DDL in SQL Server's terms; throws std::logic_error on a type it does not translate.
// Text columns become NVARCHAR of the same length (the databases are created with a
// case-insensitive Thai collation), AUTOINCREMENT keys identity columns, partial indexes
// filtered ones; unique indexes leave NULLs out, as the other servers do.
std::string mssqlStatement(const std::string& sqliteDdl);

// Writes a T-SQL script (batches separated by "GO" lines, for sqlcmd or any client that
// splits them) that creates on an empty SQL Server the system's databases with their tables,
// the demo rows of the given day, the indexes, the four procedures and the login "qrv" the
// program uses. With force, databases of those names are dropped first; without it the script
// stops at its first batch when one exists. The same day gives the same script.
void writeMssqlScript(std::ostream& out, Day today, bool force);

} // namespace dbtool
