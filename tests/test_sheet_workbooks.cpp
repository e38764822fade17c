// Workbooks as office software and hand-made files store them: every reader gives the same
// texts for the same order lines.
#include "platform/sheet/Sheet.h"
#include "support/ZipWriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using Rows = std::vector<QStringList>;

QString fixture(const char* name) {
    return QDir(QStringLiteral(ORDERTOOL_SHEET_FIXTURES)).filePath(QLatin1String(name));
}

const QString kWater = QStringLiteral("น้ำดื่ม ตราภูผา");
const QString kRice = QStringLiteral("ข้าวหอมมะลิ 5 กก.");
const QString kSoap = QStringLiteral("สบู่ก้อน");
const QString kMilk = QStringLiteral("นมสด");
const QStringList kHeader = {"BarCode", "ThaiName", "UOM", "Order_Qty"};

// The order lines of make_fixtures.py; formula and boolean cells as each writer stores them.
Rows orderLines(const QString& formula, const QString& boolean) {
    return {kHeader,
            {"8850999320014", kWater, QStringLiteral("ขวด"), "10"},
            {"0885099932001", kRice, QStringLiteral("ถุง"), "12.5"},
            {"", kSoap, QStringLiteral("ก้อน"), formula},
            {"8851111111111", kMilk, "15/03/2024", boolean}};
}

