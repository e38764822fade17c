// Delimited text (csv, txt) as office software and Thai desktops save it.
#include "platform/sheet/Readers.h"

#include <QStringDecoder>
#include <array>

namespace sheet::detail {

namespace {

// UTF-8 or UTF-16 with a byte-order mark, UTF-8 without one when the bytes are valid
// UTF-8, else the Thai Windows code page, which is what Thai desktops write.
QString decode(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        return QString::fromUtf8(bytes.mid(3));
    }
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(bytes.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE
                                                          : QStringConverter::Utf16BE);
        QString text = utf16.decode(bytes.mid(2));
        if (utf16.hasError()) {
            throw SheetError(QStringLiteral("The text file is damaged: not valid UTF-16."));
        }
        return text;
    }
    if (bytes.contains('\0')) {
        throw SheetError(QStringLiteral("This is not a spreadsheet file (xlsx, xlsm, xls, ods, "
                                        "csv or txt)."));
    }
    QStringDecoder utf8(QStringConverter::Utf8);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) {
        return text;
    }
    QStringDecoder thai("windows-874");
    if (!thai.isValid()) {
        throw SheetError(QStringLiteral("The text file is not UTF-8 and the Thai code page "
                                        "cannot be read here."));
    }
    text = thai.decode(bytes);
    if (thai.hasError()) {
        throw SheetError(QStringLiteral("The text file's characters cannot be read: neither "
                                        "UTF-8 nor Thai (Windows-874)."));
    }
    return text;
}

// The delimiter the first line uses most: comma, semicolon or tab.
QChar delimiterOf(const QString& text) {
    std::array<int, 3> counts{};
    const std::array<QChar, 3> candidates{QLatin1Char(','), QLatin1Char(';'), QLatin1Char('\t')};
    bool quoted = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (!quoted && (c == QLatin1Char('\n') || c == QLatin1Char('\r'))) {
            break;
        } else if (!quoted) {
            for (std::size_t i = 0; i < candidates.size(); ++i) {
                counts[i] += c == candidates[i];
            }
        }
    }
    std::size_t best = 0;
    for (std::size_t i = 1; i < counts.size(); ++i) {
        if (counts[i] > counts[best]) {
            best = i;
        }
    }
    return candidates[best];
}

} // namespace

UsedRange readDelimitedText(const QByteArray& bytes, const Limits& limits) {
    const QString text = decode(bytes);
    const QChar delimiter = delimiterOf(text);
    RangeBuilder range(limits);
    int row = 0;
    int column = 0;
    QString field;
    bool quoted = false;
    bool wasQuoted = false;
    auto endField = [&] {
        range.set(row, column, field);
        field.clear();
        wasQuoted = false;
        ++column;
    };
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                    field += c; // "" inside quotes is one quote
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"') && field.isEmpty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == delimiter) {
            endField();
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n')) {
                ++i;
            }
            endField();
            ++row;
            column = 0;
        } else {
            field += c;
        }
    }
    if (quoted) {
        throw SheetError(QStringLiteral("The text file ends inside a quoted field: it is "
                                        "incomplete or damaged."));
    }
    if (!field.isEmpty() || column > 0) {
        endField();
    }
    return range.take();
}

} // namespace sheet::detail
