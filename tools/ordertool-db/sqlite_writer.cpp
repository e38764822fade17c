#include "sqlite_writer.h"

#include <sqlite3.h>

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <thread>

namespace dbtool {

namespace {

[[noreturn]] void fail(sqlite3* db, std::string_view what) {
    throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
}

void exec(sqlite3* db, const char* sql, std::string_view context) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        std::string text = message ? message : sqlite3_errmsg(db);
        sqlite3_free(message);
        throw std::runtime_error(std::string(context) + ": " + text);
    }
}

} // namespace

struct SqliteServerWriter::Database {
    const DatabaseSchema* schema = nullptr;
    sqlite3* handle = nullptr;

    ~Database() {
        if (handle) {
            sqlite3_close_v2(handle);
        }
    }

    std::string context(std::string_view step) const {
        return std::string(schema->name) + ": " + std::string(step);
    }

    // Commits the load, then builds what only pays off once the rows are in.
    void finish() {
        exec(handle, "COMMIT", context("commit"));
        exec(handle, "BEGIN", context("begin indexes"));
        for (const char* sql : schema->indexes) {
            exec(handle, sql, context("create indexes"));
        }
        // Statistics let the planner choose between the indexes of large tables; the limit keeps
        // the analysis to a sample of each index.
        exec(handle, "PRAGMA analysis_limit=1000; ANALYZE", context("analyze"));
        exec(handle, "COMMIT", context("commit indexes"));
        // The runtime opens the files in WAL mode; the mode is stored in the file itself.
        exec(handle, "PRAGMA journal_mode=WAL", context("switch to WAL"));
        exec(handle, "PRAGMA synchronous=NORMAL", context("synchronous"));
        if (sqlite3_close(handle) != SQLITE_OK) {
            fail(handle, context("close"));
        }
        handle = nullptr;
    }
};

class SqliteServerWriter::Table final : public TableSink {
public:
    Table(Database& db, std::string_view table, std::initializer_list<std::string_view> columns)
        : db_(db), name_(table), columnCount_(static_cast<int>(columns.size())) {
        std::string sql = "INSERT INTO " + name_ + " (";
        std::string values;
        for (std::string_view column : columns) {
            if (!values.empty()) {
                sql += ", ";
                values += ", ";
            }
            sql += column;
            values += "?";
        }
        sql += ") VALUES (" + values + ")";
        if (sqlite3_prepare_v3(db_.handle, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &stmt_,
                               nullptr) != SQLITE_OK) {
            fail(db_.handle, db_.context("prepare " + sql));
        }
    }
    ~Table() override { release(); }

    void add(std::initializer_list<Cell> row) override {
        if (static_cast<int>(row.size()) != columnCount_) {
            throw std::logic_error(db_.context(name_ + ": row of " + std::to_string(row.size()) +
                                               " values for " + std::to_string(columnCount_) +
                                               " columns"));
        }
        int index = 1;
        for (const Cell& cell : row) {
            int rc = SQLITE_OK;
            switch (cell.kind()) {
            case Cell::Kind::Null:
                rc = sqlite3_bind_null(stmt_, index);
                break;
            case Cell::Kind::Integer:
                rc = sqlite3_bind_int64(stmt_, index, cell.integer());
                break;
            case Cell::Kind::Real:
                rc = sqlite3_bind_double(stmt_, index, cell.real());
                break;
            case Cell::Kind::Text:
                // The text outlives the step below; every value is bound again for the next row.
                rc = sqlite3_bind_text(stmt_, index, cell.text().data(),
                                       static_cast<int>(cell.text().size()), SQLITE_STATIC);
                break;
            }
            if (rc != SQLITE_OK) {
                fail(db_.handle, db_.context("bind " + name_));
            }
            ++index;
        }
        if (sqlite3_step(stmt_) != SQLITE_DONE) {
            std::string error = sqlite3_errmsg(db_.handle);
            sqlite3_reset(stmt_);
            throw std::runtime_error(db_.context("insert into " + name_) + ": " + error);
        }
        sqlite3_reset(stmt_);
        ++rows_;
    }

    void release() {
        if (stmt_) {
            sqlite3_finalize(stmt_);
            stmt_ = nullptr;
        }
    }

    const Database& database() const { return db_; }
    const std::string& name() const { return name_; }
    std::int64_t rows() const { return rows_; }

private:
    Database& db_;
    std::string name_;
    int columnCount_;
    sqlite3_stmt* stmt_ = nullptr;
    std::int64_t rows_ = 0;
};

std::string SqliteServerWriter::fileName(std::string_view database) {
    return std::string(database) + ".sqlite";
}

SqliteServerWriter::SqliteServerWriter(const std::filesystem::path& folder,
                                       const std::vector<DatabaseSchema>& schema) {
    for (const DatabaseSchema& s : schema) {
        auto db = std::make_unique<Database>();
        db->schema = &s;
        const std::string path = (folder / fileName(s.name)).string();
        if (sqlite3_open_v2(path.c_str(), &db->handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr) != SQLITE_OK) {
            std::string error = db->handle ? sqlite3_errmsg(db->handle) : "out of memory";
            throw std::runtime_error(path + ": " + error);
        }
        // Loading runs without a journal and without syncing: a failed load is thrown away.
        exec(db->handle,
             "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA cache_size=-65536; "
             "PRAGMA temp_store=MEMORY",
             db->context("pragmas"));
        exec(db->handle, "BEGIN", db->context("begin"));
        for (const char* sql : s.tables) {
            exec(db->handle, sql, db->context("create tables"));
        }
        databases_.push_back(std::move(db));
    }
}

SqliteServerWriter::~SqliteServerWriter() {
    for (Table* t : tableOrder_) {
        t->release();
    }
}

SqliteServerWriter::Database& SqliteServerWriter::database(std::string_view name) {
    for (auto& db : databases_) {
        if (name == db->schema->name) {
            return *db;
        }
    }
    throw std::logic_error("unknown database " + std::string(name));
}

TableSink& SqliteServerWriter::table(std::string_view database, std::string_view table,
                                     std::initializer_list<std::string_view> columns) {
    std::string key = std::string(database) + '.' + std::string(table) + '(';
    for (std::string_view column : columns) {
        key += column;
        key += ',';
    }
    auto it = tables_.find(key);
    if (it == tables_.end()) {
        auto t = std::make_unique<Table>(this->database(database), table, columns);
        tableOrder_.push_back(t.get());
        it = tables_.emplace(std::move(key), std::move(t)).first;
    }
    return *it->second;
}

void SqliteServerWriter::finish() {
    for (Table* t : tableOrder_) {
        t->release();
    }
    // Each database has its own connection, so indexing runs on all cores at once.
    std::vector<std::exception_ptr> errors(databases_.size());
    std::vector<std::thread> workers;
    for (std::size_t i = 0; i < databases_.size(); ++i) {
        workers.emplace_back([this, i, &errors] {
            try {
                databases_[i]->finish();
            } catch (...) {
                errors[i] = std::current_exception();
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    for (const std::exception_ptr& error : errors) {
        if (error) {
            std::rethrow_exception(error);
        }
    }
}

std::vector<SqliteServerWriter::TableCount> SqliteServerWriter::counts() const {
    std::vector<TableCount> result;
    for (const Table* t : tableOrder_) {
        const std::string database = t->database().schema->name;
        auto same = std::find_if(result.begin(), result.end(), [&](const TableCount& c) {
            return c.database == database && c.table == t->name();
        });
        if (same != result.end()) {
            same->rows += t->rows();
        } else {
            result.push_back({database, t->name(), t->rows()});
        }
    }
    return result;
}

} // namespace dbtool
