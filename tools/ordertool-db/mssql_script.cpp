// A SQL Server made from the same description as the other servers: the SQLite tables and
// indexes translated, the demo rows as INSERTs, and the four procedures in T-SQL.

#include "mssql_script.h"

#include "data_sink.h"

#include <cstdio>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace dbtool {

namespace {

constexpr const char* kCollation = "Thai_CI_AS"; // compares text without regard to case
constexpr std::size_t kRowsPerInsert = 500;      // the server takes at most 1000

std::string upper(std::string s) {
    for (char& c : s) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return s;
}

// "Col NOT IN ('a','b')" as a filtered index takes it: one comparison per value.
std::string notInAsComparisons(const std::string& filter) {
    static const std::regex notIn(R"((\w+) NOT IN \(([^)]*)\))");
    std::smatch m;
    if (!std::regex_search(filter, m, notIn)) {
        return filter;
    }
    std::string out;
    static const std::regex value(R"('[^']*')");
    const std::string values = m[2].str();
    for (auto it = std::sregex_iterator(values.begin(), values.end(), value);
         it != std::sregex_iterator(); ++it) {
        out += (out.empty() ? "" : " AND ") + m[1].str() + " <> " + it->str();
    }
    return m.prefix().str() + out + m.suffix().str();
}

// One CREATE INDEX statement; unique ones leave NULL keys out (the server would allow one).
std::string indexStatement(const std::string& statement) {
    static const std::regex index(
        R"(^CREATE (UNIQUE )?INDEX (\w+) ON (\w+) \(([^)]*)\)(?: WHERE (.*))?$)");
    std::smatch m;
    if (!std::regex_match(statement, m, index)) {
        throw std::logic_error("no SQL Server translation for: " + statement);
    }
    std::vector<std::string> filters;
    if (m[5].matched) {
        filters.push_back(notInAsComparisons(m[5].str()));
    }
    if (m[1].matched) {
        const std::string columns = m[4].str();
        static const std::regex column(R"(\w+)");
        for (auto it = std::sregex_iterator(columns.begin(), columns.end(), column);
             it != std::sregex_iterator(); ++it) {
            filters.push_back(it->str() + " IS NOT NULL");
        }
    }
    std::string out = "CREATE " + m[1].str() + "INDEX " + m[2].str() + " ON " + m[3].str() + " (" +
                      m[4].str() + ")";
    for (std::size_t i = 0; i < filters.size(); ++i) {
        out += (i == 0 ? " WHERE " : " AND ") + filters[i];
    }
    return out;
}

std::vector<std::string> statementsOf(const std::string& ddl) {
    std::vector<std::string> out;
    std::string current;
    std::istringstream in(ddl);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() && current.empty()) {
            continue;
        }
        current += (current.empty() ? "" : "\n") + line;
        if (!line.empty() && line.back() == ';') {
            current.pop_back();
            out.push_back(current);
            current.clear();
        }
    }
    if (current.find_first_not_of(" \n") != std::string::npos) {
        out.push_back(current);
    }
    return out;
}

// Tables of a piece of SQLite DDL whose key is generated.
std::set<std::string> identityTables(const std::string& ddl) {
    std::set<std::string> names;
    static const std::regex table(
        R"(CREATE TABLE (\w+) \(\s*Id INTEGER PRIMARY KEY AUTOINCREMENT)");
    for (auto it = std::sregex_iterator(ddl.begin(), ddl.end(), table);
         it != std::sregex_iterator(); ++it) {
        names.insert(upper((*it)[1].str()));
    }
    return names;
}

std::string quoted(std::string_view text) {
    std::string out = "N'";
    for (char c : text) {
        out += c;
        if (c == '\'') {
            out += '\'';
        }
    }
    return out + "'";
}

std::string literal(const Cell& cell) {
    switch (cell.kind()) {
    case Cell::Kind::Null:
        return "NULL";
    case Cell::Kind::Integer:
        return std::to_string(cell.integer());
    case Cell::Kind::Real: {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.17g", cell.real());
        return buf;
    }
    case Cell::Kind::Text:
        break;
    }
    return quoted(cell.text());
}

// The rows of the generators, kept per table until their database is written.
class ScriptSink final : public ServerSink {
public:
    struct Table final : TableSink {
        std::string database;
        std::string name;
        std::string columns;
        bool givesId = false;
        std::vector<std::string> rows;
        void add(std::initializer_list<Cell> row) override {
            std::string values;
            for (const Cell& c : row) {
                values += (values.empty() ? "" : ", ") + literal(c);
            }
            rows.push_back("(" + values + ")");
        }
    };

