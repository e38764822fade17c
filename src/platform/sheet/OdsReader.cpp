// OpenDocument spreadsheets (ods): the first table of content.xml.
#include "platform/sheet/Messages.h"
#include "platform/sheet/Readers.h"
#include "platform/sheet/XmlPart.h"

#include <climits>

namespace sheet::detail {

namespace {

using namespace Qt::StringLiterals;

constexpr QStringView kTable = u"urn:oasis:names:tc:opendocument:xmlns:table:1.0";
constexpr QStringView kOffice = u"urn:oasis:names:tc:opendocument:xmlns:office:1.0";
constexpr QStringView kText = u"urn:oasis:names:tc:opendocument:xmlns:text:1.0";

bool is(const QXmlStreamReader& xml, QStringView ns, QStringView local) {
    return xml.name() == local && xml.namespaceUri() == ns;
}

qint64 repeatCount(const QXmlStreamReader& xml, QStringView attribute) {
    const auto v = xml.attributes().value(kTable.toString(), attribute.toString());
    bool ok = false;
    const qint64 n = v.toLongLong(&ok);
    return ok && n > 0 ? n : 1;
}

// Spaces written as <text:s text:c="n"/>: a few bytes of XML can ask for a great many.
constexpr qint64 kMaxGeneratedSpaces = qint64(16) << 20;

class CellText {
public:
    explicit CellText(XmlPart& part) : part_(part), xml_(part.xml()) {}

    // The current element is a cell; reads it to its end.
    QString read() {
        const auto a = xml_.attributes();
        const QString office = kOffice.toString();
        const auto type = a.value(office, u"value-type"_s);
        const QString shown = paragraphs();
        if (type == u"float" || type == u"percentage" || type == u"currency") {
            bool ok = false;
            const double v = a.value(office, u"value"_s).toDouble(&ok);
            return ok ? numberText(v) : shown;
        }
        if (type == u"date") {
            const QDate date =
                QDate::fromString(a.value(office, u"date-value"_s).left(10), Qt::ISODate);
            return date.isValid() ? dateText(date) : shown;
        }
        if (type == u"boolean") {
            const auto v = a.value(office, u"boolean-value"_s);
            return v == u"true" || v == u"1" ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        }
        if (type == u"string" && a.hasAttribute(office, u"string-value"_s)) {
            return a.value(office, u"string-value"_s).toString();
        }
        return shown;
    }

private:
    // Paragraphs joined by line feeds; comments, frames and anything not text left out.
    QString paragraphs() {
        QString text;
        bool first = true;
        while (part_.readNext()) {
            if (xml_.isEndElement()) {
                break; // the cell's end
            }
            if (!xml_.isStartElement()) {
                continue;
            }
            if (is(xml_, kText, u"p") || is(xml_, kText, u"h")) {
                if (!first) {
                    text += u'\n';
                }
                first = false;
                paragraph(text);
            } else {
                xml_.skipCurrentElement();
            }
        }
        return text;
    }

    void paragraph(QString& text) {
        int depth = 1;
        while (depth > 0 && part_.readNext()) {
            if (xml_.isCharacters()) {
                text += xml_.text();
            } else if (xml_.isEndElement()) {
                --depth;
            } else if (xml_.isStartElement()) {
                if (xml_.namespaceUri() != kText) {
                    xml_.skipCurrentElement(); // office:annotation, draw:frame
                } else if (xml_.name() == u"s") {
                    const qint64 n = std::clamp<qint64>(
                        xml_.attributes().value(kText.toString(), u"c"_s).toLongLong(), 1,
                        kMaxGeneratedSpaces);
                    spaces_ += n;
                    if (spaces_ > kMaxGeneratedSpaces) {
                        throwTooLarge(QStringLiteral("its cells ask for more than %1 spaces")
                                          .arg(kMaxGeneratedSpaces));
                    }
                    text += QString(n, u' ');
                    ++depth;
                } else if (xml_.name() == u"tab") {
                    text += u'\t';
                    ++depth;
                } else if (xml_.name() == u"line-break") {
                    text += u'\n';
                    ++depth;
                } else {
                    ++depth; // spans, links and other runs of text
                }
            }
        }
    }

    XmlPart& part_;
    QXmlStreamReader& xml_;
    qint64 spaces_ = 0;
};

void readTable(XmlPart& part, const Limits& limits, RangeBuilder& cells) {
    auto& xml = part.xml();
    CellText cellText(part);
    qint64 row = 0;
    std::vector<std::pair<qint64, QString>> values;
    while (part.readNext()) {
        if (xml.isEndElement() && is(xml, kTable, u"table")) {
            return;
        }
        if (!xml.isStartElement() || !is(xml, kTable, u"table-row")) {
            continue; // row groups, header rows and columns hold rows or nothing
        }
        const qint64 rowRepeat = repeatCount(xml, u"number-rows-repeated");
        values.clear();
        qint64 column = 0;
        while (part.readNext() && !(xml.isEndElement() && is(xml, kTable, u"table-row"))) {
            if (!xml.isStartElement()) {
                continue;
            }
            if (!is(xml, kTable, u"table-cell") && !is(xml, kTable, u"covered-table-cell")) {
                xml.skipCurrentElement();
                continue;
            }
            const qint64 repeat = repeatCount(xml, u"number-columns-repeated");
            const QString text = cellText.read();
            if (!text.isEmpty()) {
                // One past the widest sheet is enough for the builder to refuse the row.
                const qint64 last = std::min(column + repeat, qint64(limits.maxColumns) + 1);
                for (qint64 c = column; c < last; ++c) {
                    values.emplace_back(c, text);
                }
            }
            column += repeat;
        }
        // Repeated rows cost nothing unless they hold values; then the builder's limits
        // bound them.
        for (qint64 r = 0; r < rowRepeat && !values.empty(); ++r) {
            for (const auto& [c, text] : values) {
                cells.set(int(std::min<qint64>(row + r, INT_MAX)), int(c), text);
            }
        }
        row += rowRepeat;
    }
}

} // namespace

UsedRange readOpenDocument(ZipArchive& zip, const Limits& limits) {
    if (zip.contains(u"mimetype"_s)) {
        const QByteArray type = zip.read(u"mimetype"_s).trimmed();
        if (!type.startsWith("application/vnd.oasis.opendocument.spreadsheet")) {
            throwNotSpreadsheet();
        }
    }
    if (zip.read(u"META-INF/manifest.xml"_s).contains("encryption-data")) {
        throwPasswordProtected();
    }
    if (!zip.contains(u"content.xml"_s)) {
        throwNotSpreadsheet();
    }
    XmlPart part(zip, u"content.xml"_s);
    RangeBuilder cells(limits);
    while (part.readNext()) {
        if (part.xml().isStartElement() && is(part.xml(), kTable, u"table")) {
            readTable(part, limits, cells);
            break;
        }
    }
    return cells.take();
}

UsedRange readZipWorkbook(const QByteArray& bytes, const Limits& limits) {
    ZipArchive zip(bytes, limits);
    if (zip.contains(u"_rels/.rels"_s)) {
        return readOfficeOpenXml(zip, limits);
    }
    if (zip.contains(u"mimetype"_s) || zip.contains(u"content.xml"_s)) {
        return readOpenDocument(zip, limits);
    }
    throwNotSpreadsheet();
}

} // namespace sheet::detail
