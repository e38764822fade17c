// Runs the ordertool-db tool into temporary folders and checks the servers it creates with
// plain sqlite3 queries: file layout, schema rules the runtime depends on, demo invariants,
// the sizes of a scale server and that the documents' statements are served by indexes.

#include "support/ToolRun.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <ctime>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const QStringList kDatabases = {"QRV_CONFIG_NVK", "NVKDC",     "NVK",
                                "NVKTRANSFER",    "NVKBRANCH", "MASTER"};

using testing_support::runTool;
using testing_support::ToolRun;

QStringList initArgs(const QString& folder, const QStringList& more) {
    return QStringList{"init", "--server", "sqlite:" + folder} + more;
}

int currentYear() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_year + 1900;
}

// A server opened as the runtime sees it: the company database with every other database of
// the folder attached under its name.
class Server {
public:
    explicit Server(const QString& folder, const QString& main = "NVKDC") {
        const QByteArray path = QDir(folder).filePath(main + ".sqlite").toUtf8();
        if (sqlite3_open_v2(path.constData(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << "cannot open " << path.constData();
            return;
        }
        for (const QString& name : kDatabases) {
            if (name != main) {
                exec("ATTACH '" + QDir(folder).filePath(name + ".sqlite").toStdString() + "' AS " +
                     name.toStdString());
            }
        }
    }
    ~Server() { sqlite3_close_v2(db_); }
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    sqlite3* handle() const { return db_; }

    void exec(const std::string& sql) {
        char* message = nullptr;
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
            ADD_FAILURE() << sql << ": " << (message ? message : "");
        }
        sqlite3_free(message);
    }

    // All rows as texts; NULL reads as "<null>".
    std::vector<std::vector<std::string>> rows(const std::string& sql) {
        std::vector<std::vector<std::string>> result;
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db_);
            return result;
        }
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                const auto* text = sqlite3_column_text(stmt, i);
                row.push_back(text ? reinterpret_cast<const char*>(text) : "<null>");
            }
            result.push_back(std::move(row));
        }
        sqlite3_finalize(stmt);
        return result;
    }

    std::string text(const std::string& sql) {
        const auto r = rows(sql);
        return r.empty() || r[0].empty() ? "<no row>" : r[0][0];
    }
    long long number(const std::string& sql) { return std::stoll(text(sql)); }

    std::set<std::string> column(const std::string& sql) {
        std::set<std::string> values;
        for (const auto& row : rows(sql)) {
            values.insert(row.at(0));
        }
        return values;
    }

    // The query plan of a statement as its detail lines.
    std::vector<std::string> plan(const std::string& sql) {
        std::vector<std::string> lines;
        for (const auto& row : rows("EXPLAIN QUERY PLAN " + sql)) {
            lines.push_back(row.at(3));
        }
        return lines;
    }

private:
    sqlite3* db_ = nullptr;
};

class ServerFixture : public ::testing::Test {
protected:
    static QString create(std::unique_ptr<QTemporaryDir>& dir, const QStringList& options) {
        dir = std::make_unique<QTemporaryDir>();
        const QString folder = dir->filePath("server");
        const ToolRun run = runTool(initArgs(folder, options));
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        return folder;
    }
};

// ---------------------------------------------------------------------------------------------
// Command line and folder handling

TEST(OrderToolDbCommandLine, RejectsBadUsageWithExitCode1) {
    QTemporaryDir dir;
    const QString folder = dir.filePath("never");
    struct Case {
        QStringList args;
        QString message;
    };
    const std::vector<Case> cases = {
        {{}, "no command"},
        {{"create", "--server", "sqlite:" + folder, "--demo"}, "unknown command"},
        {{"init", "--demo"}, "--server"},
        {initArgs(folder, {}), "--demo"},
        {initArgs(folder, {"--demo", "--scale"}), "exactly one"},
        {{"init", "--server", "postgres:host", "--demo"}, "not supported"},
        {{"init", "--server", "pgsql://host-without-database", "--demo"}, "pgsql://"},
        {{"init", "--server", "sqlite:", "--demo"}, "folder"},
        {initArgs(folder, {"--demo", "--branches", "10"}), "--scale"},
        {initArgs(folder, {"--scale", "--units", "12x"}), "whole number"},
        {initArgs(folder, {"--scale", "--branches", "2"}), "at least 5"},
        {initArgs(folder, {"--scale", "--tranbranch"}), "needs a value"},
        {initArgs(folder, {"--demo", "--colour"}), "unknown option"},
    };
    for (const Case& c : cases) {
        const ToolRun run = runTool(c.args);
        EXPECT_EQ(run.exitCode, 1) << c.args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(c.message))
            << c.args.join(' ').toStdString() << " said: " << run.err.toStdString();
    }
    EXPECT_FALSE(QDir(folder).exists()) << "a refused command must not create the folder";
}

TEST(OrderToolDbFolder, RefusesToReplaceAServerWithoutForce) {
    QTemporaryDir dir;
    const QString folder = dir.filePath("server");
    ASSERT_EQ(runTool(initArgs(folder, {"--demo"})).exitCode, 0);
    {
        Server server(folder);
        server.exec("INSERT INTO MASTER.ServerInfo (Created, Description) "
                    "VALUES ('2000-01-01 00:00:00.000', 'marker')");
    }
    QFile stale(QDir(folder).filePath("OLD.sqlite"));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();

    const ToolRun refused = runTool(initArgs(folder, {"--demo"}));
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains("--force")) << refused.err.toStdString();
    {
        Server server(folder);
        EXPECT_EQ(server.number("SELECT count(*) FROM MASTER.ServerInfo WHERE Description = "
                                "'marker'"),
                  1)
            << "the refused run changed the server";
    }

    const ToolRun forced = runTool(initArgs(folder, {"--demo", "--force"}));
    ASSERT_EQ(forced.exitCode, 0) << forced.err.toStdString();
    EXPECT_FALSE(QFile::exists(stale.fileName())) << "--force keeps foreign database files";
    Server server(folder);
    EXPECT_EQ(server.number("SELECT count(*) FROM MASTER.ServerInfo WHERE Description = 'marker'"),
              0);
}

