// The demo company: about 40 branches, 300 products and a few documents in every state, so
// that each screen of the program has something to show. Dates are relative to the day the
// server is created; this year's documents stay within this year.

#include "server_data.h"

#include "server_schema.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <stdexcept>

namespace dbtool {

namespace {

using namespace std::chrono;

constexpr int kProducts = 300;
constexpr int kRegularBranches = 37; // B001..B037
constexpr int kStoppedBranch = 20;   // B020 is closed for renovation

struct DemoBranch {
    std::string code;
    std::string name;
    int number; // BranchNo
    bool stopped;
};

std::vector<DemoBranch> demoBranches() {
    std::vector<DemoBranch> branches;
    branches.push_back({kDcBranch, "ศูนย์กระจายสินค้า บางนา", 1, false});
    const auto& places = branchPlaces();
    for (int n = 1; n <= kRegularBranches; ++n) {
        std::string name = std::string("สาขา") + places[n - 1];
        if (n == kStoppedBranch) {
            name += " (ปิดปรับปรุง)";
        }
        branches.push_back({"B" + zeroPad(n, 3), name, n + 1, n == kStoppedBranch});
    }
    branches.push_back({"FS001", "แฟรนไชส์ ศรีราชา", kRegularBranches + 2, false});
    branches.push_back({"FS002", "แฟรนไชส์ หัวหิน", kRegularBranches + 3, false});
    return branches;
}

std::string regularBranch(int n) {
    return "B" + zeroPad(n, 3);
}

// Stock levels of the first 40 products at two branches in three.
struct Levels {
    double reorder, min, max;
};
std::optional<Levels> demoLevels(const ProductInfo& p, int branchNumber) {
    if (p.id > 40 || branchNumber % 3 == 0) {
        return std::nullopt;
    }
    const double min = std::max(p.unitPicking, 1.0) * (2 + branchNumber % 3);
    return Levels{min * 2, min, min * 4};
}

class DemoWriter {
public:
    DemoWriter(ServerSink& sink, Day today)
        : sink_(sink), today_(today), year_(yearOf(today)), branches_(demoBranches()) {}

    void write() {
        writeConfiguration(sink_, today_);
        writeBranches();
        writeProducts();
        writeDcStock();
        writeBranchStock();
        writeLevels();
        writeTransit();
        writeShareOrders();
        writeSpecialOrders();
        writeDocumentNumbers(sink_, year_, {share_ + 5, special_ + 5, picking_ + 5});
        writeDocumentNumbers(sink_, year_ - 1, {152, 88, 310});
        writeServerInfo(sink_, today_, "demo");
    }

private:
    // A day of this year at most `back` days ago.
    Day recent(int back) const { return std::max(today_ - days{back}, firstDayOfYear(year_)); }

    const ProductInfo& product(int id) const { return products_.at(id - 1); }

    void writeBranches() {
        auto& table = sink_.table(
            kConfigDb, "Branch",
            {"BranchNo", "BranchCode", "BranchName", "StopDatabase", "ServerName", "Serverbranch"});
        for (const DemoBranch& b : branches_) {
            table.add({b.number, b.code, b.name, b.stopped ? "Y" : "N", "SRV-" + b.code,
                       "NVK_" + b.code});
        }
    }

    void writeProducts() {
        int unitId = 1;
        for (int id = 1; id <= kProducts; ++id) {
            ProductInfo p = catalogueProduct(id);
            // The unit lookup lists neither a unit without a price nor one priced 0.
            if (id == 4) {
                p.units[0].price.reset();
            } else if (id == 6) {
                p.units[0].price = 0.0;
            }
            unitId += writeProduct(sink_, p, unitId);
            products_.push_back(std::move(p));
        }
    }

    void writeDcStock() {
        auto& table = sink_.table(kCompanyDb, "ProductOnhandSend",
                                  {"ProdCode", "WhCode", "WhZone", "Onhand"});
        for (const ProductInfo& p : products_) {
            const int i = p.id;
            if (i == 1) {
                table.add({p.code, "DC01", p.zone, 1200.0});
                table.add({p.code, "DC02", "F01", 360.0});
                table.add({p.code, "WRT", "R01", 48.0});
            } else if (i == 2 || i == 3) {
                table.add({p.code, "DC01", p.zone, i == 2 ? 500.0 : 100.0});
            } else if (i % 17 == 0) {
                // no stock at the distribution centre at all
            } else if (i % 29 == 0) {
                table.add({p.code, "WRT", "R01", 60.0}); // only returned goods
            } else if (i % 19 == 0) {
                table.add({p.code, "DC01", p.zone, 0.0});
            } else {
                table.add({p.code, "DC01", p.zone, double(60 + (i * 37) % 940)});
                if (i % 5 == 0) {
                    table.add({p.code, "DC02", "F01", double(24 + (i * 13) % 200)});
                }
                if (i % 23 == 0) {
                    table.add({p.code, "WRT", "R01", 12.0});
                }
            }
        }
    }