    TableSink& table(std::string_view database, std::string_view table,
                     std::initializer_list<std::string_view> columns) override {
        std::string key = upper(std::string(database)) + "." + upper(std::string(table));
        std::string columnList;
        bool givesId = false;
        for (std::string_view c : columns) {
            columnList += (columnList.empty() ? "" : ", ") + std::string(c);
            givesId = givesId || upper(std::string(c)) == "ID";
        }
        key += "(" + columnList + ")";
        auto it = tables_.find(key);
        if (it == tables_.end()) {
            auto t = std::make_unique<Table>();
            t->database = upper(std::string(database));
            t->name = std::string(table);
            t->columns = columnList;
            t->givesId = givesId;
            order_.push_back(t.get());
            it = tables_.emplace(key, std::move(t)).first;
        }
        return *it->second;
    }

    std::vector<const Table*> tablesOf(const std::string& database) const {
        std::vector<const Table*> out;
        for (const Table* t : order_) {
            if (t->database == upper(database)) {
                out.push_back(t);
            }
        }
        return out;
    }

private:
    std::map<std::string, std::unique_ptr<Table>> tables_;
    std::vector<Table*> order_;
};

// The procedures the workstations call, by database. Each sets NOCOUNT so that its outputs
// reach the client with the call's return, and returns no rows.
const char* const kMenuCaption = R"sql(CREATE PROCEDURE dbo.MENUCAPTION
    @MENUID INT, @USERID INT,
    @CAPTION NVARCHAR(255) OUTPUT, @ACCESS_R NVARCHAR(10) OUTPUT, @ADD_R NVARCHAR(10) OUTPUT,
    @MODIFY_R NVARCHAR(10) OUTPUT, @DELETE_R NVARCHAR(10) OUTPUT,
    @USERCODE NVARCHAR(20) OUTPUT, @SALESID INT OUTPUT
AS
BEGIN
    -- The caption of a menu and the user's rights on it, with the user's code and salesman;
    -- all empty for a menu that does not exist.
    SET NOCOUNT ON;
    SELECT @CAPTION = NULL, @ACCESS_R = NULL, @ADD_R = NULL, @MODIFY_R = NULL,
           @DELETE_R = NULL, @USERCODE = NULL, @SALESID = NULL;
    SELECT @CAPTION = m.Caption, @ACCESS_R = r.Access_R, @ADD_R = r.Add_R,
           @MODIFY_R = r.Modify_R, @DELETE_R = r.Delete_R, @USERCODE = u.Code,
           @SALESID = u.Saleman
    FROM Menu m
    LEFT JOIN MenuRight r ON r.MenuId = m.Id AND r.UserId = @USERID
    LEFT JOIN username u ON u.Id = @USERID
    WHERE m.Id = @MENUID;
    RETURN 0;
END)sql";

const char* const kAddErrorLog = R"sql(CREATE PROCEDURE dbo.AddErrorLog
    @CompName NVARCHAR(50), @LogName NVARCHAR(50), @UserId INT, @MenuId INT,
    @ErrorMsg NVARCHAR(4000)
AS
BEGIN
    -- One line of the error log, stamped with the server's clock.
    SET NOCOUNT ON;
    INSERT INTO ErrorLog (LogTime, CompName, LogName, UserId, MenuId, ErrorMsg)
    VALUES (GETDATE(), @CompName, @LogName, @UserId, @MenuId, @ErrorMsg);
    RETURN 0;
END)sql";

const char* const kNewDocumentNo = R"sql(CREATE PROCEDURE dbo.NewDocumentNo
    @DocCode NVARCHAR(20), @DocYear INT, @NewNo NVARCHAR(50) OUTPUT
