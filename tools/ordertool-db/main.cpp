// ordertool-db: creates a database server for the order tool.
//
//   ordertool-db init --server sqlite:<folder> --demo
//   ordertool-db init --server sqlite:<folder> --scale [--branches N] [--units N] [--tranbranch N]
//   ordertool-db init --server pgsql://[user[:password]@]host[:port]/database --demo
//   ordertool-db script --kind mssql --demo [--force] > server.sql
//
// An embedded server is a folder holding one SQLite file per database; a PostgreSQL server is
// one database holding a schema per database.

#include "mssql_script.h"
#include "pgsql_writer.h"
#include "platform/db/PgsqlBackend.h"
#include "server_data.h"
#include "server_schema.h"
#include "sqlite_writer.h"

#include <QCoreApplication>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace dbtool;

namespace {

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Options {
    fs::path folder;   // of an embedded server
    std::string pgsql; // or the name of a PostgreSQL server
    bool demo = false;
    bool scale = false;
    bool force = false;
    ScaleOptions sizes;
    bool sizesGiven = false;
};

Day localToday() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    using namespace std::chrono;
    return sys_days{year{local.tm_year + 1900} / month(unsigned(local.tm_mon + 1)) /
                    day(unsigned(local.tm_mday))};
}

std::string helpText() {
    const Day today = localToday();
    const int year = yearOf(today);
    auto product = [](int id, int unit) {
        const ProductInfo p = catalogueProduct(id);
        return p.units.at(unit).barcode + "  " + p.code + " " + p.name + " (" +
               p.units.at(unit).name + ")";
    };
    std::ostringstream out;
    out << "Usage:\n"
           "  ordertool-db init --server sqlite:<folder> --demo [--force]\n"
           "  ordertool-db init --server sqlite:<folder> --scale [--branches N] [--units N]\n"
           "                    [--tranbranch N] [--force]\n"
           "  ordertool-db init --server pgsql://[user[:password]@]host[:port]/database\n"
           "                    --demo|--scale ... [--force]\n"
           "  ordertool-db script --kind mssql --demo [--force] > server.sql\n"
           "  ordertool-db --help\n"
           "\n"
           "Creates a database server: on sqlite:<folder> one file <folder>/<NAME>.sqlite per\n"
           "database ("
        << kConfigDb << ", " << kCompanyDb << ", " << kProductDb << ", " << kTransferDb << ", "
        << kBranchStockDb << ", " << kMasterDb
        << ").\n"
           "On pgsql://... one schema per database, named in lower case, in that PostgreSQL\n"
           "database, with the functions the program needs in its public schema.\n"
           "The company database "
        << kCompanyDb
        << " is registered in the configuration database.\n"
           "script --kind mssql writes a T-SQL script that makes the same databases, the demo\n"
           "rows, the procedures and the program's login on an empty SQL Server (run it with\n"
           "sqlcmd); with --force it drops those databases first, without it it changes\n"
           "nothing on a server that has them.\n"
           "\n"
           "  --demo          about 40 branches, 300 products and documents in every state\n"
           "  --scale         a large company for benchmarks\n"
           "  --branches N    branches of --scale (default 2000, at least 5)\n"
           "  --units N       product units of --scale, about 3 per product (default 200000)\n"
           "  --tranbranch N  transfer order rows of --scale (default 1000000)\n"
           "  --force         replace the databases (files or schemas) of an existing server\n"
           "\n"
           "Demo barcodes (smallest units unless noted):\n"
           "  "
        << product(1, 0)
        << "\n      picks in packs of 12, stock at the centre, back orders and goods in transit\n"
           "  "
        << product(1, 1)
        << "\n      a larger unit of the same product: rejected by both documents\n"
           "  "
        << product(2, 0) << "\n      picks in multiples of 2.5\n  " << product(3, 0)
        << "\n      no picking multiple (UnitPicking 0)\n  " << product(17, 0)
        << "\n      no stock at the distribution centre\n  " << product(4, 0)
        << "\n      no price: not listed by the product lookup (product 6 is priced 0)\n"
           "\n"
           "Demo users (menu 101 share order, 102 special order): 1 Thai and 2 English may\n"
           "open and save, 3 may only open, 4 may not open.\n"
           "Stored share orders: "
        << documentNo("SH", year, 1) << " approved, " << documentNo("SH", year, 3) << " open, "
        << documentNo("SH", year, 4) << " cancelled,\n  " << documentNo("SH", year, 5)
        << " open (pack 2.5). Special orders: " << documentNo("SP", year, 1) << " to "
        << documentNo("SP", year, 4)
        << ".\n"
           "Example: ordertool 101 1 NVKDC launcher 4, run from a folder whose Server.Dat\n"
           "names this server.\n";
    return out.str();
}

