// Tables and indexes of the embedded (SQLite) server.
//
// Rules the runtime depends on:
// - declared types are exactly INTEGER, VARCHAR(n), DECIMAL(20,2), FLOAT or DATETIME: the
//   runtime maps them to field types by these keywords;
// - every text column is COLLATE NOCASE, because the chain's server compares text without
//   regard to case;
// - dates are TEXT "yyyy-MM-dd hh:mm:ss.zzz";
// - generated keys are "Id INTEGER PRIMARY KEY AUTOINCREMENT".
// Menu.Version, username.UserSeeImport and username.UserSeeCost are left out on purpose: the
// program's schema upgrade adds them on its first connection.
//
// Indexes are created after loading; each serves the lookups named beside it.

#include "server_schema.h"

namespace dbtool {
namespace {

const char* const kConfigTables = R"sql(
CREATE TABLE Company (
    Id INTEGER PRIMARY KEY,
    Code VARCHAR(20) COLLATE NOCASE,
    Password VARCHAR(50) COLLATE NOCASE,
    NameThai VARCHAR(255) COLLATE NOCASE,
    NameEng VARCHAR(255) COLLATE NOCASE,
    ShortName VARCHAR(50) COLLATE NOCASE,
    Address1 VARCHAR(255) COLLATE NOCASE,
    Address2 VARCHAR(255) COLLATE NOCASE,
    Address3 VARCHAR(255) COLLATE NOCASE,
    Address4 VARCHAR(255) COLLATE NOCASE,
    Province VARCHAR(100) COLLATE NOCASE,
    Zip VARCHAR(10) COLLATE NOCASE,
    Telephone VARCHAR(50) COLLATE NOCASE,
    Fax VARCHAR(50) COLLATE NOCASE,
    EMail VARCHAR(100) COLLATE NOCASE,
    Logo VARCHAR(255) COLLATE NOCASE,
    TaxNo VARCHAR(20) COLLATE NOCASE,
    InstallDate DATETIME,
    RunYear INTEGER,
    LocalServer VARCHAR(100) COLLATE NOCASE,
    FUNDNAME VARCHAR(255) COLLATE NOCASE,
    TaxBranchHead VARCHAR(1) COLLATE NOCASE,
    TaxBranchCode VARCHAR(10) COLLATE NOCASE,
    TaxBranchName VARCHAR(255) COLLATE NOCASE
);
CREATE TABLE CompanyConfig (
    Company INTEGER PRIMARY KEY,
    PicturePath VARCHAR(255) COLLATE NOCASE,
    Public_Price_IE VARCHAR(1) COLLATE NOCASE,
    DefaultWh VARCHAR(20) COLLATE NOCASE,
    POS1_Wh VARCHAR(20) COLLATE NOCASE,
    POS1_TaxCode VARCHAR(20) COLLATE NOCASE,
    POS1_Price_IE VARCHAR(1) COLLATE NOCASE,
    POS1_PriceType INTEGER,
    POS1_SumDetail VARCHAR(1) COLLATE NOCASE,
    DefaultPosComPort VARCHAR(20) COLLATE NOCASE,
    DefaultTax VARCHAR(20) COLLATE NOCASE,
    DefaultPosMenuId INTEGER
);
CREATE TABLE DatabaseList (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    Company INTEGER,
    DatabaseName VARCHAR(30) COLLATE NOCASE,
    Description VARCHAR(255) COLLATE NOCASE,
    YearNo INTEGER
);
CREATE TABLE Menu (
    Id INTEGER PRIMARY KEY,
    ParentId INTEGER,
    SortNo INTEGER,
    Caption VARCHAR(255) COLLATE NOCASE,
    Command VARCHAR(255) COLLATE NOCASE,
    MenuOption VARCHAR(255) COLLATE NOCASE
);
CREATE TABLE username (
    Id INTEGER PRIMARY KEY,
    Code VARCHAR(20) COLLATE NOCASE,
    fullname VARCHAR(255) COLLATE NOCASE,
    languageno INTEGER,
    Saleman INTEGER,
    EditSalePrice VARCHAR(1) COLLATE NOCASE,
    Approve_Quo VARCHAR(1) COLLATE NOCASE,
    Approve_SO VARCHAR(1) COLLATE NOCASE,
    Approve_IV VARCHAR(1) COLLATE NOCASE,
    Approve_PO VARCHAR(1) COLLATE NOCASE,
    Approved_PORQ VARCHAR(1) COLLATE NOCASE,
    ApproveTranWH VARCHAR(1) COLLATE NOCASE,
    ApproveTranBranch VARCHAR(1) COLLATE NOCASE,
    ApproveWorkOrder VARCHAR(1) COLLATE NOCASE,
    CanSeeCost VARCHAR(1) COLLATE NOCASE,
    CanSeeSalePrice VARCHAR(1) COLLATE NOCASE,
    CanModifyCusSale VARCHAR(1) COLLATE NOCASE,
    Approve_PreIs VARCHAR(1) COLLATE NOCASE,
    ApproveCustomerDropUse VARCHAR(1) COLLATE NOCASE,
    ApproveCustomerDropCredit VARCHAR(1) COLLATE NOCASE,
    CanModifyCredit VARCHAR(1) COLLATE NOCASE,
    CanSetProductBlock VARCHAR(1) COLLATE NOCASE,
    CanSetProductMinus VARCHAR(1) COLLATE NOCASE,
    CanSaleCreditOnReturnCheque VARCHAR(1) COLLATE NOCASE,
    CanSetOtherUserPass VARCHAR(1) COLLATE NOCASE,
    Approve_PoLevel1 VARCHAR(1) COLLATE NOCASE,
    Approve_PoLevel2 VARCHAR(1) COLLATE NOCASE,
    Approve_PoLevel3 VARCHAR(1) COLLATE NOCASE
);
CREATE TABLE MenuRight (
    MenuId INTEGER,
    UserId INTEGER,
    Access_R VARCHAR(1) COLLATE NOCASE,
    Add_R VARCHAR(1) COLLATE NOCASE,
    Modify_R VARCHAR(1) COLLATE NOCASE,
    Delete_R VARCHAR(1) COLLATE NOCASE,
    PRIMARY KEY (MenuId, UserId)
);
CREATE TABLE Branch (
    BranchNo INTEGER,
    BranchCode VARCHAR(20) COLLATE NOCASE PRIMARY KEY,
    BranchName VARCHAR(255) COLLATE NOCASE,
    StopDatabase VARCHAR(1) COLLATE NOCASE,
    ServerName VARCHAR(100) COLLATE NOCASE,
    Serverbranch VARCHAR(100) COLLATE NOCASE
);
CREATE TABLE ErrorLog (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    LogTime DATETIME,
    CompName VARCHAR(50) COLLATE NOCASE,
    LogName VARCHAR(50) COLLATE NOCASE,
    UserId INTEGER,
    MenuId INTEGER,
    ErrorMsg VARCHAR(4000) COLLATE NOCASE
);
)sql";

const char* const kConfigIndexes = R"sql(
CREATE UNIQUE INDEX DatabaseList_DatabaseName ON DatabaseList (DatabaseName);
CREATE INDEX Branch_BranchNo ON Branch (BranchNo);
)sql";

