// A large company for benchmarks: thousands of branches, hundreds of thousands of product
// units and a year of transfer orders. The rows are drawn from a fixed seed, so two servers of
// the same size hold the same data (apart from dates, which follow the day of creation).

#include "server_data.h"

#include "server_schema.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <stdexcept>

namespace dbtool {

namespace {

using namespace std::chrono;

// Products ordered far more often than the rest; they are stocked and levelled at every branch.
constexpr int kPopularProducts = 100;
constexpr int kYearDays = 365;
// One special order in kLargeSpecialEvery orders a whole range: this many lines.
constexpr int kLargeSpecialEvery = 40;
constexpr int kLargeSpecialMin = 500;
constexpr int kLargeSpecialMax = 2000;

struct Weighted {
    const char* code;
    int weight;
};

// Status mixes of transfer rows by type and age of the order: old rows are mostly delivered,
// rows of the last days mostly still waiting or being picked.
const std::vector<Weighted> kShareOld = {{"Y", 600}, {"W", 150}, {"T", 100}, {"X", 70}, {"C", 40},
                                         {"O", 30},  {"A", 5},   {"N", 4},   {"R", 1}};
const std::vector<Weighted> kShareMonth = {{"Y", 350}, {"W", 120}, {"T", 100}, {"X", 50},
                                           {"C", 30},  {"A", 120}, {"O", 60},  {"P", 100},
                                           {"N", 60},  {"R", 10}};
const std::vector<Weighted> kShareDays = {{"N", 500}, {"A", 150}, {"P", 150}, {"O", 80},
                                          {"Y", 60},  {"W", 30},  {"X", 20},  {"C", 10}};
const std::vector<Weighted> kSpecialOld = {{"Y", 600}, {"W", 150}, {"T", 100}, {"X", 70}, {"C", 40},
                                           {"O", 20},  {"B", 10},  {"P", 5},   {"R", 5}};
const std::vector<Weighted> kSpecialMonth = {{"Y", 300}, {"W", 100}, {"T", 100}, {"X", 50},
                                             {"C", 30},  {"A", 120}, {"O", 60},  {"P", 140},
                                             {"B", 80},  {"S", 10},  {"R", 10}};
const std::vector<Weighted> kSpecialDays = {{"P", 450}, {"B", 150}, {"A", 150}, {"O", 80},
                                            {"S", 50},  {"N", 20},  {"Y", 50},  {"W", 30},
                                            {"X", 10},  {"C", 10}};

struct CompactProduct {
    std::string code;
    std::string smallBarcode;
    double unitPicking;
    const char* zone;
};

class ScaleWriter {
public:
    ScaleWriter(ServerSink& sink, Day today, const ScaleOptions& options)
        : sink_(sink), today_(today), year_(yearOf(today)), options_(options), rng_(20240611) {}

    void write() {
        writeConfiguration(sink_, today_);
        writeBranches();
        writeProducts();
        writeDcStock();
        writeBranchStock();
        writeLevels();
        writeTransit();
        writeTransferOrders();
        counters_[year_];
        counters_[year_ - 1];
        for (const auto& [year, last] : counters_) {
            writeDocumentNumbers(sink_, year, last);
        }
        writeServerInfo(sink_, today_, "scale");
    }

private:
    int uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
    bool chance(double p) { return std::bernoulli_distribution(p)(rng_); }

    const char* pick(const std::vector<Weighted>& mix) {
        int total = 0;
        for (const Weighted& w : mix) {
            total += w.weight;
        }
        int r = uniform(0, total - 1);
        for (const Weighted& w : mix) {
            if (r < w.weight) {
                return w.code;
            }
            r -= w.weight;
        }
        return mix.back().code;
    }

    int productCount() const { return static_cast<int>(products_.size()); }
    int popularCount() const { return std::min(kPopularProducts, productCount()); }
    // Index into products_ of a product to order: popular ones three times in ten.
    int orderedProduct() {
        return chance(0.3) ? uniform(0, popularCount() - 1) : uniform(0, productCount() - 1);
    }

    double orderQuantity(const CompactProduct& p) {
        if (p.unitPicking <= 0) {
            return uniform(1, 20);
        }
        return std::round(p.unitPicking * uniform(1, 6));
    }