TEST(OrderToolDbFolder, CreatesMissingFoldersAndUsesFoldersWithoutDatabases) {
    QTemporaryDir dir;
    const QString nested = dir.filePath("a/b/server");
    EXPECT_EQ(runTool(initArgs(nested, {"--demo"})).exitCode, 0);
    EXPECT_TRUE(QFile::exists(QDir(nested).filePath("NVKDC.sqlite")));

    const QString used = dir.filePath("used");
    ASSERT_TRUE(QDir().mkpath(used));
    QFile note(QDir(used).filePath("Server.Dat"));
    ASSERT_TRUE(note.open(QIODevice::WriteOnly));
    note.write("sqlite:.\n");
    note.close();
    EXPECT_EQ(runTool(initArgs(used, {"--demo"})).exitCode, 0);
    EXPECT_TRUE(QFile::exists(note.fileName()));
}

// ---------------------------------------------------------------------------------------------
// The demo server

class DemoServer : public ServerFixture {
protected:
    static void SetUpTestSuite() { folder_ = create(dir_, {"--demo"}); }
    static void TearDownTestSuite() { dir_.reset(); }

    static std::unique_ptr<QTemporaryDir> dir_;
    static QString folder_;
};
std::unique_ptr<QTemporaryDir> DemoServer::dir_;
QString DemoServer::folder_;

TEST_F(DemoServer, CreatesOneUpperCaseFilePerDatabaseInWalMode) {
    QStringList expected;
    for (const QString& name : kDatabases) {
        expected << name + ".sqlite";
    }
    expected.sort();
    // Checked before any connection opens: the tool leaves no WAL companions behind.
    EXPECT_EQ(QDir(folder_).entryList(QDir::Files, QDir::Name), expected);
    for (const QString& name : kDatabases) {
        Server db(folder_, name);
        EXPECT_EQ(db.text("PRAGMA journal_mode"), "wal") << name.toStdString();
    }
}

// Declared types, collations and date texts of every column of every database.
TEST_F(DemoServer, EveryColumnFollowsTheTypeRules) {
    Server server(folder_);
    const std::regex allowed(R"(INTEGER|VARCHAR\([0-9]+\)|DECIMAL\(20,2\)|FLOAT|DATETIME)");
    int columns = 0;
    for (const QString& qdb : kDatabases) {
        const std::string db = qdb == "NVKDC" ? "main" : qdb.toStdString();
        for (const std::string& table :
             server.column("SELECT name FROM " + db +
                           ".sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite%'")) {
            for (const auto& info : server.rows("PRAGMA " + db + ".table_info(" + table + ")")) {
                const std::string& name = info.at(1);
                const std::string where = qdb.toStdString() + "." + table + "." + name;
                const char* type = nullptr;
                const char* collation = nullptr;
                ASSERT_EQ(sqlite3_table_column_metadata(server.handle(), db.c_str(), table.c_str(),
                                                        name.c_str(), &type, &collation, nullptr,
                                                        nullptr, nullptr),
                          SQLITE_OK)
                    << where;
                ++columns;
                EXPECT_TRUE(std::regex_match(type, allowed)) << where << " is " << type;
                if (std::string(type).rfind("VARCHAR", 0) == 0) {
                    EXPECT_STREQ(collation, "NOCASE") << where;
                }
                if (std::string(type) == "DATETIME") {
                    EXPECT_EQ(server.number("SELECT count(*) FROM " + db + "." + table + " WHERE " +
                                            name + " IS NOT NULL AND (typeof(" + name +
                                            ") <> 'text' OR " + name +
                                            " NOT GLOB '[12][0-9][0-9][0-9]-[01][0-9]-[0-3][0-9] "
                                            "[0-2][0-9]:[0-5][0-9]:[0-5][0-9].[0-9][0-9][0-9]')"),
                              0)
                        << where << " holds dates not stored as yyyy-MM-dd hh:mm:ss.zzz";
                }
            }
        }
    }
    EXPECT_GT(columns, 150);
    for (const char* table : {"TranBranch", "OrderShereHd", "OrderShereDt", "ProductUnits"}) {
        EXPECT_NE(
            server.text(std::string("SELECT sql FROM sqlite_master WHERE name = '") + table + "'")
                .find("Id INTEGER PRIMARY KEY AUTOINCREMENT"),
            std::string::npos)
            << table;
    }
}

