// Delimited text files and the cell texts every reader gives.
#include "platform/sheet/Sheet.h"

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString write(const QTemporaryDir& dir, const QByteArray& bytes, const char* name = "lines.csv") {
    const QString path = dir.filePath(QLatin1String(name));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

std::vector<QStringList> rowsOf(const QByteArray& bytes) {
    QTemporaryDir dir;
    return sheet::readFirstSheet(write(dir, bytes)).rows;
}

const QString kThaiName = QStringLiteral("น้ำดื่ม ตราภูผา");

TEST(SheetText, EncodingsAndDelimiters) {
    const QByteArray thai874 = QStringEncoder("windows-874").encode(kThaiName);
    ASSERT_FALSE(thai874.isEmpty());
    QStringEncoder utf16(QStringConverter::Utf16LE);
    const QByteArray utf16Bytes =
        QByteArray("\xFF\xFE") + QByteArray(utf16.encode(QStringLiteral("BarCode\t") + kThaiName));
    const struct {
        const char* name;
        QByteArray bytes;
        QStringList firstRow;
    } cases[] = {
        {"UTF-8 with a mark",
         "\xEF\xBB\xBF"
         "BarCode," +
             kThaiName.toUtf8(),
         {QStringLiteral("BarCode"), kThaiName}},
        {"UTF-8 without one",
         "BarCode;" + kThaiName.toUtf8(),
         {QStringLiteral("BarCode"), kThaiName}},
        {"Windows-874", "BarCode," + thai874, {QStringLiteral("BarCode"), kThaiName}},
        {"UTF-16 with a mark, tabs", utf16Bytes, {QStringLiteral("BarCode"), kThaiName}},
        {"semicolons win over a comma in a field", "A;\"1,5\";C", {"A", "1,5", "C"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto rows = rowsOf(c.bytes);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0], c.firstRow);
    }
}

TEST(SheetText, QuotingLineBreaksAndTheUsedRange) {
    const auto rows = rowsOf("\r\n,,\r\n,BarCode,Qty\r\n,\"0012\",\" 5 \"\r\n,\"two\nlines\",\"say "
                             "\"\"hi\"\"\"\r\n,,\r\n");
    // Blank rows and the empty first column are outside the used range.
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (QStringList{"BarCode", "Qty"}));
    EXPECT_EQ(rows[1], (QStringList{"0012", " 5 "})) << "texts as stored";
    EXPECT_EQ(rows[2], (QStringList{"two\nlines", "say \"hi\""}));
}

TEST(SheetText, FilesThatAreNoSheetsAreRefusedWithTheirProblem) {
    QTemporaryDir dir;
    const struct {
        const char* name;
        QByteArray bytes;
        const char* says;
    } cases[] = {
        {"binary", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), "not a spreadsheet"},
        {"cut inside quotes", "A,\"B\nC", "incomplete"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            sheet::readFirstSheet(write(dir, c.bytes));
            ADD_FAILURE() << "read";
        } catch (const sheet::SheetError& e) {
            EXPECT_TRUE(e.message().contains(QLatin1String(c.says))) << e.message().toStdString();
        }
    }
    EXPECT_THROW(sheet::readFirstSheet(dir.filePath(QStringLiteral("gone.xlsx"))),
                 sheet::SheetError);
}

TEST(SheetText, NumbersAndDatesAsCellsShowThem) {
    const struct {
        double value;
        const char* text;
    } numbers[] = {
        {8850999320014.0, "8850999320014"},
        {12.5, "12.5"},
        {10.0, "10"},
        {-3, "-3"},
        {0.1 + 0.2, "0.3"},
        {1.0 / 3, "0.333333333333333"},
        {1e15, "1000000000000000"},
        {123456789012.345678, "123456789012.346"},
        {0.000012, "0.000012"},
    };
    for (const auto& n : numbers) {
        EXPECT_EQ(sheet::numberText(n.value), QLatin1String(n.text)) << n.text;
    }
    EXPECT_EQ(sheet::dateText(QDate(2026, 3, 9)), QStringLiteral("09/03/2026"));
}

} // namespace