    void writeBranchStock() {
        auto& table = sink_.table(kBranchStockDb, "ProductOnhandAllBranch",
                                  {"BranchCode", "ProdCode", "Barcode", "Onhand"});
        for (const DemoBranch& b : branches_) {
            if (b.code == kDcBranch || b.stopped) {
                continue;
            }
            for (int id = 1; id <= 60; ++id) {
                const ProductInfo& p = product(id);
                table.add(
                    {b.code, p.code, p.units[0].barcode, double((id * 7 + b.number * 3) % 40)});
                // Some stock counted in packs as well: per product it adds up, per barcode not.
                if (id <= 10 && p.units.size() > 1 && b.number % 4 == 1) {
                    table.add({b.code, p.code, p.units[1].barcode, 2.0});
                }
            }
        }
    }

    void writeLevels() {
        for (const char* db : {kCompanyDb, kProductDb}) {
            auto& table =
                sink_.table(db, "ProductManageBranch",
                            {"BranchCode", "BarCode", "ReOrderQnty", "MinQnty", "MaxQnty"});
            for (int n = 1; n <= kRegularBranches; ++n) {
                for (int id = 1; id <= 40; ++id) {
                    if (auto levels = demoLevels(product(id), n)) {
                        table.add({regularBranch(n), product(id).units[0].barcode, levels->reorder,
                                   levels->min, levels->max});
                    }
                }
            }
        }
    }

    void writeTransit() {
        auto& headers = sink_.table(
            kTransferDb, "TranAllBranchHd",
            {"Id", "DocNo", "DocDate", "FromBranch", "ToBranch", "Delflag", "TranINOK"});
        auto& lines = sink_.table(kTransferDb, "TranAllBranchDt",
                                  {"TranAllBranchhd", "ProdCode", "BarCode", "QtyOut", "QtyIN"});
        int id = 0;
        auto header = [&](int branch, int back, bool deleted, bool received) {
            ++id;
            headers.add({id, documentNo("TR", year_, id), dateTime(recent(back), 9, 30), kDcBranch,
                         regularBranch(branch), deleted ? "Y" : "N", received ? "Y" : "N"});
            return id;
        };
        for (int k = 1; k <= 25; ++k) {
            const bool deleted = k == 4 || k == 13 || k == 22;
            const bool received = k % 5 == 0;
            const int h = header(1 + (k * 3) % kRegularBranches, k % 10, deleted, received);
            for (int j = 0; j < 3 + k % 5; ++j) {
                const ProductInfo& p = product(5 + (k * 7 + j * 11) % (kProducts - 4));
                const double out = 12.0 * (j + 1);
                const double in = received ? out : (j % 2 ? 0 : out / 2);
                lines.add({h, p.code, p.units[0].barcode, out, in});
            }
        }
        // Product 1 on its way to B001 (in pieces and in packs) and B002; the transfer to B003
        // has arrived in full, the one to B004 was deleted and the one to B005 was received.
        const ProductInfo& p = product(1);
        int h = header(1, 1, false, false);
        lines.add({h, p.code, p.units[0].barcode, 24.0, 0.0});
        lines.add({h, p.code, p.units[1].barcode, 2.0, 0.0});
        h = header(2, 2, false, false);
        lines.add({h, p.code, p.units[0].barcode, 36.0, 12.0});
        h = header(3, 2, false, false);
        lines.add({h, p.code, p.units[0].barcode, 12.0, 12.0});
        h = header(4, 3, true, false);
        lines.add({h, p.code, p.units[0].barcode, 48.0, 0.0});
        h = header(5, 3, false, true);
        lines.add({h, p.code, p.units[0].barcode, 60.0, 0.0});
    }

    struct ShareLine {
        std::string branch;
        double qty;
        const char* closeOrder; // status of its transfer row once approved
        const char* remark = nullptr;
    };

    enum class ShareState { Open, Approved, Cancelled };