// Product, ProductUnits and ProductManageBranch exist in the company database and in NVK with
// the same shape.
const char* const kProductMasterTables = R"sql(
CREATE TABLE Product (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    Code VARCHAR(30) COLLATE NOCASE,
    ThaiName VARCHAR(255) COLLATE NOCASE,
    UnitPicking DECIMAL(20,2),
    BuyingCode VARCHAR(20) COLLATE NOCASE,
    Negative VARCHAR(1) COLLATE NOCASE
);
CREATE TABLE ProductUnits (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    Product INTEGER,
    Barcode VARCHAR(30) COLLATE NOCASE,
    UnitName VARCHAR(60) COLLATE NOCASE,
    Fraction FLOAT,
    SmallUnitFlag VARCHAR(1) COLLATE NOCASE
);
CREATE TABLE ProductManageBranch (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    BranchCode VARCHAR(20) COLLATE NOCASE,
    BarCode VARCHAR(30) COLLATE NOCASE,
    ReOrderQnty FLOAT,
    MinQnty FLOAT,
    MaxQnty FLOAT
);
)sql";

// Product by Code: joins from stock, transfer and transit rows. ProductUnits by Barcode: every
// barcode entry; by Product: the units of a product; the smallest units by Barcode: the product
// lookup of both documents lists only those, in barcode order, matching any part of a barcode,
// so it walks an index of a third of the units instead of all. ProductManageBranch: per
// barcode and branch.
const char* const kProductMasterIndexes = R"sql(
CREATE UNIQUE INDEX Product_Code ON Product (Code);
CREATE UNIQUE INDEX ProductUnits_Barcode ON ProductUnits (Barcode);
CREATE INDEX ProductUnits_SmallBarcode ON ProductUnits (Barcode) WHERE SmallUnitFlag = 'Y';
CREATE INDEX ProductUnits_Product ON ProductUnits (Product);
CREATE UNIQUE INDEX ProductManageBranch_BarCode_BranchCode ON ProductManageBranch (BarCode, BranchCode);
)sql";