TEST_F(DemoServer, HasTheColumnsTheProgramReadsButNotThoseItsUpgradeAdds) {
    Server server(folder_);
    auto columnsOf = [&](const std::string& db, const std::string& table) {
        return server.column("SELECT lower(name) FROM pragma_table_info('" + table + "', '" + db +
                             "')");
    };
    struct Expected {
        std::string db, table, columns;
    };
    const std::vector<Expected> expected = {
        {"QRV_CONFIG_NVK", "Branch",
         "BranchNo BranchCode BranchName StopDatabase ServerName "
         "Serverbranch"},
        {"QRV_CONFIG_NVK", "username",
         "Id Code fullname languageno Saleman EditSalePrice Approve_Quo Approve_SO Approve_IV "
         "Approve_PO Approved_PORQ ApproveTranWH ApproveTranBranch ApproveWorkOrder CanSeeCost "
         "CanSeeSalePrice CanModifyCusSale Approve_PreIs ApproveCustomerDropUse "
         "ApproveCustomerDropCredit CanModifyCredit CanSetProductBlock CanSetProductMinus "
         "CanSaleCreditOnReturnCheque CanSetOtherUserPass Approve_PoLevel1 Approve_PoLevel2 "
         "Approve_PoLevel3"},
        {"QRV_CONFIG_NVK", "CompanyConfig",
         "Company PicturePath Public_Price_IE DefaultWh POS1_Wh POS1_TaxCode POS1_Price_IE "
         "POS1_PriceType POS1_SumDetail DefaultPosComPort DefaultTax DefaultPosMenuId"},
        {"QRV_CONFIG_NVK", "DatabaseList", "Company DatabaseName Description YearNo"},
        {"QRV_CONFIG_NVK", "Company",
         "Id Code Password NameThai NameEng ShortName Address1 Address2 Address3 Address4 "
         "Province Zip Telephone Fax EMail Logo TaxNo InstallDate RunYear LocalServer FUNDNAME "
         "TaxBranchHead TaxBranchCode TaxBranchName"},
        {"QRV_CONFIG_NVK", "Menu", "Id Caption Command MenuOption"},
        {"QRV_CONFIG_NVK", "MenuRight", "MenuId UserId Access_R Add_R Modify_R Delete_R"},
        {"QRV_CONFIG_NVK", "ErrorLog", "Id LogTime CompName LogName UserId MenuId ErrorMsg"},
        {"main", "TranBranch",
         "Id OrderNo OrderDate OrderType OrderBranchId ProdCode BarCode BranchCode OrderQnty "
         "SendQnty TransendQnty CloseOrder Transfer UpdateBranch Locations CreateDate PickNo "
         "PickDate UserPick ResponsProdGroup ProductManageNo BoxNo Remark"},
        {"main", "OrderShereHd",
         "Id OrderNO OrderDate ProdCode BarCode UserCode Delflag Approved UserApproced "
         "UpToTranBranch Version LocalIP"},
        {"main", "OrderShereDt",
         "Id OrderShereHd BranchCode OrderQnty Remark MinStock MaxStock BackOrder ProductRoute"},
        {"main", "Product", "Id Code ThaiName UnitPicking BuyingCode Negative"},
        {"main", "ProductUnits", "Id Product Barcode UnitName SmallUnitFlag"},
        {"main", "ProductManageBranch", "BranchCode BarCode ReOrderQnty MinQnty MaxQnty"},
        {"main", "ProductOnhandSend", "ProdCode WhCode WhZone Onhand"},
        {"main", "DocumentNo", "Code DocYear Description Prefix LastNo DocumentLength AutoRun"},
        {"NVK", "Product", "Id Code ThaiName UnitPicking BuyingCode Negative"},
        {"NVK", "ProductUnits", "Id Product Barcode UnitName SmallUnitFlag"},
        {"NVK", "productprice", "Product ProductUnits price pricetype"},
        {"NVK", "ProductManageBranch", "BranchCode BarCode ReOrderQnty MinQnty MaxQnty"},
        {"NVKTRANSFER", "TranAllBranchHd", "Id ToBranch Delflag TranINOK"},
        {"NVKTRANSFER", "TranAllBranchDt", "TranAllBranchhd ProdCode BarCode QtyOut QtyIN"},
        {"NVKBRANCH", "ProductOnhandAllBranch", "BranchCode ProdCode Barcode Onhand"},
    };
    for (const Expected& e : expected) {
        const auto present = columnsOf(e.db, e.table);
        std::istringstream names(e.columns);
        for (std::string name; names >> name;) {
            std::string lower;
            for (char ch : name) {
                lower += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            }
            EXPECT_TRUE(present.count(lower)) << e.db << "." << e.table << " lacks " << name;
        }
    }
    // The program's schema upgrade adds these on its first connection.
    EXPECT_FALSE(columnsOf("QRV_CONFIG_NVK", "Menu").count("version"));
    EXPECT_FALSE(columnsOf("QRV_CONFIG_NVK", "username").count("userseeimport"));
    EXPECT_FALSE(columnsOf("QRV_CONFIG_NVK", "username").count("userseecost"));
}

TEST_F(DemoServer, ProductsHaveOneSmallUnitAndAreTheSameInBothDatabases) {
    Server server(folder_);
    for (const std::string db : {"main", "NVK"}) {
        EXPECT_EQ(server.number("SELECT count(*) FROM " + db +
                                ".Product P WHERE (SELECT count(*) "
                                "FROM " +
                                db +
                                ".ProductUnits U WHERE U.Product = P.Id AND "
                                "U.SmallUnitFlag = 'Y') <> 1"),
                  0)
            << db;
        EXPECT_EQ(server.number("SELECT count(*) FROM " + db +
                                ".ProductUnits WHERE SmallUnitFlag "
                                "NOT IN ('Y', 'N') OR Product NOT IN (SELECT Id FROM " +
                                db + ".Product)"),
                  0)
            << db;
    }
    EXPECT_GE(server.number("SELECT count(*) FROM Product"), 250);
    EXPECT_GT(server.number("SELECT count(*) FROM Product P WHERE (SELECT count(*) FROM "
                            "ProductUnits U WHERE U.Product = P.Id) >= 3"),
              100);
    const char* differences[] = {
        "SELECT Id, Code, ThaiName, UnitPicking, Negative FROM Product EXCEPT "
        "SELECT Id, Code, ThaiName, UnitPicking, Negative FROM NVK.Product",
        "SELECT Id, Code FROM NVK.Product EXCEPT SELECT Id, Code FROM Product",
        "SELECT Id, Product, Barcode, SmallUnitFlag FROM ProductUnits EXCEPT "
        "SELECT Id, Product, Barcode, SmallUnitFlag FROM NVK.ProductUnits",
        "SELECT Id FROM NVK.ProductUnits EXCEPT SELECT Id FROM ProductUnits",
    };
    for (const char* sql : differences) {
        EXPECT_EQ(server.rows(sql).size(), 0u) << sql;
    }
    EXPECT_EQ(server.column("SELECT CAST(UnitPicking AS TEXT) FROM Product"),
              (std::set<std::string>{"0", "1", "12", "2.5", "24", "6"}));
    EXPECT_EQ(server.column("SELECT Negative FROM Product"), (std::set<std::string>{"N", "Y"}));
}

TEST_F(DemoServer, BarcodesAreValidEan13) {
    Server server(folder_);
    const auto barcodes = server.column("SELECT Barcode FROM ProductUnits");
    ASSERT_FALSE(barcodes.empty());
    for (const std::string& code : barcodes) {
        ASSERT_EQ(code.size(), 13u) << code;
        int sum = 0;
        for (int i = 0; i < 12; ++i) {
            ASSERT_TRUE(std::isdigit(static_cast<unsigned char>(code[i]))) << code;
            sum += (code[i] - '0') * (i % 2 ? 3 : 1);
        }
        EXPECT_EQ(code[12] - '0', (10 - sum % 10) % 10) << code;
    }
}