    void writeBranches() {
        auto& table = sink_.table(
            kConfigDb, "Branch",
            {"BranchNo", "BranchCode", "BranchName", "StopDatabase", "ServerName", "Serverbranch"});
        const int regular = options_.branches - 3;
        const auto& places = branchPlaces();
        const int placeCount = static_cast<int>(places.size());
        auto add = [&](int number, const std::string& code, const std::string& name, bool stopped) {
            table.add({number, code, name, stopped ? "Y" : "N", "SRV-" + code, "NVK_" + code});
            if (code != kDcBranch) {
                orderBranches_.push_back(code);
                if (!stopped) {
                    activeBranches_.push_back(code);
                }
            }
        };
        add(1, kDcBranch, "ศูนย์กระจายสินค้า บางนา", false);
        for (int n = 1; n <= regular; ++n) {
            std::string name = std::string("สาขา") + places[(n - 1) % placeCount];
            if (n > placeCount) {
                name += " " + std::to_string((n - 1) / placeCount + 1);
            }
            // About one branch in a hundred is out of operation, and always at least one.
            const bool stopped = n % 100 == 37 || (regular < 37 && n == regular && n > 1);
            add(n + 1, "B" + zeroPad(n, 4), name, stopped);
        }
        add(regular + 2, "FS001", "แฟรนไชส์ ศรีราชา", false);
        add(regular + 3, "FS002", "แฟรนไชส์ หัวหิน", false);
    }

    void writeProducts() {
        int unitId = 1;
        int remaining = options_.units;
        for (int id = 1; remaining > 0; ++id) {
            const ProductInfo p = catalogueProduct(id);
            const int written = writeProduct(sink_, p, unitId, remaining);
            unitId += written;
            remaining -= written;
            products_.push_back({p.code, p.units[0].barcode, p.unitPicking, p.zone});
        }
    }

    void writeDcStock() {
        auto& table = sink_.table(kCompanyDb, "ProductOnhandSend",
                                  {"ProdCode", "WhCode", "WhZone", "Onhand"});
        for (const CompactProduct& p : products_) {
            if (chance(0.05)) {
                continue; // not stocked at the distribution centre
            }
            table.add({p.code, "DC01", p.zone, chance(0.03) ? 0.0 : double(uniform(50, 5000))});
            if (chance(0.10)) {
                table.add({p.code, "DC02", "F01", double(uniform(10, 800))});
            }
            if (chance(0.02)) {
                table.add({p.code, "WRT", "R01", double(uniform(1, 60))});
            }
        }
    }

    // Calls f(branch code) for the branches stocking product `index`: every branch for a
    // popular product, a run of `count` branches otherwise.
    template <typename F> void forStockingBranches(int index, int count, F f) {
        const int branches = static_cast<int>(activeBranches_.size());
        if (branches == 0) {
            return;
        }
        if (index < popularCount()) {
            for (const std::string& code : activeBranches_) {
                f(code);
            }
            return;
        }
        const int start = uniform(0, branches - 1);
        for (int j = 0; j < std::min(count, branches); ++j) {
            f(activeBranches_[(start + j) % branches]);
        }
    }

    void writeBranchStock() {
        auto& table = sink_.table(kBranchStockDb, "ProductOnhandAllBranch",
                                  {"BranchCode", "ProdCode", "Barcode", "Onhand"});
        for (int i = 0; i < productCount(); ++i) {
            const CompactProduct& p = products_[i];
            forStockingBranches(i, 8, [&](const std::string& branch) {
                table.add({branch, p.code, p.smallBarcode, double(uniform(0, 60))});
            });
        }
    }

    void writeLevels() {
        auto& company = sink_.table(kCompanyDb, "ProductManageBranch",
                                    {"BranchCode", "BarCode", "ReOrderQnty", "MinQnty", "MaxQnty"});
        auto& master = sink_.table(kProductDb, "ProductManageBranch",
                                   {"BranchCode", "BarCode", "ReOrderQnty", "MinQnty", "MaxQnty"});
        for (int i = 0; i < productCount(); ++i) {
            const CompactProduct& p = products_[i];
            forStockingBranches(i, 2, [&](const std::string& branch) {
                const double min = std::max(p.unitPicking, 1.0) * uniform(1, 4);
                for (TableSink* t : {&company, &master}) {
                    t->add({branch, p.smallBarcode, min * 2, min, min * 4});
                }
            });
        }
    }