TEST(SheetWorkbooks, EveryFixtureReadsToItsRows) {
    const struct {
        const char* file;
        Rows rows;
    } cases[] = {
        // LibreOffice keeps a TRUE without a boolean format as the number 1.
        {"lo_order.xlsx", orderLines("10", "1")},
        {"lo_order.ods", orderLines("10", "1")},
        // FreeXL gives no value for a formula cell and a boolean as its number.
        {"lo_order.xls", orderLines("", "1")},
        {"xlwt_order.xls", orderLines("", "1")},
        // openpyxl stores no result for a formula it cannot compute.
        {"openpyxl_order.xlsx", orderLines("", "TRUE")},
        {"handmade_transitional.xlsx",
         {kHeader,
          {"8850999320014", kWater, QStringLiteral("ขวด"), "10"},
          {"", "", "", ""},
          {"", "", "  two spaces\r", "Tab\t"},
          {"", "", "", "Tab\there _x0041_"}}},
        {"handmade_strict.xlsx",
         {kHeader,
          {"8850999320014", kWater, "#N/A", "12.5"},
          {"", "FALSE", "15/03/2024", "10"},
          {"15/03/2024", "15/03/2024", "", ""}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        try {
            const auto range = sheet::readFirstSheet(fixture(c.file));
            EXPECT_EQ(range.rows, c.rows);
        } catch (const sheet::SheetError& e) {
            ADD_FAILURE() << e.what();
        }
    }
}

const char* kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char* kRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

class SheetBuilt : public ::testing::Test {
protected:
    sheet::UsedRange read(const QByteArray& bytes, const char* name) {
        const QString path = dir_.filePath(QLatin1String(name));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        f.close();
        return sheet::readFirstSheet(path);
    }

    // An xlsx of one sheet and a style sheet.
    sheet::UsedRange readXlsx(const QByteArray& rows, const QByteArray& styles) {
        support::ZipWriter zip;
        zip.add("_rels/.rels",
                QByteArray("<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                           "relationships\"><Relationship Id=\"a\" Type=\"") +
                    kRelNs + "/officeDocument\" Target=\"/xl/workbook.xml\"/></Relationships>");
        zip.add("xl/workbook.xml", QByteArray("<workbook xmlns=\"") + kMain + "\" xmlns:r=\"" +
                                       kRelNs +
                                       "\"><sheets><sheet r:id=\"s\"/></sheets></workbook>");
        zip.add("xl/_rels/workbook.xml.rels",
                QByteArray("<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                           "relationships\"><Relationship Id=\"s\" Type=\"") +
                    kRelNs + "/worksheet\" Target=\"sheet.xml\"/><Relationship Id=\"t\" Type=\"" +
                    kRelNs + "/styles\" Target=\"styles.xml\"/></Relationships>");
        zip.add("xl/styles.xml",
                QByteArray("<styleSheet xmlns=\"") + kMain + "\">" + styles + "</styleSheet>");
        zip.add("xl/sheet.xml", QByteArray("<worksheet xmlns=\"") + kMain + "\"><sheetData>" +
                                    rows + "</sheetData></worksheet>");
        return read(zip.finish(), "built.xlsx");
    }

    QTemporaryDir dir_;
};

TEST_F(SheetBuilt, NumberFormatsDecideWhichNumbersAreDates) {
    const struct {
        const char* format; // a custom code, or "#id" for a built-in one
        const char* serial;
        QString text;
    } cases[] = {
        {"#14", "45366", "15/03/2024"},
        {"#22", "45366.5", "15/03/2024"},
        {"#47", "45366", "15/03/2024"},
        {"#76", "45366", "15/03/2024"}, // a Thai built-in date format
        {"#0", "45366", "45366"},
        {"#2", "45366", "45366"},
        {"#49", "45366", "45366"},
        {"dd/mm/yyyy", "45366", "15/03/2024"},
        {"[$-1070000]d/mm/yyyy;@", "45366", "15/03/2024"},
        {"yyyy-mm-dd h:mm", "45366.25", "15/03/2024"},
        {"\"Qty \"0.0", "45366", "45366"},
        {"[Red]0.00;[Blue]-0.00", "45366", "45366"},
        {"0_)\\d", "45366", "45366"},
        {"General", "8850999320014", "8850999320014"},
        // The 1900 system counts a 29 February that never was.
        {"#14", "59", "28/02/1900"},
        {"#14", "60", "29/02/1900"},
        {"#14", "61", "01/03/1900"},
        {"#14", "1", "01/01/1900"},
        // No calendar day: the number stays.
        {"#14", "0.5", "0.5"},
        {"#14", "-3", "-3"},
    };
    QByteArray numFmts, xfs, cells;
    int column = 0;
    for (const auto& c : cases) {
        int id = 0;
        if (c.format[0] == '#') {
            id = QByteArray(c.format + 1).toInt();
        } else {
            id = 164 + column;
            numFmts += "<numFmt numFmtId=\"" + QByteArray::number(id) + "\" formatCode=\"" +
                       QByteArray(c.format).replace("\"", "&quot;") + "\"/>";
        }
        xfs += "<xf numFmtId=\"" + QByteArray::number(id) + "\"/>";
        cells += "<c s=\"" + QByteArray::number(column) + "\"><v>" + c.serial + "</v></c>";
        ++column;
    }
    // A style of the cell styles table must not shift the cell formats.
    const QByteArray styles = "<numFmts>" + numFmts +
                              "</numFmts><cellStyleXfs><xf numFmtId=\"14\"/></cellStyleXfs>"
                              "<cellXfs>" +
                              xfs + "</cellXfs>";
    const auto range = readXlsx("<row>" + cells + "</row>", styles);
    ASSERT_EQ(range.rowCount(), 1);
    ASSERT_EQ(range.columnCount(), column);
    for (int i = 0; i < column; ++i) {
        EXPECT_EQ(range.rows[0][i], cases[i].text) << cases[i].format << " " << cases[i].serial;
    }
}

TEST_F(SheetBuilt, OdsRepeatsCoveredCellsAndParagraphs) {
    const QByteArray content =
        "<office:document-content "
        "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:body>"
        "<office:spreadsheet><table:table table:name=\"A\">"
        "<table:table-column table:number-columns-repeated=\"1024\"/>"
        "<table:table-row table:number-rows-repeated=\"2\">"
        "<table:table-cell table:number-columns-repeated=\"1024\"/></table:table-row>"
        "<table:table-header-rows><table:table-row><table:table-cell/>"
        "<table:table-cell office:value-type=\"string\"><text:p>a<text:s text:c=\"3\"/>b"
        "<text:tab/>c<text:s/></text:p><text:p>second <text:span>line</text:span>"
        "<text:line-break/>x</text:p><office:annotation><text:p>a comment</text:p>"
        "</office:annotation></table:table-cell>"
        "<table:table-cell table:number-columns-spanned=\"2\" office:value-type=\"percentage\" "
        "office:value=\"0.125\"><text:p>12.50%</text:p></table:table-cell>"
        "<table:covered-table-cell/>"
        "<table:table-cell office:value-type=\"date\" office:date-value=\"2024-03-15T10:30:00\">"
        "<text:p>15/03/24</text:p></table:table-cell></table:table-row></table:table-header-rows>"
        "<table:table-row-group><table:table-row table:number-rows-repeated=\"2\">"
        "<table:table-cell table:number-columns-repeated=\"2\"/>"
        "<table:table-cell office:value-type=\"boolean\" office:boolean-value=\"false\">"
        "<text:p>FALSE</text:p></table:table-cell><table:covered-table-cell/>"
        "<table:table-cell office:value-type=\"currency\" office:currency=\"THB\" "
        "office:value=\"8850999320014\"><text:p>8,850,999,320,014.00 THB</text:p>"
        "</table:table-cell></table:table-row></table:table-row-group>"
        "<table:table-row table:number-rows-repeated=\"1048000\">"
        "<table:table-cell table:number-columns-repeated=\"16384\"/></table:table-row>"
        "</table:table><table:table table:name=\"B\"><table:table-row><table:table-cell "
        "office:value-type=\"string\"><text:p>not this</text:p></table:table-cell>"
        "</table:table-row></table:table></office:spreadsheet></office:body>"
        "</office:document-content>";
    support::ZipWriter zip;
    zip.add("mimetype", "application/vnd.oasis.opendocument.spreadsheet", false);
    zip.add("content.xml", content);
    const auto range = read(zip.finish(), "built.ods");
    const Rows expected = {
        {"a   b\tc \nsecond line\nx", "0.125", "", "15/03/2024"},
        {"", "FALSE", "", "8850999320014"},
        {"", "FALSE", "", "8850999320014"},
    };
    EXPECT_EQ(range.rows, expected);
}

} // namespace