    void shareOrder(const std::string& number, Day date, const ProductInfo& p, ShareState state,
                    const std::vector<ShareLine>& lines, std::optional<std::string> pickingNo) {
        auto& headers =
            sink_.table(kCompanyDb, "OrderShereHd",
                        {"Id", "OrderNO", "OrderDate", "ProdCode", "BarCode", "UserCode", "Delflag",
                         "Approved", "UserApproced", "UpToTranBranch", "Version", "LocalIP"});
        auto& details = sink_.table(kCompanyDb, "OrderShereDt",
                                    {"Id", "OrderShereHd", "BranchCode", "OrderQnty", "Remark",
                                     "MinStock", "MaxStock", "BackOrder", "ProductRoute"});
        const bool approved = state == ShareState::Approved;
        const std::string orderDate = dateTime(date);
        const int headerId = ++shareHeaderId_;
        headers.add({headerId, number, orderDate, p.code, p.units[0].barcode, "SOMCHAI",
                     state == ShareState::Cancelled ? "Y" : "N", approved ? "Y" : "N",
                     approved ? Cell(1) : Cell(nullptr), approved ? "Y" : "N", kShareVersion,
                     "192.168.10.21"});
        for (const ShareLine& line : lines) {
            const int lineId = ++shareLineId_;
            const int branchNumber = line.branch[0] == 'B' ? std::stoi(line.branch.substr(1)) : 0;
            const auto levels = branchNumber ? demoLevels(p, branchNumber) : std::nullopt;
            details.add({lineId, headerId, line.branch, line.qty,
                         line.remark ? Cell(line.remark) : Cell(""), levels ? levels->min : 0.0,
                         levels ? levels->max : 0.0, 0.0, 0.0});
            if (!approved || line.qty <= 0) {
                continue;
            }
            TransferRow row;
            row.id = ++tranId_;
            row.orderNo = number;
            row.orderDate = orderDate;
            row.orderType = "S";
            row.orderBranchId = lineId;
            row.prodCode = p.code;
            row.barCode = p.units[0].barcode;
            row.branchCode = line.branch;
            row.orderQnty = line.qty;
            row.closeOrder = line.closeOrder;
            row.createDate = dateTime(date, 10, 15, 0, 250);
            const std::string_view code = line.closeOrder;
            if (pickingNo && code != "N" && code != "O") {
                row.productManageNo = pickingNo;
            }
            addTransferRow(transferTable(sink_), row);
        }
    }

    std::vector<std::string> activeBranches() const {
        std::vector<std::string> codes;
        for (const DemoBranch& b : branches_) {
            if (b.code != kDcBranch && !b.stopped) {
                codes.push_back(b.code);
            }
        }
        return codes;
    }

    void writeShareOrders() {
        const auto active = activeBranches();
        // 1: product 1 approved, its twelve transfer rows in nearly every status; a stored line of
        // the branch closed since then still has its row.
        {
            const char* codes[] = {"N", "A", "P", "O", "W", "T", "Y", "X", "C", "R", "N", "A"};
            std::vector<ShareLine> lines;
            for (const std::string& code : active) {
                const int n = code[0] == 'B' ? std::stoi(code.substr(1)) : 0;
                if (n >= 1 && n <= 12) {
                    lines.push_back(
                        {code, 12.0 * (n % 3 + 1), codes[n - 1], n == 2 ? "ลูกค้าสั่งซื้อ" : nullptr});
                } else {
                    lines.push_back({code, 0, "N"});
                }
            }
            lines.push_back({regularBranch(kStoppedBranch), 12, "Y"});
            shareOrder(documentNo("SH", year_, ++share_), recent(6), product(1),
                       ShareState::Approved, lines, documentNo("PM", year_, ++picking_));
        }
        // 2: approved two days ago, rows still waiting for the picking cycle.
        {
            std::vector<ShareLine> lines;
            int n = 0;
            for (const std::string& code : active) {
                ++n;
                lines.push_back({code, n % 4 == 0 ? 6.0 * (n % 3 + 1) : 0, "N"});
            }
            shareOrder(documentNo("SH", year_, ++share_), recent(2), product(4),
                       ShareState::Approved, lines, std::nullopt);
        }
        // 3: saved but not approved; can still be changed.
        {
            std::vector<ShareLine> lines;
            int n = 0;
            for (const std::string& code : active) {
                ++n;
                lines.push_back(
                    {code, n % 5 == 1 ? 24.0 : 0, "N", n == 6 ? "สาขาสั่งสินค้าไม่ทันรอบ" : nullptr});
            }
            shareOrder(documentNo("SH", year_, ++share_), recent(1), product(10), ShareState::Open,
                       lines, std::nullopt);
        }
        // 4: cancelled.
        {
            std::vector<ShareLine> lines;
            for (std::size_t i = 0; i < 5; ++i) {
                lines.push_back({active[i], 6, "N"});
            }
            shareOrder(documentNo("SH", year_, ++share_), recent(3), product(11),
                       ShareState::Cancelled, lines, std::nullopt);
        }
        // 5: open order of the product picked in 2.5 kg bags.
        {
            std::vector<ShareLine> lines;
            int n = 0;
            for (const std::string& code : active) {
                ++n;
                lines.push_back({code, n == 1 ? 5.0 : n == 2 ? 8.0 : 0, "N"});
            }
            shareOrder(documentNo("SH", year_, ++share_), recent(0), product(2), ShareState::Open,
                       lines, std::nullopt);
        }
        // Last year's order, delivered long ago.
        {
            std::vector<ShareLine> lines;
            for (std::size_t i = 0; i < 5; ++i) {
                lines.push_back({active[i], 24, "Y"});
            }
            shareOrder(documentNo("SH", year_ - 1, 152), firstDayOfYear(year_) - days{12},
                       product(1), ShareState::Approved, lines, documentNo("PM", year_ - 1, 305));
        }
    }