AS
BEGIN
    -- The next number of a document code and year: prefix, two-digit year and the running
    -- number padded with zeros to the document length. The count is bumped under an update
    -- lock held to the end of the transaction, so no two callers draw the same number. A
    -- year without a row starts from the code's latest row with the count at zero.
    SET NOCOUNT ON;
    DECLARE @Outer INT = @@TRANCOUNT;
    DECLARE @Bumped TABLE (Prefix NVARCHAR(10), LastNo INT, DocumentLength INT);
    IF @Outer = 0 BEGIN TRANSACTION; ELSE SAVE TRANSACTION NewDocumentNo;
    UPDATE DocumentNo WITH (UPDLOCK, HOLDLOCK) SET LastNo = ISNULL(LastNo, 0) + 1
    OUTPUT inserted.Prefix, inserted.LastNo, inserted.DocumentLength INTO @Bumped
    WHERE Code = @DocCode AND DocYear = @DocYear;
    IF NOT EXISTS (SELECT 1 FROM @Bumped)
    BEGIN
        INSERT INTO DocumentNo (Code, DocYear, Description, Prefix, LastNo, DocumentLength,
                                AutoRun)
        SELECT TOP (1) Code, @DocYear, Description, Prefix, 0, DocumentLength, AutoRun
        FROM DocumentNo WITH (UPDLOCK, HOLDLOCK)
        WHERE Code = @DocCode
          AND NOT EXISTS (SELECT 1 FROM DocumentNo d WITH (UPDLOCK, HOLDLOCK)
                          WHERE d.Code = @DocCode AND d.DocYear = @DocYear)
        ORDER BY DocYear DESC;
        UPDATE DocumentNo WITH (UPDLOCK, HOLDLOCK) SET LastNo = ISNULL(LastNo, 0) + 1
        OUTPUT inserted.Prefix, inserted.LastNo, inserted.DocumentLength INTO @Bumped
        WHERE Code = @DocCode AND DocYear = @DocYear;
    END
    IF NOT EXISTS (SELECT 1 FROM @Bumped)
    BEGIN
        IF @Outer = 0 ROLLBACK TRANSACTION; ELSE ROLLBACK TRANSACTION NewDocumentNo;
        RAISERROR(N'Document code ''%s'' has no numbering row.', 16, 1, @DocCode);
        RETURN 1;
    END
    IF @Outer = 0 COMMIT TRANSACTION;
    DECLARE @Prefix NVARCHAR(10), @LastNo INT, @Length INT, @Width INT, @Digits NVARCHAR(20);
    SELECT @Prefix = ISNULL(Prefix, N''), @LastNo = LastNo, @Length = ISNULL(DocumentLength, 0)
    FROM @Bumped;
    SET @Width = CASE WHEN @Length - LEN(@Prefix) - 2 > 1 THEN @Length - LEN(@Prefix) - 2
                      ELSE 1 END;
    SET @Digits = CAST(@LastNo AS NVARCHAR(20));
    IF LEN(@Digits) < @Width SET @Digits = REPLICATE(N'0', @Width - LEN(@Digits)) + @Digits;
    SET @NewNo = @Prefix + RIGHT(N'0' + CAST(@DocYear % 100 AS NVARCHAR(2)), 2) + @Digits;
    RETURN 0;
END)sql";

const char* const kServerTime = R"sql(CREATE PROCEDURE dbo.ServerTime
    @ServerTime DATETIME OUTPUT
AS
BEGIN
    SET NOCOUNT ON;
    SET @ServerTime = GETDATE();
    RETURN 0;
END)sql";

std::vector<const char*> proceduresOf(const std::string& database) {
    if (database == kConfigDb) {
        return {kMenuCaption, kAddErrorLog};
    }
    if (database == kCompanyDb) {
        return {kNewDocumentNo, kServerTime};
    }
    return {};
}

// The databases of the script: every one of the description but the server's own catalogue.
std::vector<const DatabaseSchema*> scriptDatabases() {
    std::vector<const DatabaseSchema*> out;
    for (const DatabaseSchema& db : sqliteSchema()) {
        if (std::string(db.name) != kMasterDb) {
            out.push_back(&db);
        }
    }
    return out;
}

} // namespace

std::string mssqlStatement(const std::string& sqliteDdl) {
    static const struct {
        std::regex from;
        const char* to;
    } rules[] = {
        {std::regex(R"(\bINTEGER PRIMARY KEY AUTOINCREMENT\b)"), "INT IDENTITY(1,1) PRIMARY KEY"},
        {std::regex(R"(\bVARCHAR\((\d+)\) COLLATE NOCASE\b)"), "NVARCHAR($1)"},
        {std::regex(R"(\bINTEGER\b)"), "INT"},
    };
    std::string result = sqliteDdl;
    for (const auto& rule : rules) {
        result = std::regex_replace(result, rule.from, rule.to);
    }
    for (const char* left : {"NOCASE", "AUTOINCREMENT", " VARCHAR", "TEXT", "REAL"}) {
        if (result.find(left) != std::string::npos) {
            throw std::logic_error(std::string("no SQL Server translation for ") + left +
                                   " in: " + sqliteDdl);
        }
    }
    return result;
}