    void writeTransit() {
        auto& headers = sink_.table(
            kTransferDb, "TranAllBranchHd",
            {"Id", "DocNo", "DocDate", "FromBranch", "ToBranch", "Delflag", "TranINOK"});
        auto& lines = sink_.table(kTransferDb, "TranAllBranchDt",
                                  {"TranAllBranchhd", "ProdCode", "BarCode", "QtyOut", "QtyIN"});
        const int count = static_cast<int>(orderBranches_.size()) * 3;
        std::map<int, int> numbers;
        for (int id = 1; id <= count; ++id) {
            const int back = uniform(0, 60);
            const Day day = today_ - days{back};
            const bool received = back > 7 ? chance(0.9) : chance(0.3);
            headers.add({id, documentNo("TR", yearOf(day), ++numbers[yearOf(day)]),
                         dateTime(day, 8 + id % 10, id % 60), kDcBranch,
                         orderBranches_[uniform(0, int(orderBranches_.size()) - 1)],
                         chance(0.03) ? "Y" : "N", received ? "Y" : "N"});
            for (int j = 0; j < 8; ++j) {
                const CompactProduct& p = products_[orderedProduct()];
                const double out = orderQuantity(p);
                const double in = received ? out : chance(0.3) ? std::floor(out / 2) : 0;
                lines.add({id, p.code, p.smallBarcode, out, in});
            }
        }
    }

    const std::vector<Weighted>& statusMix(bool share, int back) const {
        if (back > 30) {
            return share ? kShareOld : kSpecialOld;
        }
        if (back > 3) {
            return share ? kShareMonth : kSpecialMonth;
        }
        return share ? kShareDays : kSpecialDays;
    }

    // Share orders are drawn often enough that about 60 % of the rows are share-order rows: a
    // share order writes a row for most of its 20 to 300 branches, a special order 5 to 40 or,
    // one in kLargeSpecialEvery, 500 to 2,000 (never more than there are products).
    void writeTransferOrders() {
        const int pool = static_cast<int>(orderBranches_.size());
        const double shareRows = 0.85 * 0.975 * (std::min(20, pool) + std::min(300, pool)) / 2.0;
        const double largeRows =
            std::min((kLargeSpecialMin + kLargeSpecialMax) / 2.0, double(productCount()));
        const double specialRows =
            ((kLargeSpecialEvery - 1) * (5 + 40) / 2.0 + largeRows) / kLargeSpecialEvery;
        const double shareChance = 0.6 * specialRows / (0.6 * specialRows + 0.4 * shareRows);
        while (written_ < options_.tranBranch) {
            if (chance(shareChance)) {
                shareOrder();
            } else {
                specialOrder();
            }
        }
    }

    void shareOrder() {
        auto& headers =
            sink_.table(kCompanyDb, "OrderShereHd",
                        {"Id", "OrderNO", "OrderDate", "ProdCode", "BarCode", "UserCode", "Delflag",
                         "Approved", "UserApproced", "UpToTranBranch", "Version", "LocalIP"});
        auto& details = sink_.table(kCompanyDb, "OrderShereDt",
                                    {"Id", "OrderShereHd", "BranchCode", "OrderQnty", "Remark",
                                     "MinStock", "MaxStock", "BackOrder", "ProductRoute"});
        const bool open = chance(0.02);
        const bool cancelled = !open && chance(0.005);
        const bool approved = !open && !cancelled;
        const int back = open ? uniform(0, 3) : uniform(0, kYearDays - 1);
        const Day day = today_ - days{back};
        const int year = yearOf(day);
        const std::string number = documentNo("SH", year, ++counters_[year].share);
        const std::string orderDate = dateTime(day);
        const CompactProduct& p = products_[orderedProduct()];
        const int user = uniform(1, 2);
        const std::int64_t headerId = ++shareHeaderId_;
        headers.add({headerId, number, orderDate, p.code, p.smallBarcode,
                     user == 1 ? "SOMCHAI" : "JOHN", cancelled ? "Y" : "N", approved ? "Y" : "N",
                     approved ? Cell(user) : Cell(nullptr), approved ? "Y" : "N", kShareVersion,
                     "192.168.10." + std::to_string(20 + user)});

        const int pool = static_cast<int>(orderBranches_.size());
        const int lines = std::min(pool, uniform(std::min(20, pool), std::min(300, pool)));
        const int start = uniform(0, pool - 1);
        const std::string createDate = dateTime(day, 10 + back % 8, back % 60, 0, 250);
        for (int j = 0; j < lines && written_ < options_.tranBranch; ++j) {
            const std::string& branch = orderBranches_[(start + j) % pool];
            const bool zero = chance(0.15);
            const double qty = zero ? 0 : orderQuantity(p);
            const std::int64_t lineId = ++shareLineId_;
            details.add({lineId, headerId, branch, qty, "", 0.0, 0.0, 0.0, 0.0});
            if (!approved || zero) {
                continue;
            }
            TransferRow row;
            row.id = ++written_;
            row.orderNo = number;
            row.orderDate = orderDate;
            row.orderType = "S";
            row.orderBranchId = lineId;
            row.prodCode = p.code;
            row.barCode = p.smallBarcode;
            row.branchCode = branch;
            row.orderQnty = qty;
            row.closeOrder = pick(statusMix(true, back));
            row.createDate = createDate;
            addTransferRow(transferTable(sink_), row);
        }
    }

