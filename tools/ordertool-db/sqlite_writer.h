#pragma once

#include "data_sink.h"
#include "server_schema.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct sqlite3;

namespace dbtool {

// Writes a server as one SQLite file per database, <folder>/<NAME>.sqlite.
//
// The constructor creates the files and their tables and opens one transaction per database
// with journaling and syncing off. finish() commits, creates the indexes, gathers planner
// statistics and switches every file to WAL, which the runtime relies on. Without finish()
// the files are left incomplete; the caller removes them.
class SqliteServerWriter final : public ServerSink {
public:
    SqliteServerWriter(const std::filesystem::path& folder,
                       const std::vector<DatabaseSchema>& schema);
    ~SqliteServerWriter() override;
    SqliteServerWriter(const SqliteServerWriter&) = delete;
    SqliteServerWriter& operator=(const SqliteServerWriter&) = delete;

    TableSink& table(std::string_view database, std::string_view table,
                     std::initializer_list<std::string_view> columns) override;

    void finish();

    using TableCount = dbtool::TableCount;
    // Rows written per table, in the order the tables were first asked for.
    std::vector<TableCount> counts() const;

    // File name of a database on an embedded server.
    static std::string fileName(std::string_view database);

private:
    struct Database;
    class Table;

    Database& database(std::string_view name);

    std::vector<std::unique_ptr<Database>> databases_;
    std::map<std::string, std::unique_ptr<Table>, std::less<>> tables_;
    std::vector<Table*> tableOrder_;
};

} // namespace dbtool
