#pragma once

// What goes into a new server: the demo company and the large benchmark company, plus the
// pieces both share (configuration, product catalogue, document numbers).

#include "data_sink.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dbtool {

using Day = std::chrono::sys_days;

// "yyyy-MM-dd hh:mm:ss.zzz", the stored form of dates on the embedded server.
std::string dateTime(Day day, int hour = 0, int minute = 0, int second = 0, int millis = 0);
int yearOf(Day day);
Day firstDayOfYear(int year);

// A 13-digit EAN text: the 12 digits given (zero-padded) followed by their check digit.
std::string ean13(std::uint64_t first12);
// Barcode of unit `unit` (0 = the smallest) of product `productId`.
std::string unitBarcode(int productId, int unit);
std::string zeroPad(std::int64_t value, int width);

// Document numbers, as the server's numbering procedure issues them: the code's Prefix, the
// two-digit year, the running number zero-padded to DocumentLength (12) characters in all.
inline constexpr int kDocumentLength = 12;
std::string documentPrefix(const char* codePrefix, int year);
std::string documentNo(const char* codePrefix, int year, std::int64_t number);

inline constexpr const char* kDcBranch = "DC001";
inline constexpr const char* kShareVersion = "M22.07.22";

struct UnitInfo {
    std::string name;
    double fraction; // smallest units in this unit
    std::string barcode;
    bool small;
    std::optional<double> price; // selling price of price type 1; none: no price rows
};

struct ProductInfo {
    int id;
    std::string code;
    std::string name;
    double unitPicking;
    const char* buyingCode;
    const char* negative;
    const char* zone;            // picking zone at the distribution centre
    std::vector<UnitInfo> units; // smallest first
};

// The product catalogue: product 1 is a plain pack-12 product, product 2 picks in multiples of
// 2.5, product 3 has no picking multiple (0); the rest cycle through grocery categories.
ProductInfo catalogueProduct(int id);

// Names of branch locations, cycled for large companies.
const std::vector<const char*>& branchPlaces();

// Company registration, users, menus and menu rights of the configuration database, and the
// settings rows of the company database.
void writeConfiguration(ServerSink& sink, Day today);

// Writes Product and ProductUnits (company database and NVK) and the NVK prices of one
// product. `firstUnitId` is the Id of its first unit; `maxUnits` cuts the unit list.
// Returns the number of units written.
int writeProduct(ServerSink& sink, const ProductInfo& product, int firstUnitId, int maxUnits = 100);

struct DocumentCounters {
    std::int64_t share = 0;   // last "ORD-SHARE" number
    std::int64_t special = 0; // last "PICKSPECIA" number
    std::int64_t picking = 0; // last "PRODUCTMANAGE" number
};
// DocumentNo rows of one year; numbers are issued automatically (AutoRun 'Y').
void writeDocumentNumbers(ServerSink& sink, int year, const DocumentCounters& last);

void writeServerInfo(ServerSink& sink, Day today, const char* description);

// One TranBranch row. Quantities sent, the transfer and update flags, box and remark follow
// from the status as the picking and delivery processes would have left them.
struct TransferRow {
    std::int64_t id = 0;
    std::string orderNo;
    std::string orderDate;
    const char* orderType = "S";
    std::int64_t orderBranchId = 0;
    std::string prodCode;
    std::string barCode;
    std::string branchCode;
    double orderQnty = 0;
    const char* closeOrder = "N";
    std::string createDate;
    std::optional<std::string> pickNo;
    std::optional<std::string> pickDate;
    std::optional<int> userPick;
    std::optional<std::string> responsProdGroup;
    std::optional<std::string> productManageNo;
};
TableSink& transferTable(ServerSink& sink);
void addTransferRow(TableSink& table, const TransferRow& row);

// Status codes whose rows count as completed (sent in full) or as closed without delivery.
bool isDelivered(const char* closeOrder);
bool isCancelled(const char* closeOrder);

struct ScaleOptions {
    int branches = 2000;
    int units = 200000;
    std::int64_t tranBranch = 1000000;
};

void writeDemoData(ServerSink& sink, Day today);
void writeScaleData(ServerSink& sink, Day today, const ScaleOptions& options);

} // namespace dbtool
