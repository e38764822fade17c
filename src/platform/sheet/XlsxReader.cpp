// Office Open XML workbooks (xlsx, xlsm), Transitional and Strict: the first worksheet's cells.
#include "platform/sheet/Messages.h"
#include "platform/sheet/Readers.h"
#include "platform/sheet/XmlPart.h"

#include <QHash>
#include <QUrl>
#include <climits>
#include <cmath>

namespace sheet::detail {

namespace {

using namespace Qt::StringLiterals;

bool isMain(QStringView ns) {
    return ns == u"http://schemas.openxmlformats.org/spreadsheetml/2006/main" ||
           ns == u"http://purl.oclc.org/ooxml/spreadsheetml/main";
}

// A SpreadsheetML element of that local name, whatever its prefix.
bool is(const QXmlStreamReader& xml, QStringView local) {
    return xml.name() == local && isMain(xml.namespaceUri());
}

bool startOf(const QXmlStreamReader& xml, QStringView local) {
    return xml.isStartElement() && is(xml, local);
}

bool endOf(const QXmlStreamReader& xml, QStringView local) {
    return xml.isEndElement() && is(xml, local);
}

struct Relationship {
    QString type;
    QString target; // part name from the package root
};

QString folderOf(const QString& part) {
    const int slash = part.lastIndexOf(u'/');
    return slash < 0 ? QString() : part.left(slash + 1);
}

// A relationship target, relative to the source part's folder or absolute from the root.
QString resolve(const QString& folder, const QString& target) {
    const QString decoded = QUrl::fromPercentEncoding(target.toUtf8());
    const QString path = decoded.startsWith(u'/') ? decoded : folder + decoded;
    QStringList parts;
    for (const QString& segment : path.split(u'/', Qt::SkipEmptyParts)) {
        if (segment == u"..") {
            if (!parts.isEmpty()) {
                parts.removeLast();
            }
        } else if (segment != u".") {
            parts.append(segment);
        }
    }
    return parts.join(u'/');
}

QHash<QString, Relationship> readRelationships(ZipArchive& zip, const QString& sourcePart) {
    const QString folder = folderOf(sourcePart);
    const QString relsName = folder + "_rels/"_L1 + sourcePart.mid(folder.size()) + ".rels"_L1;
    QHash<QString, Relationship> found;
    XmlPart part(zip, relsName, true);
    while (part.readNext()) {
        auto& xml = part.xml();
        if (xml.isStartElement() && xml.name() == u"Relationship") {
            const auto a = xml.attributes();
            if (a.value("TargetMode"_L1) == u"External") {
                continue;
            }
            found.insert(
                a.value("Id"_L1).toString(),
                {a.value("Type"_L1).toString(), resolve(folder, a.value("Target"_L1).toString())});
        }
    }
    return found;
}

const Relationship* firstOfType(const QHash<QString, Relationship>& rels, QStringView suffix) {
    for (const auto& r : rels) {
        if (r.type.endsWith(suffix)) {
            return &r;
        }
    }
    return nullptr;
}

// Text escapes for characters XML cannot hold: _x000D_ is a carriage return, _x005F_ '_'.
QString decodeEscapes(QString text) {
    if (!text.contains("_x"_L1)) {
        return text;
    }
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'_' && i + 6 < text.size() && text[i + 1] == u'x' && text[i + 6] == u'_') {
            bool ok = false;
            const ushort code = QStringView(text).mid(i + 2, 4).toUShort(&ok, 16);
            if (ok) {
                out.append(QChar(code));
                i += 6;
                continue;
            }
        }
        out.append(text[i]);
    }
    return out;
}

// The text of a shared or inline string: every <t>, rich-text runs included, phonetic
// runs (the reading aid above the text) left out. The current element is <si> or <is>.
QString readStringItem(XmlPart& part, QStringView item) {
    auto& xml = part.xml();
    QString text;
    while (part.readNext()) {
        if (endOf(xml, item)) {
            break;
        }
        if (startOf(xml, u"rPh")) {
            xml.skipCurrentElement();
        } else if (startOf(xml, u"t")) {
            text += part.readText();
        }
    }
    return decodeEscapes(text);
}

std::vector<QString> readSharedStrings(ZipArchive& zip, const Relationship* rel) {
    std::vector<QString> strings;
    if (!rel) {
        return strings;
    }
    XmlPart part(zip, rel->target);
    while (part.readNext()) {
        if (startOf(part.xml(), u"si")) {
            strings.push_back(readStringItem(part, u"si"));
        }
    }
    return strings;
}