    struct SpecialLine {
        int product;
        const char* closeOrder;
    };

    void specialOrder(const std::string& number, int year, Day date, const std::string& branch,
                      const std::vector<SpecialLine>& lines, int& pickingCounter) {
        const std::string orderDate = dateTime(date);
        std::map<std::string, std::string> pickingNoByZone;
        for (const SpecialLine& line : lines) {
            const ProductInfo& p = product(line.product);
            const std::string_view code = line.closeOrder;
            TransferRow row;
            row.id = ++tranId_;
            row.orderNo = number;
            row.orderDate = orderDate;
            row.orderType = "L";
            row.orderBranchId = 0;
            row.prodCode = p.code;
            row.barCode = p.units[0].barcode;
            row.branchCode = branch;
            row.orderQnty = p.unitPicking > 0 ? std::ceil(p.unitPicking * 2) : 5;
            row.closeOrder = line.closeOrder;
            row.createDate = dateTime(date, 13, 40, 5, 120);
            row.pickNo = number;
            if (code == "S") {
                // Inserted, pick assignment not yet run.
                row.pickDate = orderDate;
                row.responsProdGroup = "SPECIAL";
            } else {
                row.pickDate = dateTime(date, 13, 40, 7, 480);
                row.userPick = 1;
                if (code == "B") {
                    row.responsProdGroup = "";
                } else {
                    auto it = pickingNoByZone.find(p.zone);
                    if (it == pickingNoByZone.end()) {
                        it = pickingNoByZone
                                 .emplace(p.zone, documentNo("PM", year, ++pickingCounter))
                                 .first;
                    }
                    row.responsProdGroup = std::string(p.zone) + "#001";
                    row.productManageNo = it->second;
                }
            }
            addTransferRow(transferTable(sink_), row);
        }
    }

    void writeSpecialOrders() {
        // 1: freshly saved, every row being picked (can still be cancelled).
        specialOrder(documentNo("SP", year_, ++special_), year_, recent(1), regularBranch(3),
                     {{5, "P"}, {6, "P"}, {8, "P"}, {12, "P"}, {13, "P"}, {14, "P"}}, picking_);
        // 2: moved on by picking and delivery; product 17 has no stock at the centre.
        specialOrder(documentNo("SP", year_, ++special_), year_, recent(4), regularBranch(12),
                     {{17, "B"},
                      {20, "A"},
                      {21, "O"},
                      {22, "W"},
                      {24, "T"},
                      {25, "Y"},
                      {26, "X"},
                      {27, "C"},
                      {28, "N"}},
                     picking_);
        // 3: a save interrupted before its pick assignment, and a status unknown to the program.
        specialOrder(documentNo("SP", year_, ++special_), year_, recent(0), "FS001",
                     {{30, "S"}, {31, "S"}, {32, "R"}, {33, "P"}}, picking_);
        // 4: delivered.
        specialOrder(documentNo("SP", year_, ++special_), year_, recent(9), regularBranch(7),
                     {{40, "Y"}, {41, "W"}, {42, "Y"}}, picking_);
        int lastYearPicking = 300;
        specialOrder(documentNo("SP", year_ - 1, 88), year_ - 1, firstDayOfYear(year_) - days{22},
                     regularBranch(5), {{50, "Y"}, {51, "Y"}}, lastYearPicking);
        if (lastYearPicking > 310) {
            throw std::logic_error("demo picking numbers of last year exceed their counter");
        }
    }

    ServerSink& sink_;
    Day today_;
    int year_;
    std::vector<DemoBranch> branches_;
    std::vector<ProductInfo> products_;
    std::int64_t tranId_ = 0;
    int shareHeaderId_ = 0;
    int shareLineId_ = 0;
    int share_ = 0;   // this year's share orders
    int special_ = 0; // this year's special orders
    int picking_ = 0; // this year's picking numbers
};

} // namespace

void writeDemoData(ServerSink& sink, Day today) {
    DemoWriter(sink, today).write();
}

} // namespace dbtool
