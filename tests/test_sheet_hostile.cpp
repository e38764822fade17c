// Files built to hurt a reader: each is refused with a message naming its problem, after
// bounded work. The files are made here, at test time.
#include "platform/sheet/Sheet.h"
#include "support/ZipWriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using support::ZipWriter;

const char* kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

QByteArray rels() {
    return "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
           "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/"
           "2006/relationships/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
}

// A workbook whose first sheet's part (and shared strings) are given, already deflated or not.
ZipWriter xlsxParts(const QByteArray& sharedStrings = {}) {
    ZipWriter zip;
    zip.add("_rels/.rels", rels());
    zip.add("xl/workbook.xml",
            QByteArray("<workbook xmlns=\"") + kMain +
                "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                "relationships\"><sheets><sheet name=\"A\" sheetId=\"1\" r:id=\"rId1\"/>"
                "</sheets></workbook>");
    QByteArray wbRels =
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
        "relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/>";
    if (!sharedStrings.isEmpty()) {
        wbRels +=
            "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/"
            "officeDocument/2006/relationships/sharedStrings\" Target=\"sharedStrings.xml\"/>";
        zip.add("xl/sharedStrings.xml", sharedStrings);
    }
    zip.add("xl/_rels/workbook.xml.rels", wbRels + "</Relationships>");
    return zip;
}

QByteArray sheetXml(const QByteArray& rows) {
    return QByteArray("<worksheet xmlns=\"") + kMain + "\"><sheetData>" + rows +
           "</sheetData></worksheet>";
}

QByteArray xlsx(const QByteArray& rows, const QByteArray& sharedStrings = {}) {
    ZipWriter zip = xlsxParts(sharedStrings);
    zip.add("xl/worksheets/sheet1.xml", sheetXml(rows));
    return zip.finish();
}

// A deflate stream of prefix, copies of chunk and suffix, made from one compressed chunk:
// gigabytes of content for the price of a few megabytes and milliseconds.
struct Deflated {
    QByteArray data;
    quint32 crc = 0;
    quint64 size = 0;
};

Deflated repeated(const QByteArray& prefix, const QByteArray& chunk, int copies,
                  const QByteArray& suffix) {
    z_stream s{};
    deflateInit2(&s, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    const auto run = [&](const QByteArray& in, int flush) {
        QByteArray out;
        char buffer[65536];
        s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.constData()));
        s.avail_in = uInt(in.size());
        do {
            s.next_out = reinterpret_cast<Bytef*>(buffer);
            s.avail_out = sizeof buffer;
            deflate(&s, flush);
            out.append(buffer, int(sizeof buffer - s.avail_out));
        } while (s.avail_out == 0);
        return out;
    };
    // A full flush before and after the chunk makes its blocks independent of what surrounds
    // them, so they can be repeated as they are.
    const QByteArray head = run(prefix, Z_FULL_FLUSH);
    const QByteArray body = run(chunk, Z_FULL_FLUSH);
    const QByteArray tail = run(suffix, Z_FINISH);
    deflateEnd(&s);
    const auto crcOf = [](const QByteArray& b) {
        return crc32(0, reinterpret_cast<const Bytef*>(b.constData()), uInt(b.size()));
    };
    Deflated d;
    d.data = head + body.repeated(copies) + tail;
    uLong crc = crcOf(prefix);
    const uLong chunkCrc = crcOf(chunk);
    for (int i = 0; i < copies; ++i) {
        crc = crc32_combine(crc, chunkCrc, chunk.size());
    }
    d.crc = quint32(crc32_combine(crc, crcOf(suffix), suffix.size()));
    d.size = prefix.size() + quint64(chunk.size()) * copies + suffix.size();
    return d;
}