const char* const kCompanyTables = R"sql(
CREATE TABLE TranBranch (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    OrderNo VARCHAR(30) COLLATE NOCASE,
    OrderDate DATETIME,
    OrderType VARCHAR(1) COLLATE NOCASE,
    OrderBranchId INTEGER,
    ProdCode VARCHAR(30) COLLATE NOCASE,
    BarCode VARCHAR(30) COLLATE NOCASE,
    BranchCode VARCHAR(20) COLLATE NOCASE,
    OrderQnty FLOAT,
    SendQnty FLOAT,
    TransendQnty FLOAT,
    CloseOrder VARCHAR(1) COLLATE NOCASE,
    Transfer VARCHAR(1) COLLATE NOCASE,
    UpdateBranch VARCHAR(1) COLLATE NOCASE,
    Locations VARCHAR(50) COLLATE NOCASE,
    CreateDate DATETIME,
    PickNo VARCHAR(30) COLLATE NOCASE,
    PickDate DATETIME,
    UserPick INTEGER,
    ResponsProdGroup VARCHAR(30) COLLATE NOCASE,
    ProductManageNo VARCHAR(30) COLLATE NOCASE,
    BoxNo VARCHAR(30) COLLATE NOCASE,
    Remark VARCHAR(255) COLLATE NOCASE
);
CREATE TABLE OrderShereHd (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    OrderNO VARCHAR(30) COLLATE NOCASE,
    OrderDate DATETIME,
    ProdCode VARCHAR(30) COLLATE NOCASE,
    BarCode VARCHAR(30) COLLATE NOCASE,
    UserCode VARCHAR(20) COLLATE NOCASE,
    Delflag VARCHAR(1) COLLATE NOCASE,
    Approved VARCHAR(1) COLLATE NOCASE,
    UserApproced INTEGER,
    UpToTranBranch VARCHAR(1) COLLATE NOCASE,
    Version VARCHAR(20) COLLATE NOCASE,
    LocalIP VARCHAR(50) COLLATE NOCASE
);
CREATE TABLE OrderShereDt (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    OrderShereHd INTEGER,
    BranchCode VARCHAR(20) COLLATE NOCASE,
    OrderQnty FLOAT,
    Remark VARCHAR(255) COLLATE NOCASE,
    MinStock FLOAT,
    MaxStock FLOAT,
    BackOrder FLOAT,
    ProductRoute FLOAT
);
CREATE TABLE ProductOnhandSend (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    ProdCode VARCHAR(30) COLLATE NOCASE,
    WhCode VARCHAR(20) COLLATE NOCASE,
    WhZone VARCHAR(20) COLLATE NOCASE,
    Onhand FLOAT
);
CREATE TABLE DocumentNo (
    Code VARCHAR(20) COLLATE NOCASE,
    DocYear INTEGER,
    Description VARCHAR(100) COLLATE NOCASE,
    Prefix VARCHAR(10) COLLATE NOCASE,
    LastNo INTEGER,
    DocumentLength INTEGER,
    AutoRun VARCHAR(1) COLLATE NOCASE,
    PRIMARY KEY (Code, DocYear)
);
CREATE TABLE Config (
    Id INTEGER PRIMARY KEY,
    CompanyName VARCHAR(255) COLLATE NOCASE,
    Currency VARCHAR(20) COLLATE NOCASE
);
CREATE TABLE accountperiod (
    accountyear INTEGER PRIMARY KEY,
    StartDate DATETIME,
    EndDate DATETIME,
    Closed VARCHAR(1) COLLATE NOCASE
);
CREATE TABLE Misc (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    MiscGroup VARCHAR(30) COLLATE NOCASE,
    Code VARCHAR(20) COLLATE NOCASE,
    Description VARCHAR(255) COLLATE NOCASE
);
CREATE TABLE CurrencyEx (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    Currency VARCHAR(20) COLLATE NOCASE,
    ExDate DATETIME,
    BuyRate FLOAT,
    SellRate FLOAT
);
)sql";