std::int64_t parseCount(const std::string& option, const std::string& text, std::int64_t minimum) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) {
        throw UsageError(option + " needs a whole number, not '" + text + "'");
    }
    if (value < minimum) {
        throw UsageError(option + " must be at least " + std::to_string(minimum));
    }
    return value;
}

Options parseArguments(const std::vector<std::string>& args) {
    if (args.empty()) {
        throw UsageError("no command given");
    }
    if (args[0] != "init") {
        throw UsageError("unknown command '" + args[0] + "'");
    }
    Options options;
    std::optional<std::string> server;
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        auto takeValue = [&]() {
            if (!value) {
                if (i + 1 >= args.size()) {
                    throw UsageError(name + " needs a value");
                }
                value = args[++i];
            }
            return *value;
        };
        auto noValue = [&]() {
            if (value) {
                throw UsageError(name + " takes no value");
            }
        };
        if (name == "--server") {
            server = takeValue();
        } else if (name == "--demo") {
            noValue();
            options.demo = true;
        } else if (name == "--scale") {
            noValue();
            options.scale = true;
        } else if (name == "--force") {
            noValue();
            options.force = true;
        } else if (name == "--branches") {
            options.sizes.branches = static_cast<int>(parseCount(name, takeValue(), 5));
            options.sizesGiven = true;
        } else if (name == "--units") {
            options.sizes.units = static_cast<int>(parseCount(name, takeValue(), 1));
            options.sizesGiven = true;
        } else if (name == "--tranbranch") {
            options.sizes.tranBranch = parseCount(name, takeValue(), 0);
            options.sizesGiven = true;
        } else {
            throw UsageError("unknown option '" + args[i] + "'");
        }
    }
    if (!server) {
        throw UsageError("--server sqlite:<folder> or --server pgsql://... is required");
    }
    const std::string scheme = "sqlite:";
    if (server->rfind("pgsql:", 0) == 0) {
        if (!db::PgsqlAddress::parse(QString::fromStdString(*server))) {
            throw UsageError("--server must be pgsql://[user[:password]@]host[:port]/database, "
                             "not '" +
                             *server + "'");
        }
        options.pgsql = *server;
    } else if (server->rfind(scheme, 0) != 0) {
        const auto colon = server->find(':');
        throw UsageError(colon == std::string::npos
                             ? "--server must be sqlite:<folder>, not '" + *server + "'"
                             : "server kind '" + server->substr(0, colon) +
                                   "' is not supported; use sqlite:<folder> or pgsql://...");
    } else {
        options.folder = server->substr(scheme.size());
        if (options.folder.empty()) {
            throw UsageError("--server sqlite: needs a folder");
        }
    }
    if (options.demo == options.scale) {
        throw UsageError("give exactly one of --demo and --scale");
    }
    if (options.sizesGiven && !options.scale) {
        throw UsageError("--branches, --units and --tranbranch belong to --scale");
    }
    if (options.sizes.units > 50'000'000 || options.sizes.branches > 1'000'000) {
        throw UsageError("--units is limited to 50000000 and --branches to 1000000");
    }
    return options;
}

bool hasSuffix(const std::string& name, const std::string& suffix) {
    return name.size() >= suffix.size() &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Database files of a server folder, with their WAL companions when `companions`.
std::vector<fs::path> serverFiles(const fs::path& folder, bool companions) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (hasSuffix(name, ".sqlite") ||
            (companions && (hasSuffix(name, ".sqlite-wal") || hasSuffix(name, ".sqlite-shm")))) {
            files.push_back(entry.path());
        }
    }
    return files;
}

void prepareFolder(const Options& options) {
    const fs::path& folder = options.folder;
    if (!fs::exists(folder)) {
        fs::create_directories(folder);
        return;
    }
    if (!fs::is_directory(folder)) {
        throw UsageError("'" + folder.string() + "' exists and is not a folder");
    }
    const auto existing = serverFiles(folder, false);
    if (!existing.empty() && !options.force) {
        throw UsageError("'" + folder.string() + "' already holds a server (" +
                         existing.front().filename().string() +
                         (existing.size() > 1 ? " and others" : "") +
                         "); use --force to replace it");
    }
    for (const fs::path& file : serverFiles(folder, true)) {
        fs::remove(file);
    }
}