// A compound file of one FAT sector and one directory sector holding the named streams.
QByteArray compoundFile(const QStringList& streams) {
    QByteArray file(512 * 3, '\0');
    const auto put16 = [&](int at, quint16 v) {
        file[at] = char(v & 0xFF);
        file[at + 1] = char(v >> 8);
    };
    const auto put32 = [&](int at, quint32 v) {
        put16(at, quint16(v & 0xFFFF));
        put16(at + 2, quint16(v >> 16));
    };
    file.replace(0, 8, QByteArray::fromHex("D0CF11E0A1B11AE1"));
    put16(0x18, 0x3E);
    put16(0x1A, 3);
    put16(0x1C, 0xFFFE);
    put16(0x1E, 9);
    put16(0x20, 6);
    put32(0x2C, 1); // one FAT sector
    put32(0x30, 1); // the directory in sector 1
    put32(0x38, 4096);
    put32(0x3C, 0xFFFFFFFE);
    put32(0x44, 0xFFFFFFFE);
    put32(0x4C, 0); // the FAT in sector 0
    for (int i = 1; i < 109; ++i) {
        put32(0x4C + 4 * i, 0xFFFFFFFF);
    }
    put32(512, 0xFFFFFFFD); // sector 0: FAT
    put32(516, 0xFFFFFFFE); // sector 1: end of the directory chain
    for (int i = 2; i < 128; ++i) {
        put32(512 + 4 * i, 0xFFFFFFFF);
    }
    QStringList entries = QStringList{"Root Entry"} + streams;
    for (int i = 0; i < entries.size() && i < 4; ++i) {
        const int at = 1024 + 128 * i;
        const QString& name = entries[i];
        for (int k = 0; k < name.size(); ++k) {
            put16(at + 2 * k, name[k].unicode());
        }
        put16(at + 64, quint16((name.size() + 1) * 2));
        file[at + 66] = char(i == 0 ? 5 : 2);
        put32(at + 68, 0xFFFFFFFF);
        put32(at + 72, 0xFFFFFFFF);
        put32(at + 76, i + 1 < entries.size() ? quint32(i + 1) : 0xFFFFFFFF);
        put32(at + 116, 0xFFFFFFFE);
    }
    return file;
}

class SheetHostile : public ::testing::Test {
protected:
    // The message of the refusal, or a failure when the file is read.
    QString refusal(const QByteArray& bytes, const sheet::Limits& limits = {}) {
        const QString path = dir_.filePath(QStringLiteral("hostile.xlsx"));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        f.close();
        try {
            const auto range = sheet::readFirstSheet(path, limits);
            ADD_FAILURE() << "read " << range.rowCount() << " rows";
            return {};
        } catch (const sheet::SheetError& e) {
            return e.message();
        }
    }
    QTemporaryDir dir_;
};