void writeMssqlScript(std::ostream& out, Day today, bool force) {
    ScriptSink rows;
    writeDemoData(rows, today);
    const auto databases = scriptDatabases();

    out << "-- The order tool's databases with demo data, for a test server.\n"
           "-- Run with: sqlcmd -S <server> -U <login> -P <password> -f 65001 -i <this file>\n"
           "-- (the file is UTF-8: -f 65001 keeps its Thai texts).\n"
           "-- Dates in the rows read year, month, day under every login language; filtered\n"
           "-- indexes and the procedures need the ANSI settings ODBC clients have.\n"
           "SET NOCOUNT ON;\nSET DATEFORMAT ymd;\nSET ANSI_NULLS ON;\nSET QUOTED_IDENTIFIER ON;\n"
           "SET ANSI_PADDING ON;\nSET ANSI_WARNINGS ON;\nSET ARITHABORT ON;\n"
           "SET CONCAT_NULL_YIELDS_NULL ON;\nSET NUMERIC_ROUNDABORT OFF;\nGO\n";
    if (force) {
        for (const DatabaseSchema* db : databases) {
            out << "IF DB_ID(N'" << db->name << "') IS NOT NULL\nBEGIN\n    ALTER DATABASE ["
                << db->name << "] SET SINGLE_USER WITH ROLLBACK IMMEDIATE;\n    DROP DATABASE ["
                << db->name << "];\nEND\nGO\n";
        }
    } else {
        out << "IF";
        for (std::size_t i = 0; i < databases.size(); ++i) {
            out << (i == 0 ? " " : " OR ") << "DB_ID(N'" << databases[i]->name << "') IS NOT NULL";
        }
        // NOEXEC keeps every later batch from running: nothing of an existing server changes.
        out << "\nBEGIN\n    RAISERROR(N'The server already holds the databases; the script "
               "made with --force replaces them.', 16, 1);\n    SET NOEXEC ON;\nEND\nGO\n";
    }
    // The login the program connects with.
    out << "IF SUSER_ID(N'qrv') IS NULL\n    CREATE LOGIN qrv WITH PASSWORD = N'mahogany', "
           "CHECK_POLICY = OFF;\nGO\n";

    for (const DatabaseSchema* db : databases) {
        const std::string name = db->name;
        out << "\n-- " << name << "\nCREATE DATABASE [" << name << "] COLLATE " << kCollation
            << ";\nGO\nUSE [" << name << "];\nGO\n"
            << "CREATE USER qrv FOR LOGIN qrv;\nALTER ROLE db_owner ADD MEMBER qrv;\nGO\n";
        std::set<std::string> identities;
        for (const char* piece : db->tables) {
            for (const std::string& s : statementsOf(piece)) {
                out << mssqlStatement(s) << ";\n";
            }
            const auto more = identityTables(piece);
            identities.insert(more.begin(), more.end());
        }
        out << "GO\n";
        for (const ScriptSink::Table* t : rows.tablesOf(name)) {
            const bool identityInsert = t->givesId && identities.count(upper(t->name)) > 0;
            if (identityInsert) {
                out << "SET IDENTITY_INSERT " << t->name << " ON;\n";
            }
            for (std::size_t i = 0; i < t->rows.size(); i += kRowsPerInsert) {
                out << "INSERT INTO " << t->name << " (" << t->columns << ") VALUES\n";
                const std::size_t end = std::min(t->rows.size(), i + kRowsPerInsert);
                for (std::size_t r = i; r < end; ++r) {
                    out << "    " << t->rows[r] << (r + 1 < end ? ",\n" : ";\n");
                }
            }
            if (identityInsert) {
                out << "SET IDENTITY_INSERT " << t->name << " OFF;\n";
            }
            out << "GO\n";
        }
        for (const char* piece : db->indexes) {
            for (const std::string& s : statementsOf(piece)) {
                out << indexStatement(s) << ";\n";
            }
        }
        out << "GO\n";
        for (const char* procedure : proceduresOf(name)) {
            out << procedure << "\nGO\n";
        }
    }
    if (!force) {
        out << "SET NOEXEC OFF;\nGO\n";
    }
}

} // namespace dbtool