void removeDatabases(const fs::path& folder) {
    std::error_code ignored;
    for (const DatabaseSchema& db : sqliteSchema()) {
        const fs::path file = folder / SqliteServerWriter::fileName(db.name);
        for (const char* suffix : {"", "-wal", "-shm"}) {
            fs::remove(file.string() + suffix, ignored);
        }
    }
}

void printCounts(const std::vector<TableCount>& counts) {
    for (const auto& c : counts) {
        std::printf("  %-16s %-24s %10lld\n", c.database.c_str(), c.table.c_str(),
                    static_cast<long long>(c.rows));
    }
}

void fill(ServerSink& sink, const Options& options, Day today) {
    if (options.demo) {
        writeDemoData(sink, today);
    } else {
        writeScaleData(sink, today, options.sizes);
    }
}

// The server name without its password, for messages.
std::string shownServer(const std::string& serverName) {
    const auto address = db::PgsqlAddress::parse(QString::fromStdString(serverName));
    if (!address || address->password.isEmpty()) {
        return serverName;
    }
    return QStringLiteral("pgsql://%1@%2:%3/%4")
        .arg(address->user, address->host)
        .arg(address->port)
        .arg(address->database)
        .toStdString();
}

int runPgsql(const Options& options) {
    const auto started = std::chrono::steady_clock::now();
    PgsqlServerWriter writer(QString::fromStdString(options.pgsql), pgsqlSchema());
    const auto existing = writer.existingDatabases();
    if (!existing.empty() && !options.force) {
        throw UsageError(shownServer(options.pgsql) + " already holds a server (" +
                         existing.front() + (existing.size() > 1 ? " and others" : "") +
                         "); use --force to replace it");
    }
    // One transaction: a failed load leaves the server as it was.
    writer.create();
    fill(writer, options, localToday());
    writer.finish();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("Created %s server %s with %zu databases in %.1f s\n",
                options.demo ? "demo" : "scale", shownServer(options.pgsql).c_str(),
                pgsqlSchema().size(), seconds);
    printCounts(writer.counts());
    return 0;
}

int run(const Options& options) {
    if (!options.pgsql.empty()) {
        return runPgsql(options);
    }
    prepareFolder(options);
    const Day today = localToday();
    const auto started = std::chrono::steady_clock::now();
    std::vector<TableCount> counts;
    try {
        SqliteServerWriter writer(options.folder, sqliteSchema());
        fill(writer, options, today);
        writer.finish();
        counts = writer.counts();
    } catch (...) {
        // A half-written server would block the next attempt without --force.
        removeDatabases(options.folder);
        throw;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("Created %s server sqlite:%s with %zu databases in %.1f s\n",
                options.demo ? "demo" : "scale", options.folder.string().c_str(),
                sqliteSchema().size(), seconds);
    printCounts(counts);
    return 0;
}

// ordertool-db script --kind mssql --demo [--force]: the script on standard output.
int runScript(const std::vector<std::string>& args) {
    std::string kind;
    bool demo = false;
    bool force = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--kind" && i + 1 < args.size()) {
            kind = args[++i];
        } else if (args[i].rfind("--kind=", 0) == 0) {
            kind = args[i].substr(7);
        } else if (args[i] == "--demo") {
            demo = true;
        } else if (args[i] == "--force") {
            force = true;
        } else {
            throw UsageError("unknown option '" + args[i] + "' of script");
        }
    }
    if (kind != "mssql") {
        throw UsageError("script needs --kind mssql");
    }
    if (!demo) {
        throw UsageError("script needs --demo (the only data it writes)");
    }
    writeMssqlScript(std::cout, localToday(), force);
    std::cout.flush();
    return std::cout ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    // Qt's SQL drivers are plugins, loaded through the application object.
    QCoreApplication app(argc, argv);
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::fputs(helpText().c_str(), stdout);
            return 0;
        }
    }
    try {
        if (!args.empty() && args[0] == "script") {
            return runScript(args);
        }
        return run(parseArguments(args));
    } catch (const UsageError& e) {
        std::fprintf(stderr, "ordertool-db: %s\nTry 'ordertool-db --help'.\n", e.what());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ordertool-db: %s\n", e.what());
        return 1;
    }
}
