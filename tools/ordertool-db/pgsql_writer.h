#pragma once

#include "data_sink.h"
#include "server_schema.h"

#include <QString>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace db {
class QtSqlConnection;
}

namespace dbtool {

// Writes a server into one PostgreSQL database, one schema per database of the server (named
// in lower case), with the functions, operators and views the program needs in public.
//
// create() and everything up to finish() run in a single transaction: a load that fails
// leaves the server as it was. Rows are sent with COPY, a few megabytes at a time; finish()
// creates the indexes, sets every identity past the loaded ids and commits.
class PgsqlServerWriter final : public ServerSink {
public:
    // Connects to the server "pgsql://[user[:password]@]host[:port]/database"; throws
    // std::runtime_error when that fails.
    PgsqlServerWriter(const QString& serverName, const std::vector<DatabaseSchema>& schema);
    ~PgsqlServerWriter() override;
    PgsqlServerWriter(const PgsqlServerWriter&) = delete;
    PgsqlServerWriter& operator=(const PgsqlServerWriter&) = delete;

    // The databases of the schema that already exist on the server.
    std::vector<std::string> existingDatabases();

    // Begins the load: drops the schemas of existing databases, then creates the server's
    // functions and every schema with its tables.
    void create();

    TableSink& table(std::string_view database, std::string_view table,
                     std::initializer_list<std::string_view> columns) override;

    void finish();

    // Rows written per table, in the order the tables were first asked for; after finish().
    std::vector<TableCount> counts() const;

private:
    class Table;

    const DatabaseSchema& database(std::string_view name) const;
    void run(const QString& sql, const QString& context);
    void useDatabase(const DatabaseSchema& db);
    void setIdentities(const DatabaseSchema& db);

    std::unique_ptr<db::QtSqlConnection> connection_; // declared first: outlives the tables
    const std::vector<DatabaseSchema>& schema_;
    bool inTransaction_ = false;
    std::map<std::string, std::unique_ptr<Table>, std::less<>> tables_;
    std::vector<Table*> tableOrder_;
    std::vector<TableCount> counts_;
};

} // namespace dbtool