TEST_F(DemoServer, BranchesHaveTheirFixedRoles) {
    Server server(folder_);
    EXPECT_NEAR(server.number("SELECT count(*) FROM QRV_CONFIG_NVK.Branch"), 40, 3);
    EXPECT_EQ(server.text("SELECT StopDatabase FROM QRV_CONFIG_NVK.Branch WHERE BranchCode = "
                          "'DC001'"),
              "N");
    EXPECT_EQ(server.number("SELECT count(*) FROM QRV_CONFIG_NVK.Branch WHERE BranchCode LIKE "
                            "'FS%' AND StopDatabase = 'N'"),
              2);
    EXPECT_EQ(server.column("SELECT StopDatabase FROM QRV_CONFIG_NVK.Branch"),
              (std::set<std::string>{"N", "Y"}));
    EXPECT_EQ(server.number("SELECT count(*) FROM QRV_CONFIG_NVK.Branch WHERE StopDatabase = "
                            "'Y'"),
              1);
    EXPECT_EQ(server.number("SELECT count(DISTINCT BranchNo) = count(*) FROM "
                            "QRV_CONFIG_NVK.Branch"),
              1);
}

TEST_F(DemoServer, TransferRowsCoverEveryStatusAndBothOrderTypes) {
    Server server(folder_);
    const auto codes = server.column("SELECT CloseOrder FROM TranBranch");
    for (const char* code : {"N", "B", "A", "O", "P", "S", "X", "C", "W", "T", "Y"}) {
        EXPECT_TRUE(codes.count(code)) << "no TranBranch row with CloseOrder " << code;
    }
    EXPECT_GT(codes.size(), 11u) << "no row with a status the program does not know";
    EXPECT_EQ(server.column("SELECT OrderType FROM TranBranch"), (std::set<std::string>{"L", "S"}));
    // Outstanding rows of product 1 give the share order back orders to show.
    EXPECT_GT(server.number("SELECT count(*) FROM TranBranch WHERE ProdCode = 'P000001' AND "
                            "CloseOrder NOT IN ('Y','W','T','C','X')"),
              0);
}

TEST_F(DemoServer, ShareOrdersMatchTheirTransferRows) {
    Server server(folder_);
    // Every share-order row comes from a line of an approved, transferred order.
    EXPECT_EQ(server.number(
                  "SELECT count(*) FROM TranBranch T WHERE T.OrderType = 'S' AND NOT EXISTS ("
                  " SELECT 1 FROM OrderShereDt D JOIN OrderShereHd H ON H.Id = D.OrderShereHd"
                  " WHERE D.Id = T.OrderBranchId AND D.BranchCode = T.BranchCode AND"
                  " D.OrderQnty = T.OrderQnty AND H.OrderNO = T.OrderNo AND H.BarCode = T.BarCode"
                  " AND H.Approved = 'Y' AND H.UpToTranBranch = 'Y')"),
              0);
    // ... and every positive line of such an order became one.
    EXPECT_EQ(server.number(
                  "SELECT count(*) FROM OrderShereDt D JOIN OrderShereHd H ON H.Id = "
                  "D.OrderShereHd WHERE H.UpToTranBranch = 'Y' AND D.OrderQnty > 0 AND NOT EXISTS"
                  " (SELECT 1 FROM TranBranch T WHERE T.OrderType = 'S' AND T.OrderBranchId = "
                  "D.Id)"),
              0);
    EXPECT_EQ(server.number("SELECT count(*) FROM TranBranch T JOIN OrderShereHd H ON H.OrderNO "
                            "= T.OrderNo WHERE H.Approved <> 'Y' OR H.Delflag = 'Y'"),
              0);
    EXPECT_GE(server.number("SELECT count(*) FROM OrderShereHd WHERE Approved = 'N' AND "
                            "UpToTranBranch = 'N' AND Delflag = 'N'"),
              1);
    EXPECT_GE(server.number("SELECT count(*) FROM OrderShereHd WHERE Delflag = 'Y'"), 1);
    EXPECT_GE(server.number("SELECT count(*) FROM OrderShereHd WHERE Approved = 'Y'"), 2);
    EXPECT_EQ(server.number("SELECT count(*) FROM OrderShereDt WHERE BranchCode = 'DC001'"), 0);
    EXPECT_EQ(server.number("SELECT count(*) FROM OrderShereHd H WHERE NOT EXISTS (SELECT 1 FROM "
                            "ProductUnits U WHERE U.Barcode = H.BarCode AND U.SmallUnitFlag = "
                            "'Y')"),
              0);
}

TEST_F(DemoServer, SpecialOrdersSendToOneBranchEach) {
    Server server(folder_);
    EXPECT_GE(server.number("SELECT count(DISTINCT OrderNo) FROM TranBranch WHERE OrderType = "
                            "'L'"),
              3);
    EXPECT_EQ(server.number("SELECT count(*) FROM (SELECT OrderNo FROM TranBranch WHERE OrderType "
                            "= 'L' GROUP BY OrderNo HAVING count(DISTINCT BranchCode) > 1 OR "
                            "count(DISTINCT OrderDate) > 1)"),
              0);
    EXPECT_EQ(server.number("SELECT count(*) FROM TranBranch WHERE OrderType = 'L' AND "
                            "(OrderBranchId <> 0 OR PickNo <> OrderNo)"),
              0);
    EXPECT_EQ(server.number("SELECT count(*) FROM TranBranch WHERE OrderType = 'L' AND "
                            "CloseOrder = 'P' AND (ProductManageNo IS NULL OR ResponsProdGroup "
                            "NOT LIKE '%#0__')"),
              0);
    EXPECT_EQ(server.number("SELECT count(*) FROM TranBranch WHERE OrderType = 'L' AND "
                            "CloseOrder = 'S' AND ResponsProdGroup <> 'SPECIAL'"),
              0);
    // A freshly saved order whose rows are all being picked (its cancel button is enabled).
    EXPECT_GE(server.number("SELECT count(*) FROM (SELECT OrderNo FROM TranBranch WHERE OrderType "
                            "= 'L' GROUP BY OrderNo HAVING sum(CloseOrder NOT IN ('P','N')) = 0)"),
              1);
}