// A number format shows a date or time when it has a day, month, year, hour or second
// code outside quoted text, [colour]/[locale] brackets and escaped characters.
bool isDateFormatCode(QStringView code) {
    bool quoted = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (quoted) {
            quoted = c != u'"';
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u'[') {
            const qsizetype close = code.indexOf(u']', i);
            if (close < 0) {
                return false;
            }
            i = close;
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            ++i; // the next character is shown or used as padding, not a code
        } else if (QStringView(u"dmyhsDMYHS").contains(c)) {
            return true;
        }
    }
    return false;
}

bool isBuiltInDateFormat(int id) {
    // 14-22 and 45-47 everywhere; 71-81 are the Thai date and time formats.
    return (id >= 14 && id <= 22) || (id >= 45 && id <= 47) || (id >= 71 && id <= 81);
}

// For each cell style (the s attribute), whether it shows numbers as dates.
std::vector<bool> readDateStyles(ZipArchive& zip, const Relationship* rel) {
    std::vector<bool> dateStyles;
    if (!rel) {
        return dateStyles;
    }
    QHash<int, bool> customIsDate;
    XmlPart part(zip, rel->target);
    auto& xml = part.xml();
    bool inCellXfs = false;
    while (part.readNext()) {
        if (startOf(xml, u"numFmt")) {
            customIsDate.insert(xml.attributes().value("numFmtId"_L1).toInt(),
                                isDateFormatCode(xml.attributes().value("formatCode"_L1)));
        } else if (startOf(xml, u"cellXfs")) {
            inCellXfs = true;
        } else if (endOf(xml, u"cellXfs")) {
            break;
        } else if (inCellXfs && startOf(xml, u"xf")) {
            const int id = xml.attributes().value("numFmtId"_L1).toInt();
            dateStyles.push_back(customIsDate.contains(id) ? customIsDate.value(id)
                                                           : isBuiltInDateFormat(id));
        }
    }
    return dateStyles;
}

// A serial day number as a date; empty when it is no day a calendar shows.
QString serialDateText(double serial, bool date1904) {
    if (!std::isfinite(serial) || serial < 1 || serial >= 2958466) {
        return {};
    }
    const qint64 day = qint64(std::floor(serial));
    if (date1904) {
        return dateText(QDate(1904, 1, 1).addDays(day));
    }
    // The 1900 system counts a 29 February 1900 that never was, at serial 60.
    if (day == 60) {
        return QStringLiteral("29/02/1900");
    }
    return dateText(QDate(1899, 12, day < 60 ? 31 : 30).addDays(day));
}

bool parseReference(QStringView ref, qint64& row, qint64& column) {
    qsizetype i = 0;
    qint64 col = 0;
    while (i < ref.size() && ref[i].isLetter() && i < 4) {
        col = col * 26 + (ref[i].toUpper().unicode() - 'A' + 1);
        ++i;
    }
    qint64 r = 0;
    const qsizetype digitsFrom = i;
    while (i < ref.size() && ref[i].isDigit() && i - digitsFrom < 10) {
        r = r * 10 + (ref[i].unicode() - '0');
        ++i;
    }
    if (col == 0 || i != ref.size()) {
        return false;
    }
    column = col - 1;
    if (i > digitsFrom) {
        row = r - 1;
    }
    return true;
}

int clamped(qint64 v) {
    return int(std::clamp<qint64>(v, -1, INT_MAX));
}

struct SheetContext {
    std::vector<QString> sharedStrings;
    std::vector<bool> dateStyles;
    bool date1904 = false;
};

QString cellText(XmlPart& part, const SheetContext& context, QStringView type, int style) {
    auto& xml = part.xml();
    QString value;
    bool haveValue = false;
    while (part.readNext()) {
        if (endOf(xml, u"c")) {
            break;
        }
        if (startOf(xml, u"v")) {
            value = part.readText();
            haveValue = true;
        } else if (startOf(xml, u"is")) {
            value = readStringItem(part, u"is");
            haveValue = true;
        } else if (xml.isStartElement()) {
            xml.skipCurrentElement(); // the formula, extensions
        }
    }
    if (!haveValue) {
        return {};
    }
    if (type == u"s") {
        bool ok = false;
        const qint64 index = value.trimmed().toLongLong(&ok);
        if (!ok || index < 0 || index >= qint64(context.sharedStrings.size())) {
            throwDamaged(QStringLiteral("a cell refers to shared string %1 of %2")
                             .arg(value)
                             .arg(context.sharedStrings.size()));
        }
        return context.sharedStrings[std::size_t(index)];
    }
    if (type == u"inlineStr" || type == u"str") {
        return type == u"str" ? decodeEscapes(value) : value;
    }
    if (type == u"b") {
        return value.trimmed() == u"1" || value.trimmed() == u"true" ? QStringLiteral("TRUE")
                                                                     : QStringLiteral("FALSE");
    }
    if (type == u"e") {
        return value;
    }
    if (type == u"d") {
        const QDate date = QDate::fromString(value.trimmed().left(10), Qt::ISODate);
        return date.isValid() ? dateText(date) : value;
    }
    bool ok = false;
    const double number = value.trimmed().toDouble(&ok);
    if (!ok) {
        return value;
    }
    if (style >= 0 && style < int(context.dateStyles.size()) &&
        context.dateStyles[std::size_t(style)]) {
        const QString date = serialDateText(number, context.date1904);
        if (!date.isEmpty()) {
            return date;
        }
    }
    return numberText(number);
}