    // Most special orders top a branch up with a few products; now and then a branch (a new
    // one, a refit) orders a whole range. The first large order is the largest, so every
    // company big enough holds one of 2,000 lines.
    int specialOrderLines() {
        if (!chance(1.0 / kLargeSpecialEvery)) {
            return uniform(5, 40);
        }
        if (!largeSpecialDrawn_) {
            largeSpecialDrawn_ = true;
            return kLargeSpecialMax;
        }
        return uniform(kLargeSpecialMin, kLargeSpecialMax);
    }

    void specialOrder() {
        const int back = uniform(0, kYearDays - 1);
        const Day day = today_ - days{back};
        const int year = yearOf(day);
        DocumentCounters& counters = counters_[year];
        const std::string number = documentNo("SP", year, ++counters.special);
        const std::string orderDate = dateTime(day);
        const std::string pickDate = dateTime(day, 14, back % 60, 30, 500);
        const std::string createDate = dateTime(day, 14, back % 60, 10, 125);
        const std::string& branch = orderBranches_[uniform(0, int(orderBranches_.size()) - 1)];
        const int user = uniform(1, 2);

        const std::int64_t remaining = options_.tranBranch - written_;
        const int wanted = specialOrderLines();
        const int lines = static_cast<int>(
            std::min<std::int64_t>({wanted, remaining, std::int64_t(productCount())}));
        std::vector<int> chosen;
        chosen.reserve(lines);
        // Distinct products; should the draws keep meeting chosen ones (an order of nearly
        // every product), the rest are taken in catalogue order so the loop always ends.
        for (int draws = 0; static_cast<int>(chosen.size()) < lines && draws < 8 * lines; ++draws) {
            const int candidate = orderedProduct();
            if (std::find(chosen.begin(), chosen.end(), candidate) == chosen.end()) {
                chosen.push_back(candidate);
            }
        }
        for (int index = 0; static_cast<int>(chosen.size()) < lines; ++index) {
            if (std::find(chosen.begin(), chosen.end(), index) == chosen.end()) {
                chosen.push_back(index);
            }
        }
        // Picking numbers per zone, a new one for every 20 barcodes of the zone.
        struct ZoneGroup {
            int barcodes = 0;
            int chunk = 0;
            std::string pickingNo;
        };
        std::map<std::string, ZoneGroup> groups;
        for (int index : chosen) {
            const CompactProduct& p = products_[index];
            TransferRow row;
            row.id = ++written_;
            row.orderNo = number;
            row.orderDate = orderDate;
            row.orderType = "L";
            row.prodCode = p.code;
            row.barCode = p.smallBarcode;
            row.branchCode = branch;
            row.orderQnty = orderQuantity(p);
            row.closeOrder = pick(statusMix(false, back));
            row.createDate = createDate;
            row.pickNo = number;
            const std::string_view code = row.closeOrder;
            if (code == "S") {
                row.pickDate = orderDate;
                row.responsProdGroup = "SPECIAL";
            } else {
                row.pickDate = pickDate;
                row.userPick = user;
                if (code == "B") {
                    row.responsProdGroup = "";
                } else {
                    ZoneGroup& g = groups[p.zone];
                    if (g.barcodes++ % 20 == 0) {
                        ++g.chunk;
                        g.pickingNo = documentNo("PM", year, ++counters.picking);
                    }
                    row.responsProdGroup = std::string(p.zone) + "#" + zeroPad(g.chunk, 3);
                    row.productManageNo = g.pickingNo;
                }
            }
            addTransferRow(transferTable(sink_), row);
        }
    }

    ServerSink& sink_;
    Day today_;
    int year_;
    ScaleOptions options_;
    std::mt19937_64 rng_;
    std::vector<std::string> orderBranches_;  // every branch but the distribution centre
    std::vector<std::string> activeBranches_; // of those, the ones in operation
    std::vector<CompactProduct> products_;
    std::map<int, DocumentCounters> counters_;
    std::int64_t written_ = 0; // TranBranch rows, also their last Id
    std::int64_t shareHeaderId_ = 0;
    std::int64_t shareLineId_ = 0;
    bool largeSpecialDrawn_ = false;
};

} // namespace

void writeScaleData(ServerSink& sink, Day today, const ScaleOptions& options) {
    if (options.branches < 5 || options.units < 1 || options.tranBranch < 0) {
        throw std::invalid_argument("a company needs at least 5 branches and 1 product unit");
    }
    ScaleWriter(sink, today, options).write();
}

} // namespace dbtool