TEST_F(DemoServer, DocumentNumbersRunOnFromTheStoredDocuments) {
    Server server(folder_);
    const std::string year = std::to_string(currentYear());
    const std::string last = std::to_string(currentYear() - 1);
    EXPECT_EQ(
        server.column("SELECT Code FROM DocumentNo WHERE DocYear = " + year + " AND AutoRun = 'Y'"),
        (std::set<std::string>{"ORD-SHARE", "PICKSPECIA", "PRODUCTMANAGE"}));
    EXPECT_EQ(server.number("SELECT count(*) FROM DocumentNo WHERE DocYear = " + last), 3);

    struct Numbered {
        const char* code;
        const char* numbers; // a query of stored numbers of that code
    };
    const Numbered documents[] = {
        {"ORD-SHARE", "SELECT OrderNO FROM OrderShereHd"},
        {"PICKSPECIA", "SELECT OrderNo FROM TranBranch WHERE OrderType = 'L'"},
        {"PRODUCTMANAGE", "SELECT ProductManageNo FROM TranBranch WHERE ProductManageNo IS NOT "
                          "NULL"},
    };
    for (const Numbered& d : documents) {
        for (const auto& row : server.rows(std::string("SELECT DocYear, Prefix, LastNo, "
                                                       "DocumentLength FROM DocumentNo WHERE "
                                                       "Code = '") +
                                           d.code + "'")) {
            // Numbers are issued as Prefix, two-digit year, zero-padded running number.
            const std::string prefix = row.at(1) + row.at(0).substr(2);
            const auto numbers = server.column(std::string(d.numbers));
            long long highest = 0;
            for (const std::string& number : numbers) {
                EXPECT_EQ(number.size(), std::stoul(row.at(3))) << d.code << " " << number;
                if (number.rfind(prefix, 0) == 0) {
                    highest = std::max(highest, std::stoll(number.substr(prefix.size())));
                }
            }
            EXPECT_GT(highest, 0) << d.code << " " << row.at(0) << ": no stored number";
            EXPECT_GE(std::stoll(row.at(2)), highest)
                << d.code << " " << row.at(0) << " would issue a stored number again";
        }
    }
}

TEST_F(DemoServer, CompanyUsersAndMenuRightsAreRegistered) {
    Server server(folder_);
    // The company lookup of the program: one row for the upper-cased database name.
    const auto company =
        server.rows("SELECT C.POS1_PriceType, M.Command FROM QRV_CONFIG_NVK.CompanyConfig C "
                    "JOIN QRV_CONFIG_NVK.DatabaseList O ON O.Company = C.Company "
                    "JOIN QRV_CONFIG_NVK.Company P ON P.Id = O.Company "
                    "LEFT JOIN QRV_CONFIG_NVK.Menu M ON M.Id = C.DefaultPosMenuId "
                    "WHERE O.DatabaseName = 'NVKDC'");
    ASSERT_EQ(company.size(), 1u);
    EXPECT_EQ(company[0][0], "1");

    EXPECT_EQ(
        server.rows("SELECT Id, languageno FROM QRV_CONFIG_NVK.username ORDER BY Id"),
        (std::vector<std::vector<std::string>>{{"1", "1"}, {"2", "2"}, {"3", "1"}, {"4", "1"}}));
    const std::vector<std::vector<std::string>> rights = {
        {"1", "Y", "Y"}, {"2", "Y", "Y"}, {"3", "Y", "N"}, {"4", "N", "N"}};
    for (const char* menu : {"101", "102"}) {
        EXPECT_EQ(server.rows(std::string("SELECT UserId, Access_R, Add_R FROM "
                                          "QRV_CONFIG_NVK.MenuRight WHERE MenuId = ") +
                              menu + " ORDER BY UserId"),
                  rights)
            << "menu " << menu;
        EXPECT_NE(
            server.text(std::string("SELECT Command FROM QRV_CONFIG_NVK.Menu WHERE Id = ") + menu),
            "<null>");
    }
    const std::string caption =
        server.text("SELECT Caption FROM QRV_CONFIG_NVK.Menu WHERE Id = 102");
    EXPECT_TRUE(caption.front() == ' ' && caption.back() == ' ') << "[" << caption << "]";
    // A menu group without a command keeps its version empty after the program's upgrade.
    EXPECT_GE(server.number("SELECT count(*) FROM QRV_CONFIG_NVK.Menu WHERE Command IS NULL"), 1);
}

TEST_F(DemoServer, PricesCoverWhatTheUnitLookupFiltersOut) {
    Server server(folder_);
    EXPECT_EQ(server.column("SELECT pricetype FROM NVK.productprice"),
              (std::set<std::string>{"1", "2"}));
    EXPECT_GE(server.number("SELECT count(*) FROM NVK.ProductUnits U WHERE NOT EXISTS (SELECT 1 "
                            "FROM NVK.productprice X WHERE X.ProductUnits = U.Id)"),
              1);
    EXPECT_GE(server.number("SELECT count(*) FROM NVK.productprice WHERE price = 0 AND pricetype "
                            "= 1"),
              1);
    EXPECT_EQ(server.number("SELECT count(*) FROM NVK.productprice X JOIN NVK.ProductUnits U ON "
                            "U.Id = X.ProductUnits WHERE X.Product <> U.Product"),
              0);
}

TEST_F(DemoServer, StockTransitAndLevelsIncludeTheCasesThatMustNotCount) {
    Server server(folder_);
    EXPECT_GE(server.column("SELECT substr(WhCode, 1, 1) FROM ProductOnhandSend").count("W"), 1u);
    EXPECT_GE(server.number("SELECT count(DISTINCT WhZone) FROM ProductOnhandSend"), 5);
    EXPECT_GE(server.number("SELECT count(*) FROM NVKTRANSFER.TranAllBranchHd WHERE Delflag = "
                            "'Y'"),
              1);
    EXPECT_GE(server.number("SELECT count(*) FROM NVKTRANSFER.TranAllBranchHd WHERE TranINOK = "
                            "'Y'"),
              1);
    EXPECT_EQ(server.number("SELECT count(*) FROM NVKTRANSFER.TranAllBranchDt D WHERE NOT EXISTS "
                            "(SELECT 1 FROM NVKTRANSFER.TranAllBranchHd H WHERE H.Id = "
                            "D.TranAllBranchhd)"),
              0);
    EXPECT_GT(server.number("SELECT count(*) FROM NVKBRANCH.ProductOnhandAllBranch"), 0);
    // Stock levels are the same in the company database and in NVK.
    EXPECT_GT(server.number("SELECT count(*) FROM ProductManageBranch"), 0);
    EXPECT_EQ(server
                  .rows("SELECT BranchCode, BarCode, MinQnty, MaxQnty FROM ProductManageBranch "
                        "EXCEPT SELECT BranchCode, BarCode, MinQnty, MaxQnty FROM "
                        "NVK.ProductManageBranch")
                  .size(),
              0u);
}

