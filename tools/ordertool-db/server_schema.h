#pragma once

#include <string>
#include <vector>

namespace dbtool {

// Names of the databases of one server. On the embedded server each is the file
// <folder>/<name>.sqlite; the runtime attaches them under these names.
inline constexpr const char* kConfigDb = "QRV_CONFIG_NVK"; // companies, users, menus, branches
inline constexpr const char* kCompanyDb = "NVKDC";         // the company's business database
inline constexpr const char* kProductDb = "NVK";           // product master, prices, levels
inline constexpr const char* kTransferDb = "NVKTRANSFER";  // inter-branch transfer documents
inline constexpr const char* kBranchStockDb = "NVKBRANCH"; // stock on hand of every branch
inline constexpr const char* kMasterDb = "MASTER";         // server catalogue placeholder

// The DDL of one database for one server kind: pieces of statements, run in order.
struct DatabaseSchema {
    const char* name;                 // one of the names above
    std::vector<const char*> tables;  // CREATE TABLE statements, run before loading
    std::vector<const char*> indexes; // CREATE INDEX statements, run after loading
};

// Every database of an embedded (SQLite) server, in creation order.
const std::vector<DatabaseSchema>& sqliteSchema();

// The same databases on PostgreSQL, translated from the SQLite statements: text columns become
// citext (compared without regard to case), dates timestamp(3), FLOAT double precision and
// AUTOINCREMENT keys identity columns that also take the ids the generators give. Each
// database is a schema; the statements are unqualified and run with it as the search path.
const std::vector<DatabaseSchema>& pgsqlSchema();

// SQLite DDL in PostgreSQL's terms; throws std::logic_error on a type it does not translate.
std::string pgsqlStatement(const std::string& sqliteDdl);

} // namespace dbtool