// TranBranch:
//  (BarCode, BranchCode, CloseOrder) outstanding quantity of a branch and barcode; it carries the
//      quantities and the order number so that the per-branch sums of the share order never
//      touch the table itself;
//  open rows only (not delivered, closed short or cancelled), by barcode with the quantities:
//      the per-barcode back orders of a loaded special order are summed over the whole company,
//      and a tenth of the rows to read instead of all of them is most of the load's time;
//  (ProdCode, CloseOrder) outstanding quantity of a product;
//  (OrderNo) loading orders; (PickNo) the pick assignment of a special order;
//  special-order rows only, by number: the special order lookup and loading;
//  (OrderBranchId) and, for share-order rows, a unique one: one share-order line can never
//      become two transfer rows.
const char* const kCompanyIndexes = R"sql(
CREATE INDEX TranBranch_BarCode_BranchCode ON TranBranch (BarCode, BranchCode, CloseOrder, OrderQnty, SendQnty, OrderNo);
CREATE INDEX TranBranch_OpenByBarCode ON TranBranch (BarCode, CloseOrder, OrderQnty, SendQnty, OrderNo) WHERE CloseOrder NOT IN ('Y','W','X','C','T');
CREATE INDEX TranBranch_ProdCode_CloseOrder ON TranBranch (ProdCode, CloseOrder);
CREATE INDEX TranBranch_OrderNo ON TranBranch (OrderNo);
CREATE INDEX TranBranch_PickNo ON TranBranch (PickNo);
CREATE INDEX TranBranch_SpecialOrder ON TranBranch (OrderNo, OrderDate, BranchCode, OrderType) WHERE OrderType = 'L';
CREATE INDEX TranBranch_OrderBranchId ON TranBranch (OrderBranchId);
CREATE UNIQUE INDEX TranBranch_ShareLine ON TranBranch (OrderBranchId) WHERE OrderType = 'S';
CREATE UNIQUE INDEX OrderShereHd_OrderNO ON OrderShereHd (OrderNO);
CREATE INDEX OrderShereHd_BarCode ON OrderShereHd (BarCode);
CREATE INDEX OrderShereDt_OrderShereHd ON OrderShereDt (OrderShereHd);
CREATE INDEX ProductOnhandSend_ProdCode ON ProductOnhandSend (ProdCode, WhCode);
CREATE UNIQUE INDEX Misc_MiscGroup_Code ON Misc (MiscGroup, Code);
CREATE INDEX CurrencyEx_Currency ON CurrencyEx (Currency, ExDate);
)sql";