// The barcodes the help offers behave as it says.
TEST_F(DemoServer, HelpDescribesBarcodesOfTheDemo) {
    const ToolRun help = runTool({"--help"});
    ASSERT_EQ(help.exitCode, 0);
    QStringList barcodes;
    for (const auto& match : QRegularExpression(R"(\b\d{13}\b)").globalMatch(help.out)) {
        barcodes << match.captured(0);
    }
    ASSERT_GE(barcodes.size(), 4);
    Server server(folder_);
    auto unit = [&](const QString& barcode, const std::string& column) {
        return server.text("SELECT " + column +
                           " FROM ProductUnits U JOIN Product P ON P.Id = U.Product WHERE "
                           "U.Barcode = '" +
                           barcode.toStdString() + "'");
    };
    EXPECT_EQ(unit(barcodes[0], "U.SmallUnitFlag || ' ' || CAST(P.UnitPicking AS TEXT)"), "Y 12");
    EXPECT_GT(std::stod(unit(barcodes[0], "(SELECT sum(Onhand) FROM ProductOnhandSend O WHERE "
                                          "O.ProdCode = P.Code)")),
              0);
    EXPECT_EQ(unit(barcodes[1], "U.SmallUnitFlag"), "N");
    EXPECT_EQ(unit(barcodes[2], "U.SmallUnitFlag || ' ' || CAST(P.UnitPicking AS TEXT)"), "Y 2.5");
    EXPECT_EQ(unit(barcodes[3], "U.SmallUnitFlag || ' ' || CAST(P.UnitPicking AS TEXT)"), "Y 0");
    for (const QString& barcode : barcodes) {
        EXPECT_NE(unit(barcode, "U.Id"), "<no row>") << barcode.toStdString();
    }
}

// ---------------------------------------------------------------------------------------------
// A small scale server

class ScaleServer : public ServerFixture {
protected:
    static void SetUpTestSuite() {
        folder_ = create(
            dir_, {"--scale", "--branches", "50", "--units", "3000", "--tranbranch", "20000"});
    }
    static void TearDownTestSuite() { dir_.reset(); }

    static std::unique_ptr<QTemporaryDir> dir_;
    static QString folder_;
};
std::unique_ptr<QTemporaryDir> ScaleServer::dir_;
QString ScaleServer::folder_;

TEST_F(ScaleServer, HasTheRequestedSizes) {
    Server server(folder_);
    EXPECT_EQ(server.number("SELECT count(*) FROM QRV_CONFIG_NVK.Branch"), 50);
    EXPECT_EQ(server.number("SELECT count(*) FROM ProductUnits"), 3000);
    EXPECT_EQ(server.number("SELECT count(*) FROM NVK.ProductUnits"), 3000);
    EXPECT_EQ(server.number("SELECT count(*) FROM TranBranch"), 20000);
    EXPECT_EQ(server.number("SELECT count(*) FROM Product P WHERE (SELECT count(*) FROM "
                            "ProductUnits U WHERE U.Product = P.Id AND U.SmallUnitFlag = 'Y') <> "
                            "1"),
              0);
    const double unitsPerProduct = 3000.0 / server.number("SELECT count(*) FROM Product");
    EXPECT_GT(unitsPerProduct, 2.5);
    EXPECT_LT(unitsPerProduct, 3.5);
    for (const QString& name : kDatabases) {
        Server db(folder_, name);
        EXPECT_EQ(db.text("PRAGMA journal_mode"), "wal") << name.toStdString();
    }
}

TEST_F(ScaleServer, TransferRowsAreARealisticAndConsistentMix) {
    Server server(folder_);
    const double share =
        server.number("SELECT count(*) FROM TranBranch WHERE OrderType = 'S'") / 20000.0;
    EXPECT_GT(share, 0.4);
    EXPECT_LT(share, 0.8);
    const double delivered =
        server.number("SELECT count(*) FROM TranBranch WHERE CloseOrder IN ('Y','W','T')") /
        20000.0;
    EXPECT_GT(delivered, 0.5);
    EXPECT_GE(server.column("SELECT CloseOrder FROM TranBranch").size(), 9u);
    EXPECT_GT(server.number("SELECT count(DISTINCT BranchCode) FROM TranBranch"), 40);
    EXPECT_EQ(server.number("SELECT count(*) FROM TranBranch WHERE BranchCode = 'DC001'"), 0);
    EXPECT_EQ(server.number("SELECT count(*) FROM TranBranch T WHERE T.OrderType = 'S' AND NOT "
                            "EXISTS (SELECT 1 FROM OrderShereDt D WHERE D.Id = T.OrderBranchId "
                            "AND D.BranchCode = T.BranchCode)"),
              0);
    EXPECT_EQ(server.number("SELECT count(*) FROM (SELECT OrderNo FROM TranBranch WHERE OrderType "
                            "= 'L' GROUP BY OrderNo HAVING count(DISTINCT BranchCode) > 1)"),
              0);
    EXPECT_EQ(server.number("SELECT count(*) FROM TranBranch T WHERE NOT EXISTS (SELECT 1 FROM "
                            "ProductUnits U WHERE U.Barcode = T.BarCode AND U.SmallUnitFlag = "
                            "'Y')"),
              0);
    // Special orders of a whole range: the first takes every product this small company has
    // (fewer than the 2,000 lines a large company's first one gets). Every order names a
    // product once, and a picking number never covers more than 20 barcodes.
    const long long products = server.number("SELECT count(*) FROM Product");
    EXPECT_EQ(server.number("SELECT max(n) FROM (SELECT count(*) n FROM TranBranch WHERE "
                            "OrderType = 'L' GROUP BY OrderNo)"),
              products);
    EXPECT_EQ(server.number("SELECT count(*) FROM (SELECT OrderNo FROM TranBranch WHERE OrderType "
                            "= 'L' GROUP BY OrderNo HAVING count(*) <> count(DISTINCT BarCode))"),
              0);
    EXPECT_LE(server.number("SELECT max(n) FROM (SELECT count(*) n FROM TranBranch WHERE "
                            "OrderType = 'L' AND ProductManageNo <> '' GROUP BY "
                            "ProductManageNo)"),
              20);
    // Numbering continues after the highest stored number of each year.
    for (const auto& row : server.rows("SELECT DocYear, Prefix, LastNo FROM DocumentNo WHERE Code "
                                       "IN ('ORD-SHARE', 'PICKSPECIA')")) {
        const std::string prefix = row[1] + row[0].substr(2);
        const long long stored = server.number(
            "SELECT coalesce(max(CAST(substr(n, " + std::to_string(prefix.size() + 1) +
            ") AS INTEGER)), 0) FROM (SELECT OrderNO n FROM OrderShereHd UNION SELECT OrderNo "
            "FROM TranBranch) WHERE n LIKE '" +
            prefix + "%'");
        EXPECT_GE(std::stoll(row[2]), stored) << prefix;
    }
    EXPECT_EQ(server.number("SELECT count(*) FROM QRV_CONFIG_NVK.DatabaseList WHERE DatabaseName "
                            "= 'NVKDC'"),
              1);
    EXPECT_EQ(server.number("SELECT count(*) FROM QRV_CONFIG_NVK.MenuRight"), 8);
}