TEST_F(SheetHostile, ZipBombsStopAtTheBytesActuallyInflated) {
    const QByteArray open = QByteArray("<worksheet xmlns=\"") + kMain + "\"><sheetData>";
    const QByteArray close = "</sheetData></worksheet>";
    // 3 GiB of blanks: refused long before the cap, as no part holds text that long.
    const Deflated blanks = repeated(open, QByteArray(1 << 20, ' '), 3072, close);
    ASSERT_EQ(blanks.size, 3ull << 30 | quint64(open.size() + close.size()));
    ASSERT_LT(blanks.data.size(), 8 << 20);
    // 6 GiB of empty rows, the markup a writer could really produce: the cap stops it.
    const QByteArray rowsChunk = QByteArray("<row/>").repeated(1 << 18);
    const Deflated emptyRows = repeated(open, rowsChunk, 4096, close);
    sheet::Limits small;
    small.maxInflatedPerPart = 4 << 20;
    sheet::Limits smallTotal;
    smallTotal.maxInflatedTotal = 4 << 20;

    const struct {
        const char* name;
        const Deflated& part;
        sheet::Limits limits;
        const char* words;
    } cases[] = {
        {"3 GiB of blanks, default limits", blanks, {}, "too large"},
        {"empty rows past the part cap", emptyRows, small, "more than 4 MB"},
        {"empty rows past the total cap", emptyRows, smallTotal, "unpack to more than 4 MB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ZipWriter zip = xlsxParts();
        // The header claims a tiny size: it is never trusted.
        zip.addRaw("xl/worksheets/sheet1.xml", c.part.data, c.part.crc, 100);
        const QString message = refusal(zip.finish(), c.limits);
        EXPECT_TRUE(message.contains(QLatin1String(c.words))) << message.toStdString();
    }
}

TEST_F(SheetHostile, DocumentTypesAreRefusedInEveryPart) {
    const QByteArray laughs =
        "<?xml version=\"1.0\"?><!DOCTYPE sst [<!ENTITY a \"hahahahahahahahahaha\">"
        "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c "
        "\"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
        "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e "
        "\"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">"
        "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\"><!ENTITY g "
        "\"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">"
        "<!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\"><!ENTITY i "
        "\"&h;&h;&h;&h;&h;&h;&h;&h;&h;&h;\">]>"
        "<sst xmlns=\"" +
        QByteArray(kMain) + "\"><si><t>&i;</t></si></sst>";
    ZipWriter plainDoctype;
    plainDoctype.add("_rels/.rels", "<!DOCTYPE Relationships>" + rels());
    ZipWriter odsContent;
    odsContent.add("mimetype", "application/vnd.oasis.opendocument.spreadsheet", false);
    odsContent.add("content.xml", "<!DOCTYPE x [<!ENTITY e SYSTEM \"file:///etc/passwd\">]>"
                                  "<x>&e;</x>");
    const struct {
        const char* name;
        QByteArray file;
    } cases[] = {
        {"entity expansion in the shared strings",
         xlsx("<row><c t=\"s\"><v>0</v></c></row>", laughs)},
        {"a bare document type in the relationships", plainDoctype.finish()},
        {"an outside entity in ods content", odsContent.finish()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString message = refusal(c.file);
        EXPECT_TRUE(message.contains(QLatin1String("document type"))) << message.toStdString();
    }
}

TEST_F(SheetHostile, FarAwayCellsNeverAllocateTheRectangle) {
    const struct {
        const char* name;
        QByteArray file;
        const char* words;
    } cases[] = {
        {"XFD1048576 and A1",
         xlsx("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"
              "<row r=\"1048576\"><c r=\"XFD1048576\"><v>2</v></c></row>"),
         "used range is too large"},
        {"a column past XFD", xlsx("<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row>"), "beyond"},
        {"a row past the last", xlsx("<row><c r=\"A1048577\"><v>1</v></c></row>"), "beyond"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString message = refusal(c.file);
        EXPECT_TRUE(message.contains(QLatin1String(c.words))) << message.toStdString();
    }
}

TEST_F(SheetHostile, DamagedEncryptedAndForeignFilesNameTheirProblem) {
    const QByteArray good = xlsx("<row><c><v>1</v></c></row>");
    QByteArray corrupted = good;
    corrupted[good.indexOf("xl/worksheets/sheet1.xml") + 30] ^= 0x55; // inside its data
    QByteArray zipEncrypted = good;
    for (qsizetype at = 0; (at = zipEncrypted.indexOf("PK\1\2", at)) >= 0; at += 4) {
        zipEncrypted[at + 8] = char(zipEncrypted[at + 8] | 1);
    }
    ZipWriter encryptedOds;
    encryptedOds.add("mimetype", "application/vnd.oasis.opendocument.spreadsheet", false);
    encryptedOds.add("META-INF/manifest.xml",
                     "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:"
                     "manifest:1.0\"><manifest:file-entry manifest:full-path=\"content.xml\">"
                     "<manifest:encryption-data/></manifest:file-entry></manifest:manifest>");
    encryptedOds.add("content.xml", QByteArray(200, '\x9C'));
    ZipWriter justText;
    justText.add("readme.txt", "hello");
    ZipWriter textDocument;
    textDocument.add("mimetype", "application/vnd.oasis.opendocument.text", false);
    textDocument.add("content.xml", "<office:document-content/>");
    ZipWriter wordDocument;
    wordDocument.add("_rels/.rels", rels().replace("xl/workbook.xml", "word/document.xml"));
    wordDocument.add("word/document.xml",
                     "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/"
                     "2006/main\"/>");
    ZipWriter manyEntries;
    for (int i = 0; i < 20; ++i) {
        manyEntries.add(QStringLiteral("part%1.xml").arg(i), "<x/>");
    }
    sheet::Limits tenEntries;
    tenEntries.maxEntries = 10;

    const struct {
        const char* name;
        QByteArray file;
        const char* words;
        sheet::Limits limits;
    } cases[] = {
        {"cut in half", good.left(good.size() / 2), "damaged or incomplete", {}},
        {"the end record cut", good.left(good.size() - 10), "damaged or incomplete", {}},
        {"a damaged sheet part", corrupted, "damaged or incomplete", {}},
        {"an encrypted package",
         compoundFile({"EncryptionInfo", "EncryptedPackage"}),
         "password-protected",
         {}},
        {"zip entries encrypted", zipEncrypted, "password-protected", {}},
        {"an encrypted ods", encryptedOds.finish(), "password-protected", {}},
        {"a zip of text", justText.finish(), "not a spreadsheet file", {}},
        {"an OpenDocument text", textDocument.finish(), "not a spreadsheet file", {}},
        {"a word processor file", wordDocument.finish(), "not a spreadsheet file", {}},
        {"a compound text document", compoundFile({"WordDocument"}), "not a spreadsheet file", {}},
        {"a picture",
         QByteArray::fromHex("89504E470D0A1A0A0000000D49484452"),
         "not a spreadsheet file",
         {}},
        {"too many zip entries", manyEntries.finish(), "more than 10 parts", tenEntries},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString message = refusal(c.file, c.limits);
        EXPECT_TRUE(message.contains(QLatin1String(c.words))) << message.toStdString();
    }
}

} // namespace