void readSheetCells(ZipArchive& zip, const QString& name, const SheetContext& context,
                    RangeBuilder& cells) {
    XmlPart part(zip, name);
    auto& xml = part.xml();
    bool inSheetData = false;
    qint64 row = -1;
    qint64 column = -1;
    while (part.readNext()) {
        if (!xml.isStartElement()) {
            if (inSheetData && endOf(xml, u"sheetData")) {
                return; // nothing after the cells is needed
            }
            continue;
        }
        if (!inSheetData) {
            inSheetData = is(xml, u"sheetData");
            continue;
        }
        if (is(xml, u"row")) {
            const auto r = xml.attributes().value("r"_L1);
            bool ok = false;
            const qint64 number = r.toLongLong(&ok);
            row = ok ? number - 1 : row + 1;
            column = -1;
        } else if (is(xml, u"c")) {
            const auto a = xml.attributes();
            const auto ref = a.value("r"_L1);
            if (ref.isEmpty()) {
                ++column;
            } else if (!parseReference(ref, row, column)) {
                throwDamaged(QStringLiteral("a cell has the reference %1").arg(ref));
            }
            const QString type = a.value("t"_L1).toString();
            const auto s = a.value("s"_L1);
            const int style = s.isEmpty() ? -1 : s.toInt();
            const QString text = cellText(part, context, type, style);
            cells.set(clamped(row), clamped(column), text);
        } else {
            xml.skipCurrentElement();
        }
    }
}

} // namespace

UsedRange readOfficeOpenXml(ZipArchive& zip, const Limits& limits) {
    const auto rootRels = readRelationships(zip, QString());
    const Relationship* document = firstOfType(rootRels, u"/officeDocument");
    if (!document || !zip.contains(document->target)) {
        throwNotSpreadsheet();
    }
    if (document->target.endsWith(".bin"_L1, Qt::CaseInsensitive)) {
        throw SheetError(QStringLiteral("Binary workbooks (xlsb) cannot be read; save the sheet "
                                        "as xlsx."));
    }
    SheetContext context;
    QStringList sheetIds;
    {
        XmlPart workbook(zip, document->target);
        auto& xml = workbook.xml();
        bool first = true;
        while (workbook.readNext()) {
            if (!xml.isStartElement()) {
                continue;
            }
            if (first && !is(xml, u"workbook")) {
                throwNotSpreadsheet(); // a text document or a presentation
            }
            first = false;
            if (is(xml, u"workbookPr")) {
                const auto v = xml.attributes().value("date1904"_L1);
                context.date1904 = v == u"1" || v == u"true";
            } else if (is(xml, u"sheet")) {
                for (const auto& a : xml.attributes()) {
                    if (a.name() == u"id" && a.namespaceUri().endsWith(u"relationships")) {
                        sheetIds.append(a.value().toString());
                    }
                }
            } else if (endOf(xml, u"sheets")) {
                break;
            }
        }
    }
    const auto rels = readRelationships(zip, document->target);
    // The first sheet in workbook order that is a worksheet (not a chart).
    QString sheetPart;
    for (const QString& id : sheetIds) {
        const auto rel = rels.constFind(id);
        if (rel != rels.constEnd() && rel->type.endsWith(u"/worksheet")) {
            sheetPart = rel->target;
            break;
        }
    }
    if (sheetPart.isEmpty()) {
        throw SheetError(QStringLiteral("The workbook has no worksheet."));
    }
    context.sharedStrings = readSharedStrings(zip, firstOfType(rels, u"/sharedStrings"));
    context.dateStyles = readDateStyles(zip, firstOfType(rels, u"/styles"));
    RangeBuilder cells(limits);
    readSheetCells(zip, sheetPart, context, cells);
    return cells.take();
}

} // namespace sheet::detail