// The documents' statements, with three-part names reduced to database.table, must reach the
// large tables through indexes: a plan line that scans or builds an automatic index is allowed
// only where listed (the branch list, the materialised subqueries, and the back-order subquery
// of the special order's load, which groups every open row by barcode through an index of
// the open rows alone).
TEST_F(ScaleServer, DocumentStatementsUseIndexes) {
    Server server(folder_);
    struct Statement {
        const char* name;
        std::string sql;
        std::vector<std::string> allowed; // prefixes of plan lines that may scan
    };
    const std::vector<Statement> statements = {
        {"share order branch list",
         "SELECT B.BranchCode, (SELECT sum(OrderQnty - SendQnty) FROM TranBranch T WHERE "
         "T.CloseOrder NOT IN ('Y','W','T','C','X') AND T.BranchCode = B.BranchCode AND T.BarCode "
         "= "
         ":Barcode) BackOrder, M.MinQnty, T.ProductRoute, Ob.OnhandBranch "
         "FROM QRV_CONFIG_Nvk.Branch B "
         "LEFT JOIN (SELECT M.BranchCode, M.MinQnty FROM ProductManageBranch M WHERE M.Barcode = "
         ":Barcode) M ON M.BranchCode = B.BranchCode "
         "LEFT JOIN (SELECT H.ToBranch BranchCode, sum(QtyOut - QtyIN) ProductRoute FROM "
         "NvkTransfer.TranAllBranchHd H JOIN NvkTransfer.TranAllBranchDt D ON D.TranAllBranchhd = "
         "H.Id JOIN Nvk.Product P ON P.Code = D.ProdCode WHERE H.Delflag = 'N' AND P.Id = (SELECT "
         "Product FROM ProductUnits WHERE BarCode = :Barcode) AND H.TranINOK = 'N' GROUP BY "
         "H.ToBranch HAVING sum(QtyOut - QtyIN) > 0) T ON T.BranchCode = B.BranchCode "
         "LEFT JOIN (SELECT Ob.BranchCode, sum(Ob.Onhand) OnhandBranch FROM "
         "NVKBranch.ProductOnhandAllBranch Ob JOIN Nvk.Product P ON P.Code = Ob.ProdCode WHERE "
         "P.Id = (SELECT Product FROM ProductUnits WHERE BarCode = :Barcode) GROUP BY "
         "Ob.BranchCode, Ob.ProdCode) Ob ON Ob.BranchCode = B.BranchCode "
         "WHERE B.StopDataBase = 'N' AND B.BranchCode <> 'DC001' ORDER BY BranchNo",
         {"SCAN B USING INDEX Branch_BranchNo", "SEARCH T USING AUTOMATIC",
          "SEARCH Ob USING AUTOMATIC"}},
        {"share order detail",
         "SELECT Dt.Id, (SELECT sum(OrderQnty - SendQnty) FROM TranBranch T WHERE T.CloseOrder NOT "
         "IN ('Y','W','T','C','X') AND T.BranchCode = B.BranchCode AND T.BarCode = :BarCode), "
         "(SELECT sum(QtyOut - QtyIN) FROM NvkTransfer.TranAllBranchHd H JOIN "
         "NvkTransfer.TranAllBranchDt D ON D.TranAllBranchhd = H.Id WHERE H.Delflag = 'N' AND "
         "H.ToBranch = Dt.BranchCode AND H.TranINOK = 'N' AND D.BarCode = :BarCode), "
         "T.ProductManageNo, M.MinQnty, Ob.OnhandBranch FROM OrderShereDt Dt "
         "JOIN QRV_CONFIG_Nvk.Branch B ON B.BranchCode = Dt.BranchCode "
         "LEFT JOIN TranBranch T ON T.OrderType = 'S' AND T.OrderBranchId = Dt.Id "
         "LEFT JOIN ProductManageBranch M ON M.BarCode = :BarCode AND M.BranchCode = Dt.BranchCode "
         "LEFT JOIN (SELECT Ob.BranchCode, sum(Ob.Onhand) OnhandBranch FROM "
         "NVKBranch.ProductOnhandAllBranch Ob WHERE Ob.Barcode = :BarCode GROUP BY Ob.BranchCode, "
         "Ob.BarCode) Ob ON Ob.BranchCode = B.BranchCode "
         "WHERE Dt.OrderShereHd = :IdHd AND B.StopDatabase = 'N' ORDER BY B.BranchNo",
         {"SCAN B USING INDEX Branch_BranchNo", "SEARCH Ob USING AUTOMATIC"}},
        {"available stock",
         "SELECT sum(Onhand) FROM (SELECT O.Onhand FROM ProductOnhandSend O JOIN Product P ON "
         "P.Code = O.ProdCode WHERE P.Id = (SELECT Product FROM ProductUnits WHERE BarCode = "
         ":GetBarcode) UNION ALL SELECT -(T.OrderQnty - T.SendQnty) FROM TranBranch T JOIN Product "
         "P ON P.Code = T.ProdCode WHERE CloseOrder NOT IN ('Y','W','X','C','T') AND P.Id = "
         "(SELECT "
         "Product FROM ProductUnits WHERE BarCode = :GetBarcode)) M HAVING sum(Onhand) > 0",
         {"SCAN M"}},
        {"special order barcode",
         "SELECT U.Barcode, P.Negative, M.MinQnty FROM Nvk.ProductUnits U JOIN Nvk.Product P ON "
         "P.Id = U.Product LEFT JOIN Nvk.ProductManageBranch M ON M.BarCode = :Barcode AND "
         "M.BranchCode = :BranchCode WHERE U.Barcode = :Barcode AND U.SmallUnitFlag = 'Y'",
         {}},
        {"special order load",
         "SELECT T.OrderNo, P.ThaiName, U.UnitName, sum(coalesce(W.OnHand, 0)), sum(B.BackOrder), "
         "M.MinQnty, (SELECT sum(O.Onhand) FROM NVKBranch.ProductOnhandAllBranch O WHERE "
         "O.BranchCode = T.BranchCode AND O.Barcode = T.Barcode), (SELECT count(Id) FROM "
         "TranBranch WHERE OrderNo = :DocNo AND CloseOrder NOT IN ('P','N')) FROM TranBranch T "
         "JOIN Nvk.Product P ON P.Code = T.ProdCode JOIN Nvk.ProductUnits U ON U.Barcode = "
         "T.Barcode LEFT JOIN ProductOnhandSend W ON W.ProdCode = T.ProdCode AND "
         "substr(W.WhCode, 1, 1) <> 'W' LEFT JOIN (SELECT BarCode, sum(OrderQnty - SendQnty) "
         "BackOrder FROM TranBranch WHERE CloseOrder NOT IN ('Y','W','X','C','T') AND OrderNo <> "
         ":DocNo GROUP BY BarCode) B ON B.BarCode = T.BarCode LEFT JOIN Nvk.ProductManageBranch M "
         "ON M.BarCode = T.BarCode AND M.BranchCode = T.BranchCode WHERE T.OrderType = 'L' AND "
         "T.OrderNo = :DocNo GROUP BY T.OrderNo, T.Barcode, P.ThaiName, U.UnitName, M.MinQnty "
         "ORDER BY P.Code, U.Barcode",
         {"SCAN TranBranch USING COVERING INDEX TranBranch_OpenByBarCode",
          "SEARCH B USING AUTOMATIC"}},
        {"special order pick query",
         "SELECT T.Id, coalesce(O.Onhand, 0), (SELECT sum(T1.OrderQnty - T1.SendQnty) FROM "
         "TranBranch T1 WHERE T1.CloseOrder IN ('S','N','B','A','O') AND T1.Transfer = 'N' AND "
         "B.StopDatabase = 'N' AND T1.BarCode = T.BarCode AND T1.BranchCode = T.BranchCode), "
         "B.ServerName, B.Serverbranch, O.WhZone FROM TranBranch T "
         "JOIN Qrv_Config_Nvk.Branch B ON B.BranchCode = T.BranchCode "
         "JOIN Nvk.Product P ON P.Code = T.ProdCode JOIN Nvk.ProductUnits U ON U.BarCode = "
         "T.BarCode LEFT JOIN ProductOnhandSend O ON O.ProdCode = T.ProdCode WHERE CloseOrder = "
         "'S' AND Transfer = 'N' AND B.StopDatabase = 'N' AND OrderType = 'L' AND PickNo = "
         ":PickOrder",
         {}},
        {"special order lookup",
         "SELECT OrderNo, OrderDate, BranchCode FROM TranBranch WHERE OrderType = 'L' AND OrderNo "
         "LIKE :DocNo GROUP BY OrderNo, OrderDate, BranchCode ORDER BY OrderNo DESC",
         {"SCAN TranBranch USING COVERING INDEX TranBranch_SpecialOrder"}},
        {"product unit lookup by part of a barcode",
         "SELECT u.id, u.barcode, u.unitname, p.thainame, x.price, P.Code ProdCode, P.BuyingCode "
         "FROM Nvk.productunits u INNER JOIN Nvk.product p ON p.id = u.product INNER JOIN "
         "Nvk.productprice x ON x.product = u.product AND x.productunits = u.id WHERE x.price > 0 "
         "AND x.pricetype = :PriceType AND SmallUnitFlag = 'Y' AND (U.Barcode LIKE "
         ":BarcodePattern) ORDER BY BarCode",
         {"SCAN u USING INDEX ProductUnits_SmallBarcode"}},
        {"product unit lookup by whole name",
         "SELECT u.id, u.barcode, u.unitname, p.thainame, x.price, P.Code ProdCode, P.BuyingCode "
         "FROM Nvk.productunits u INNER JOIN Nvk.product p ON p.id = u.product INNER JOIN "
         "Nvk.productprice x ON x.product = u.product AND x.productunits = u.id WHERE p.thainame "
         "= :Name AND (x.price > 0) AND x.pricetype = :PriceType AND SmallUnitFlag = 'Y' ORDER BY "
         "BarCode",
         {}},
        {"share order header",
         "SELECT S.Id, P.ThaiName, U.UnitName FROM OrderShereHd S JOIN ProductUnits U ON "
         "U.Barcode = S.Barcode JOIN Product P ON P.Id = U.Product WHERE S.OrderNO = :DocNo",
         {}},
    };
    for (const Statement& s : statements) {
        const auto plan = server.plan(s.sql);
        ASSERT_FALSE(plan.empty()) << s.name;
        for (const std::string& line : plan) {
            if (line.rfind("SCAN ", 0) != 0 && line.find("AUTOMATIC") == std::string::npos) {
                continue;
            }
            const bool allowed =
                std::any_of(s.allowed.begin(), s.allowed.end(),
                            [&](const std::string& prefix) { return line.rfind(prefix, 0) == 0; });
            EXPECT_TRUE(allowed) << s.name << " reads without an index: " << line;
        }
    }
}

} // namespace