const char* const kProductTables = R"sql(
CREATE TABLE productprice (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    Product INTEGER,
    ProductUnits INTEGER,
    price DECIMAL(20,2),
    pricetype INTEGER
);
)sql";

// productprice: the unit lookup joins each unit to its price of the company's price type.
// Product by ThaiName: the unit lookup's search for a whole product name.
const char* const kProductIndexes = R"sql(
CREATE UNIQUE INDEX productprice_ProductUnits_pricetype ON productprice (ProductUnits, pricetype);
CREATE INDEX productprice_Product ON productprice (Product);
CREATE INDEX Product_ThaiName ON Product (ThaiName);
)sql";

const char* const kTransferTables = R"sql(
CREATE TABLE TranAllBranchHd (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    DocNo VARCHAR(30) COLLATE NOCASE,
    DocDate DATETIME,
    FromBranch VARCHAR(20) COLLATE NOCASE,
    ToBranch VARCHAR(20) COLLATE NOCASE,
    Delflag VARCHAR(1) COLLATE NOCASE,
    TranINOK VARCHAR(1) COLLATE NOCASE
);
CREATE TABLE TranAllBranchDt (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    TranAllBranchhd INTEGER,
    ProdCode VARCHAR(30) COLLATE NOCASE,
    BarCode VARCHAR(30) COLLATE NOCASE,
    QtyOut FLOAT,
    QtyIN FLOAT
);
)sql";

// Goods in transit are summed per product or per barcode, then filtered by their header.
const char* const kTransferIndexes = R"sql(
CREATE UNIQUE INDEX TranAllBranchHd_DocNo ON TranAllBranchHd (DocNo);
CREATE INDEX TranAllBranchHd_ToBranch ON TranAllBranchHd (ToBranch);
CREATE INDEX TranAllBranchDt_TranAllBranchhd ON TranAllBranchDt (TranAllBranchhd);
CREATE INDEX TranAllBranchDt_BarCode ON TranAllBranchDt (BarCode);
CREATE INDEX TranAllBranchDt_ProdCode ON TranAllBranchDt (ProdCode);
)sql";

const char* const kBranchStockTables = R"sql(
CREATE TABLE ProductOnhandAllBranch (
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    BranchCode VARCHAR(20) COLLATE NOCASE,
    ProdCode VARCHAR(30) COLLATE NOCASE,
    Barcode VARCHAR(30) COLLATE NOCASE,
    Onhand FLOAT
);
)sql";

// Branch stock is summed per barcode (special order, share order detail) or per product (share
// order branch list), always for one branch or grouped by branch.
const char* const kBranchStockIndexes = R"sql(
CREATE INDEX ProductOnhandAllBranch_Barcode ON ProductOnhandAllBranch (Barcode, BranchCode, Onhand);
CREATE INDEX ProductOnhandAllBranch_ProdCode ON ProductOnhandAllBranch (ProdCode, BranchCode, Onhand);
)sql";

// The runtime builds the catalogue of databases itself; this only records the server's creation.
const char* const kMasterTables = R"sql(
CREATE TABLE ServerInfo (
    Created DATETIME,
    Description VARCHAR(255) COLLATE NOCASE
);
)sql";

} // namespace

const std::vector<DatabaseSchema>& sqliteSchema() {
    static const std::vector<DatabaseSchema> schema = {
        {kConfigDb, {kConfigTables}, {kConfigIndexes}},
        {kCompanyDb,
         {kProductMasterTables, kCompanyTables},
         {kProductMasterIndexes, kCompanyIndexes}},
        {kProductDb,
         {kProductMasterTables, kProductTables},
         {kProductMasterIndexes, kProductIndexes}},
        {kTransferDb, {kTransferTables}, {kTransferIndexes}},
        {kBranchStockDb, {kBranchStockTables}, {kBranchStockIndexes}},
        {kMasterDb, {kMasterTables}, {}},
    };
    return schema;
}

} // namespace dbtool
