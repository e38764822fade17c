// Reading an order sheet of 100,000 lines from xlsx: barcode numbers, Thai names from the
// shared strings, units and quantities. The workbook is written here, into a temp folder.
#include "platform/sheet/Sheet.h"
#include "support/ZipWriter.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRows = 100'000;

QByteArray sheetPart() {
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet xmlns=\"http://"
                     "schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>";
    xml.reserve(kRows * 160);
    for (int r = 1; r <= kRows; ++r) {
        const QByteArray row = QByteArray::number(r);
        xml += "<row r=\"" + row + "\"><c r=\"A" + row + "\"><v>" +
               QByteArray::number(8850000000000LL + r) + "</v></c><c r=\"B" + row +
               "\" t=\"s\"><v>" + QByteArray::number(r % 5000) + "</v></c><c r=\"C" + row +
               "\" t=\"s\"><v>" + QByteArray::number(5000 + r % 4) + "</v></c><c r=\"D" + row +
               "\"><v>" + QByteArray::number(r % 7 == 0 ? 12.5 : r % 50) + "</v></c></row>";
    }
    return xml + "</sheetData></worksheet>";
}

QByteArray sharedStrings() {
    QByteArray xml = "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">";
    for (int i = 0; i < 5000; ++i) {
        xml += "<si><t>" + QStringLiteral("น้ำดื่ม ตราภูผา ขนาด %1 มล.").arg(i).toUtf8() + "</t></si>";
    }
    for (const char* unit : {"ขวด", "แพ็ค", "ลัง", "ชิ้น"}) {
        xml += QByteArray("<si><t>") + unit + "</t></si>";
    }
    return xml + "</sst>";
}

bool writeWorkbook(const QString& path) {
    support::ZipWriter zip;
    const QByteArray relNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    zip.add("_rels/.rels", "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/"
                           "2006/relationships\"><Relationship Id=\"rId1\" Type=\"" +
                               relNs +
                               "/officeDocument\" Target=\"xl/workbook.xml\"/>"
                               "</Relationships>");
    zip.add("xl/workbook.xml", "<workbook xmlns=\"http://schemas.openxmlformats.org/"
                               "spreadsheetml/2006/main\" xmlns:r=\"" +
                                   relNs +
                                   "\"><sheets><sheet name=\"Order\" sheetId=\"1\" "
                                   "r:id=\"rId1\"/></sheets></workbook>");
    zip.add("xl/_rels/workbook.xml.rels",
            "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
            "relationships\"><Relationship Id=\"rId1\" Type=\"" +
                relNs +
                "/worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship "
                "Id=\"rId2\" Type=\"" +
                relNs + "/sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>");
    zip.add("xl/sharedStrings.xml", sharedStrings());
    zip.add("xl/worksheets/sheet1.xml", sheetPart());
    return zip.writeTo(path);
}

} // namespace

int main() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("order.xlsx"));
    if (!dir.isValid() || !writeWorkbook(path)) {
        std::fprintf(stderr, "cannot write the workbook\n");
        return 1;
    }
    std::vector<double> seconds;
    sheet::UsedRange range;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        range = sheet::readFirstSheet(path);
        seconds.push_back(double(timer.nsecsElapsed()) / 1e9);
    }
    std::sort(seconds.begin(), seconds.end());
    const double median = seconds[seconds.size() / 2];
    const qint64 cells = qint64(range.rowCount()) * range.columnCount();
    std::printf("rows: %d rows\n", range.rowCount());
    std::printf("cells: %lld cells\n", static_cast<long long>(cells));
    std::printf("read_seconds_median: %.3f s (target: 100,000 x 4 in <= 1 s)\n", median);
    std::printf("cells_per_second: %.0f cells/s (target: >= 400000)\n", double(cells) / median);
    return range.rowCount() == kRows && range.columnCount() == 4 ? 0 : 1;
}
