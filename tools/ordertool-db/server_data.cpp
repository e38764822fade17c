#include "server_data.h"

#include "server_schema.h"

#include <cmath>
#include <cstdio>

namespace dbtool {

using namespace std::chrono;

std::string dateTime(Day day, int hour, int minute, int second, int millis) {
    const year_month_day ymd{day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d.%03d", int(ymd.year()),
                  unsigned(ymd.month()), unsigned(ymd.day()), hour, minute, second, millis);
    return text;
}

int yearOf(Day day) {
    return int(year_month_day{day}.year());
}

Day firstDayOfYear(int y) {
    return sys_days{year{y} / January / 1};
}

std::string zeroPad(std::int64_t value, int width) {
    std::string digits = std::to_string(value);
    if (static_cast<int>(digits.size()) < width) {
        digits.insert(0, width - digits.size(), '0');
    }
    return digits;
}

std::string ean13(std::uint64_t first12) {
    std::string digits = zeroPad(static_cast<std::int64_t>(first12), 12);
    int sum = 0;
    for (int i = 0; i < 12; ++i) {
        sum += (digits[i] - '0') * (i % 2 == 0 ? 1 : 3);
    }
    digits += char('0' + (10 - sum % 10) % 10);
    return digits;
}

std::string unitBarcode(int productId, int unit) {
    // 885 is the country prefix of the chain's suppliers; the item part encodes product and unit.
    return ean13(885'000'000'000ULL + static_cast<std::uint64_t>(productId) * 10 + unit);
}

std::string documentPrefix(const char* codePrefix, int year) {
    return std::string(codePrefix) + zeroPad(year % 100, 2);
}

std::string documentNo(const char* codePrefix, int year, std::int64_t number) {
    const std::string prefix = documentPrefix(codePrefix, year);
    return prefix + zeroPad(number, kDocumentLength - static_cast<int>(prefix.size()));
}

namespace {

struct LargerUnit {
    const char* name;
    int fraction;
};

struct Category {
    const char* name;
    const char* variants[5];
    const char* sizes[4];
    const char* smallUnit;
    LargerUnit larger[3]; // empty names end the list
    double unitPicking;
    double price; // of the smallest unit of the first size
    const char* zone;
};

// Fifteen grocery categories; five variants by four sizes give 300 distinct names.
const Category kCategories[] = {
    {"น้ำดื่ม",
     {"ตราภูผา", "ตราธารา", "ตราใสสะอาด", "ตราน้ำทิพย์", "ตราแก้วใส"},
     {"350 มล.", "600 มล.", "1 ลิตร", "1.5 ลิตร"},
     "ขวด",
     {{"แพ็ค 6", 6}, {"แพ็ค 12", 12}, {"ลัง", 24}},
     12,
     6,
     "A01"},
    {"นมยูเอชที",
     {"รสจืด", "รสหวาน", "รสช็อกโกแลต", "รสสตรอว์เบอร์รี", "ไขมันต่ำ"},
     {"180 มล.", "225 มล.", "250 มล.", "1 ลิตร"},
     "กล่อง",
     {{"แพ็ค 4", 4}, {"ลัง", 48}, {}},
     12,
     12,
     "A02"},
    {"บะหมี่กึ่งสำเร็จรูป",
     {"รสต้มยำกุ้ง", "รสหมูสับ", "รสไก่", "รสต้มยำน้ำข้น", "รสเป็ดพะโล้"},
     {"55 กรัม", "60 กรัม", "90 กรัม", "แบบถ้วย 60 กรัม"},
     "ซอง",
     {{"แพ็ค 10", 10}, {"ลัง", 30}, {}},
     6,
     7,
     "A03"},
    {"กาแฟปรุงสำเร็จ 3in1",
     {"สูตรเข้มข้น", "สูตรกลมกล่อม", "สูตรน้ำตาลน้อย", "มอคค่า", "ลาเต้"},
     {"18 ซอง", "27 ซอง", "50 ซอง", "100 ซอง"},
     "ถุง",
     {{"แพ็ค 3", 3}, {"ลัง", 24}, {}},
     6,
     65,
     "A04"},
    {"น้ำมันพืช",
     {"ถั่วเหลือง", "ปาล์ม", "รำข้าว", "ทานตะวัน", "คาโนล่า"},
     {"250 มล.", "500 มล.", "1 ลิตร", "2 ลิตร"},
     "ขวด",
     {{"แพ็ค 3", 3}, {"ลัง", 12}, {}},
     12,
     22,
     "B01"},
    {"ข้าวหอมมะลิ",
     {"100%", "คัดพิเศษ", "ข้าวกล้อง", "ไรซ์เบอร์รี่", "ข้าวเสาไห้"},
     {"1 กก.", "2 กก.", "5 กก.", "15 กก."},
     "ถุง",
     {{"มัด", 5}, {}, {}},
     1,
     45,
     "B02"},
    {"ยาสีฟัน",
     {"สูตรสมุนไพร", "สูตรฟันขาว", "สูตรเย็นสดชื่น", "สูตรลดการเสียวฟัน", "สำหรับเด็ก"},
     {"40 กรัม", "80 กรัม", "150 กรัม", "แพ็คคู่ 150 กรัม"},
     "หลอด",
     {{"โหล", 12}, {"ลัง", 72}, {}},
     12,
     25,
     "B03"},
    {"สบู่ก้อน",
     {"กลิ่นมะลิ", "กลิ่นกุหลาบ", "สูตรขมิ้น", "สูตรน้ำนม", "สูตรชาร์โคล"},
     {"65 กรัม", "90 กรัม", "115 กรัม", "160 กรัม"},
     "ก้อน",
     {{"แพ็ค 4", 4}, {"ลัง", 144}, {}},
     6,
     12,
     "B04"},
    {"ผงซักฟอก",
     {"สูตรมาตรฐาน", "สูตรเข้มข้น", "สำหรับเครื่องฝาหน้า", "กลิ่นซากุระ", "ถนอมผ้าสี"},
     {"400 กรัม", "800 กรัม", "2.5 กก.", "5 กก."},
     "ถุง",
     {{"ลัง", 12}, {}, {}},
     1,
     39,
     "C01"},
    {"น้ำยาล้างจาน",
     {"กลิ่นมะนาว", "กลิ่นใบชา", "สูตรอ่อนโยน", "สูตรขจัดคราบมัน", "กลิ่นส้ม"},
     {"150 มล.", "400 มล.", "550 มล.", "ถุงเติม 500 มล."},
     "ขวด",
     {{"แพ็ค 3", 3}, {"ลัง", 24}, {}},
     24,
     15,
     "C02"},
    {"มันฝรั่งทอดกรอบ",
     {"รสออริจินัล", "รสโนริสาหร่าย", "รสบาร์บีคิว", "รสชีส", "รสต้มยำ"},
     {"25 กรัม", "50 กรัม", "75 กรัม", "150 กรัม"},
     "ซอง",
     {{"แพ็ค 6", 6}, {"ลัง", 48}, {}},
     6,
     10,
     "C03"},
    {"น้ำอัดลม",
     {"รสโคล่า", "รสส้ม", "รสมะนาว", "รสน้ำแดง", "สูตรไม่มีน้ำตาล"},
     {"325 มล.", "500 มล.", "1.25 ลิตร", "2 ลิตร"},
     "ขวด",
     {{"แพ็ค 6", 6}, {"ลัง", 24}, {}},
     24,
     14,
     "D01"},
    {"ซอสปรุงรส",
     {"ซีอิ๊วขาว", "น้ำปลาแท้", "ซอสหอยนางรม", "ซอสพริก", "ซอสมะเขือเทศ"},
     {"200 มล.", "300 มล.", "700 มล.", "1 ลิตร"},
     "ขวด",
     {{"ลัง", 12}, {}, {}},
     12,
     18,
     "D02"},
    {"กระดาษทิชชู่",
     {"ม้วนเล็ก", "ม้วนใหญ่", "แบบกล่อง", "แบบพกพา", "เช็ดหน้า"},
     {"แพ็ค 4", "แพ็ค 6", "แพ็ค 12", "แพ็ค 24"},
     "แพ็ค",
     {{"ห่อใหญ่", 4}, {"ลัง", 8}, {}},
     1,
     35,
     "E01"},
    {"แชมพู",
     {"สูตรขจัดรังแค", "สูตรผมนุ่มลื่น", "สูตรสมุนไพร", "สูตรผมทำสี", "สำหรับเด็ก"},
     {"70 มล.", "170 มล.", "340 มล.", "450 มล."},
     "ขวด",
     {{"แพ็ค 3", 3}, {"ลัง", 24}, {}},
     24,
     29,
     "E02"},
};
constexpr int kCategoryCount = sizeof kCategories / sizeof kCategories[0];

double roundToQuarter(double value) {
    return std::round(value * 4) / 4;
}

const char* const kBuyingCodes[] = {"DC", "DC", "DC", "DS", "XD"};

} // namespace

ProductInfo catalogueProduct(int id) {
    ProductInfo p;
    p.id = id;
    p.code = "P" + zeroPad(id, 6);
    p.buyingCode = kBuyingCodes[id % 5];
    p.negative = id % 3 == 0 ? "Y" : "N";

    if (id == 2) {
        // Loose rice, weighed out and picked in bags of 2.5 kg.
        p.name = "ข้าวหอมมะลิ แบ่งขาย (กก.)";
        p.unitPicking = 2.5;
        p.zone = "B02";
        p.units = {{"กก.", 1, unitBarcode(id, 0), true, 42},
                   {"กระสอบ 25 กก.", 25, unitBarcode(id, 1), false, 1000}};
        return p;
    }
    if (id == 3) {
        // A give-away item without a picking multiple.
        p.name = "ถุงผ้ารักษ์โลก (ของแถม)";
        p.unitPicking = 0;
        p.zone = "E02";
        p.units = {{"ใบ", 1, unitBarcode(id, 0), true, 1}};
        return p;
    }

    const int index = (id - 1) % (kCategoryCount * 20);
    const Category& c = kCategories[index % kCategoryCount];
    const int variant = (index / kCategoryCount) % 5;
    const int size = (index / kCategoryCount) / 5;
    p.name = std::string(c.name) + " " + c.variants[variant] + " " + c.sizes[size];
    p.unitPicking = c.unitPicking;
    p.zone = c.zone;
    const double sizeFactor[] = {1, 1.7, 2.8, 4.5};
    const double smallPrice = roundToQuarter(c.price * sizeFactor[size] + variant * 0.5);
    p.units.push_back({c.smallUnit, 1, unitBarcode(id, 0), true, smallPrice});
    for (int u = 0; u < 3 && c.larger[u].name; ++u) {
        const double fraction = c.larger[u].fraction;
        const double discount = u == 0 ? 0.97 : 0.94;
        p.units.push_back({c.larger[u].name, fraction, unitBarcode(id, u + 1), false,
                           roundToQuarter(smallPrice * fraction * discount)});
    }
    return p;
}

const std::vector<const char*>& branchPlaces() {
    static const std::vector<const char*> places = {
        "บางนา",   "ลาดพร้าว",  "รามอินทรา",   "บางกะปิ", "สุขุมวิท", "พระราม 2",    "พระราม 3",
        "รังสิต",    "นนทบุรี",    "ปากเกร็ด",    "บางแค",  "ตลิ่งชัน", "มีนบุรี",        "หนองจอก",
        "ดอนเมือง", "บางบัวทอง", "สมุทรปราการ", "บางพลี",  "มหาชัย", "นครปฐม",      "อยุธยา",
        "สระบุรี",   "ชลบุรี",     "ศรีราชา",     "พัทยา",   "ระยอง", "จันทบุรี",       "ฉะเชิงเทรา",
        "ปราจีนบุรี", "นครนายก",  "ราชบุรี",      "เพชรบุรี", "หัวหิน",  "ประจวบคีรีขันธ์", "สุพรรณบุรี",
        "กาญจนบุรี", "ลพบุรี",     "สิงห์บุรี",      "อ่างทอง", "ชัยนาท",
    };
    return places;
}

void writeConfiguration(ServerSink& sink, Day today) {
    const int year = yearOf(today);

    sink.table(kConfigDb, "Company", {"Id",
                                      "Code",
                                      "NameThai",
                                      "NameEng",
                                      "ShortName",
                                      "Address1",
                                      "Address2",
                                      "Address3",
                                      "Address4",
                                      "Province",
                                      "Zip",
                                      "Telephone",
                                      "Fax",
                                      "EMail",
                                      "Logo",
                                      "TaxNo",
                                      "InstallDate",
                                      "RunYear",
                                      "LocalServer",
                                      "FUNDNAME",
                                      "TaxBranchHead",
                                      "TaxBranchCode",
                                      "TaxBranchName"})
        .add({1,
              "NVK",
              "บริษัท นวกิจ ค้าปลีก จำกัด",
              "Nawakij Retail Co., Ltd.",
              "นวกิจ",
              "99/9 ถนนบางนา-ตราด",
              "แขวงบางนาใต้",
              "เขตบางนา",
              "",
              "กรุงเทพมหานคร",
              "10260",
              "02-123-4567",
              "02-123-4568",
              "info@nawakij.example",
              "",
              "0105551234567",
              dateTime(firstDayOfYear(2012) + days{31}),
              year,
              "",
              "",
              "Y",
              "00000",
              "สำนักงานใหญ่"});

    // The launcher's point-of-sale entry; the company row names it as its default menu.
    sink.table(kConfigDb, "CompanyConfig",
               {"Company", "PicturePath", "Public_Price_IE", "DefaultWh", "POS1_Wh", "POS1_TaxCode",
                "POS1_Price_IE", "POS1_PriceType", "POS1_SumDetail", "DefaultPosComPort",
                "DefaultTax", "DefaultPosMenuId"})
        .add({1, "pictures", "I", "DC01", "DC01", "V7", "I", 1, "N", "COM1", "V7", 900});

    sink.table(kConfigDb, "DatabaseList",
               {"Id", "Company", "DatabaseName", "Description", "YearNo"})
        .add({1, 1, kCompanyDb, "ฐานข้อมูลศูนย์กระจายสินค้า", year});

    auto& menu = sink.table(kConfigDb, "Menu",
                            {"Id", "ParentId", "SortNo", "Caption", "Command", "MenuOption"});
    // A group entry has no command, so the schema upgrade leaves its version empty.
    menu.add({100, 0, 1, "ระบบสั่งสินค้าสาขา", nullptr, nullptr});
    menu.add({101, 100, 1, "บันทึกใบแบ่ง", "ordertool", "4"});
    menu.add({102, 100, 2, "  ใบสั่งพิเศษ  ", "ordertool", "5"});
    menu.add({900, 0, 9, "ขายหน้าร้าน", "pos", "1"});

    auto& users = sink.table(kConfigDb, "username",
                             {"Id",
                              "Code",
                              "fullname",
                              "languageno",
                              "Saleman",
                              "EditSalePrice",
                              "Approve_Quo",
                              "Approve_SO",
                              "Approve_IV",
                              "Approve_PO",
                              "Approved_PORQ",
                              "ApproveTranWH",
                              "ApproveTranBranch",
                              "ApproveWorkOrder",
                              "CanSeeCost",
                              "CanSeeSalePrice",
                              "CanModifyCusSale",
                              "Approve_PreIs",
                              "ApproveCustomerDropUse",
                              "ApproveCustomerDropCredit",
                              "CanModifyCredit",
                              "CanSetProductBlock",
                              "CanSetProductMinus",
                              "CanSaleCreditOnReturnCheque",
                              "CanSetOtherUserPass",
                              "Approve_PoLevel1",
                              "Approve_PoLevel2",
                              "Approve_PoLevel3"});
    users.add({1,   "SOMCHAI", "สมชาย ใจดี", 1,   11,  "Y", "Y", "Y", "Y", "Y", "Y", "Y", "Y", "Y",
               "Y", "Y",       "Y",         "Y", "Y", "Y", "Y", "Y", "Y", "Y", "Y", "Y", "Y", "Y"});
    users.add({2,   "JOHN", "John Carter", 2,   12,  "N", "Y",     "Y",    "N", "Y",
               "N", "Y",    "Y",           "N", "Y", "Y", "N",     "N",    "N", "N",
               "N", "N",    "N",           "N", "N", "Y", nullptr, nullptr});
    users.add({3,   "SOMYING", "สมหญิง รักงาน", 1,   0,   "N",     "N",     "N",    "N", "N",
               "N", "N",       "N",           "N", "N", "Y",     "N",     "N",    "N", "N",
               "N", "N",       "N",           "N", "N", nullptr, nullptr, nullptr});
    users.add({4,   "WICHAI", "วิชัย มาใหม่", 1,   0,   "N",     "N",     "N",    "N", "N",
               "N", "N",      "N",         "N", "N", "N",     "N",     "N",    "N", "N",
               "N", "N",      "N",         "N", "N", nullptr, nullptr, nullptr});

    // User 1 and 2 may open and save, user 3 may only open, user 4 may not open.
    auto& rights = sink.table(kConfigDb, "MenuRight",
                              {"MenuId", "UserId", "Access_R", "Add_R", "Modify_R", "Delete_R"});
    for (int menuId : {101, 102}) {
        rights.add({menuId, 1, "Y", "Y", "Y", "Y"});
        rights.add({menuId, 2, "Y", "Y", "N", "N"});
        rights.add({menuId, 3, "Y", "N", "N", "N"});
        rights.add({menuId, 4, "N", "N", "N", "N"});
    }

    // Company settings that the business connection loads after connecting.
    sink.table(kCompanyDb, "Config", {"Id", "CompanyName", "Currency"})
        .add({1, "บริษัท นวกิจ ค้าปลีก จำกัด", "THB"});
    auto& periods =
        sink.table(kCompanyDb, "accountperiod", {"accountyear", "StartDate", "EndDate", "Closed"});
    for (int y = year - 1; y <= year; ++y) {
        periods.add({y, dateTime(firstDayOfYear(y)), dateTime(firstDayOfYear(y + 1) - days{1}),
                     y < year ? "Y" : "N"});
    }
    auto& misc = sink.table(kCompanyDb, "Misc", {"MiscGroup", "Code", "Description"});
    misc.add({"CURRENCY", "THB", "บาท"});
    misc.add({"CURRENCY", "USD", "ดอลลาร์สหรัฐ"});
    auto& rates =
        sink.table(kCompanyDb, "CurrencyEx", {"Currency", "ExDate", "BuyRate", "SellRate"});
    rates.add({"THB", dateTime(firstDayOfYear(year)), 1.0, 1.0});
    rates.add({"USD", dateTime(today - days{7}), 35.42, 35.88});
    rates.add({"USD", dateTime(today), 35.51, 35.97});
}

int writeProduct(ServerSink& sink, const ProductInfo& product, int firstUnitId, int maxUnits) {
    for (const char* db : {kCompanyDb, kProductDb}) {
        sink.table(db, "Product",
                   {"Id", "Code", "ThaiName", "UnitPicking", "BuyingCode", "Negative"})
            .add({product.id, product.code, product.name, product.unitPicking, product.buyingCode,
                  product.negative});
    }
    auto& companyUnits =
        sink.table(kCompanyDb, "ProductUnits",
                   {"Id", "Product", "Barcode", "UnitName", "Fraction", "SmallUnitFlag"});
    auto& productUnits =
        sink.table(kProductDb, "ProductUnits",
                   {"Id", "Product", "Barcode", "UnitName", "Fraction", "SmallUnitFlag"});
    auto& prices =
        sink.table(kProductDb, "productprice", {"Product", "ProductUnits", "price", "pricetype"});
    int written = 0;
    for (const UnitInfo& unit : product.units) {
        if (written == maxUnits) {
            break;
        }
        const int unitId = firstUnitId + written;
        for (TableSink* units : {&companyUnits, &productUnits}) {
            units->add({unitId, product.id, unit.barcode, unit.name, unit.fraction,
                        unit.small ? "Y" : "N"});
        }
        // Price type 1 is the shop price, type 2 the wholesale price.
        if (unit.price) {
            prices.add({product.id, unitId, *unit.price, 1});
            prices.add({product.id, unitId, roundToQuarter(*unit.price * 0.95), 2});
        }
        ++written;
    }
    return written;
}

void writeDocumentNumbers(ServerSink& sink, int year, const DocumentCounters& last) {
    auto& numbers = sink.table(
        kCompanyDb, "DocumentNo",
        {"Code", "DocYear", "Description", "Prefix", "LastNo", "DocumentLength", "AutoRun"});
    numbers.add({"ORD-SHARE", year, "ใบแบ่งสินค้า", "SH", last.share, kDocumentLength, "Y"});
    numbers.add({"PICKSPECIA", year, "ใบสั่งพิเศษ", "SP", last.special, kDocumentLength, "Y"});
    numbers.add({"PRODUCTMANAGE", year, "เลขที่จัดสินค้า", "PM", last.picking, kDocumentLength, "Y"});
}

void writeServerInfo(ServerSink& sink, Day today, const char* description) {
    sink.table(kMasterDb, "ServerInfo", {"Created", "Description"})
        .add({dateTime(today), description});
}

} // namespace dbtool

namespace dbtool {

namespace {

Cell optionalText(const std::optional<std::string>& text) {
    return text ? Cell(*text) : Cell(nullptr);
}

} // namespace

bool isDelivered(const char* closeOrder) {
    const std::string_view c = closeOrder;
    return c == "Y" || c == "W" || c == "T";
}

bool isCancelled(const char* closeOrder) {
    const std::string_view c = closeOrder;
    return c == "X" || c == "C";
}

TableSink& transferTable(ServerSink& sink) {
    return sink.table(kCompanyDb, "TranBranch", {"Id",
                                                 "OrderNo",
                                                 "OrderDate",
                                                 "OrderType",
                                                 "OrderBranchId",
                                                 "ProdCode",
                                                 "BarCode",
                                                 "BranchCode",
                                                 "OrderQnty",
                                                 "SendQnty",
                                                 "TransendQnty",
                                                 "CloseOrder",
                                                 "Transfer",
                                                 "UpdateBranch",
                                                 "Locations",
                                                 "CreateDate",
                                                 "PickNo",
                                                 "PickDate",
                                                 "UserPick",
                                                 "ResponsProdGroup",
                                                 "ProductManageNo",
                                                 "BoxNo",
                                                 "Remark"});
}

void addTransferRow(TableSink& table, const TransferRow& row) {
    const std::string_view code = row.closeOrder;
    const bool delivered = isDelivered(row.closeOrder);
    const bool cancelled = isCancelled(row.closeOrder);
    const double sent = delivered ? row.orderQnty : cancelled ? std::floor(row.orderQnty / 2) : 0;
    // A special-order row waiting for its pick assignment still says the branch must update.
    const bool provisional = code == "S" && std::string_view(row.orderType) == "L";
    const bool picked = row.productManageNo.has_value();
    std::string box;
    if (delivered || code == "A") {
        box = "BX" + zeroPad(row.id % 100000, 5);
    }
    table.add({row.id,
               row.orderNo,
               row.orderDate,
               row.orderType,
               row.orderBranchId,
               row.prodCode,
               row.barCode,
               row.branchCode,
               row.orderQnty,
               sent,
               sent,
               row.closeOrder,
               delivered || cancelled ? "Y" : "N",
               provisional || delivered ? "Y" : "N",
               "",
               row.createDate,
               optionalText(row.pickNo),
               optionalText(row.pickDate),
               row.userPick ? Cell(*row.userPick) : Cell(nullptr),
               optionalText(row.responsProdGroup),
               optionalText(row.productManageNo),
               picked ? Cell(box) : Cell(nullptr),
               picked ? Cell("") : Cell(nullptr)});
}

} // namespace dbtool
