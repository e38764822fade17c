// Compound files: xls workbooks through FreeXL, and the encrypted package an office program
// writes for a password-protected xlsx or xlsm.
#include "platform/sheet/Messages.h"
#include "platform/sheet/Readers.h"

#include <QSet>
#include <cstring>
#include <freexl.h>

namespace sheet::detail {

namespace {

quint32 u32(const QByteArray& b, qint64 at) {
    return quint32(uchar(b[at])) | quint32(uchar(b[at + 1])) << 8 |
           quint32(uchar(b[at + 2])) << 16 | quint32(uchar(b[at + 3])) << 24;
}

// The names of the streams in a compound file's directory; empty when the directory cannot
// be followed (FreeXL then says what is wrong).
QSet<QString> streamNames(const QByteArray& bytes) {
    QSet<QString> names;
    if (bytes.size() < 512) {
        return names;
    }
    const int shift = uchar(bytes[0x1E]) | uchar(bytes[0x1F]) << 8;
    if (shift != 9 && shift != 12) {
        return names;
    }
    const qint64 sectorSize = qint64(1) << shift;
    const qint64 sectorCount = (bytes.size() - sectorSize) / sectorSize;
    const auto sectorAt = [&](quint32 n) -> qint64 {
        return n < sectorCount ? (qint64(n) + 1) * sectorSize : -1;
    };
    // The allocation table's sectors: 109 listed in the header, the rest in a chain.
    std::vector<quint32> fatSectors;
    for (int i = 0; i < 109; ++i) {
        const quint32 s = u32(bytes, 0x4C + 4 * i);
        if (s < sectorCount) {
            fatSectors.push_back(s);
        }
    }
    quint32 difat = u32(bytes, 0x44);
    for (qint64 guard = 0; sectorAt(difat) >= 0 && guard < sectorCount; ++guard) {
        const qint64 at = sectorAt(difat);
        for (qint64 i = 0; i + 1 < sectorSize / 4; ++i) {
            const quint32 s = u32(bytes, at + 4 * i);
            if (s < sectorCount) {
                fatSectors.push_back(s);
            }
        }
        difat = u32(bytes, at + sectorSize - 4);
    }
    const auto next = [&](quint32 n) -> quint32 {
        const qint64 perSector = sectorSize / 4;
        const qint64 index = n / perSector;
        if (index >= qint64(fatSectors.size())) {
            return 0xFFFFFFFE;
        }
        return u32(bytes, sectorAt(fatSectors[std::size_t(index)]) + 4 * (n % perSector));
    };
    quint32 dir = u32(bytes, 0x30);
    for (qint64 guard = 0; sectorAt(dir) >= 0 && guard < sectorCount; ++guard) {
        const qint64 at = sectorAt(dir);
        for (qint64 e = at; e + 128 <= at + sectorSize; e += 128) {
            const int length = uchar(bytes[e + 64]) | uchar(bytes[e + 65]) << 8;
            if (bytes[e + 66] == 2 && length >= 2 && length <= 64) {
                names.insert(QString::fromUtf16(
                    reinterpret_cast<const char16_t*>(bytes.constData() + e), length / 2 - 1));
            }
        }
        dir = next(dir);
    }
    return names;
}

class FreeXlFile {
public:
    ~FreeXlFile() {
        if (handle_) {
            freexl_close(handle_);
        }
    }
    const void* handle_ = nullptr;
};

[[noreturn]] void throwFreeXlError(int code) {
    switch (code) {
    case FREEXL_INSUFFICIENT_MEMORY:
        throwTooLarge(QStringLiteral("there is not enough memory for it"));
    case FREEXL_INVALID_CFBF_HEADER:
    case FREEXL_CFBF_INVALID_SIGNATURE:
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
        throwNotSpreadsheet();
    default:
        throwDamaged(QStringLiteral("the xls reader stopped with code %1").arg(code));
    }
}

QString cellText(const FreeXL_CellValue& value) {
    switch (value.type) {
    case FREEXL_CELL_INT:
        return numberText(value.value.int_value);
    case FREEXL_CELL_DOUBLE:
        return numberText(value.value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_TIME:
        return QString::fromUtf8(value.value.text_value);
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME: {
        const QString text = QString::fromUtf8(value.value.text_value);
        const QDate date = QDate::fromString(text.left(10), Qt::ISODate);
        return date.isValid() ? dateText(date) : text;
    }
    default:
        return {}; // empty, and formula cells, whose result FreeXL does not give
    }
}

} // namespace

UsedRange readCompoundFile(const QString& path, const QByteArray& bytes, const Limits& limits) {
    const QSet<QString> streams = streamNames(bytes);
    if (streams.contains(QStringLiteral("EncryptedPackage"))) {
        throwPasswordProtected();
    }
    if (!streams.isEmpty() && !streams.contains(QStringLiteral("Workbook")) &&
        !streams.contains(QStringLiteral("Book"))) {
        throwNotSpreadsheet(); // a text document or another compound file
    }
    const QByteArray nativePath = path.toLocal8Bit();
    {
        FreeXlFile info;
        const int rc = freexl_open_info(nativePath.constData(), &info.handle_);
        if (rc != FREEXL_OK) {
            throwFreeXlError(rc);
        }
        unsigned int password = 0;
        if (freexl_get_info(info.handle_, FREEXL_BIFF_PASSWORD, &password) == FREEXL_OK &&
            password == FREEXL_BIFF_OBFUSCATED) {
            throwPasswordProtected();
        }
    }
    FreeXlFile file;
    if (const int rc = freexl_open(nativePath.constData(), &file.handle_); rc != FREEXL_OK) {
        throwFreeXlError(rc);
    }
    unsigned int sheets = 0;
    if (freexl_get_info(file.handle_, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK ||
        sheets == 0 || freexl_select_active_worksheet(file.handle_, 0) != FREEXL_OK) {
        throw SheetError(QStringLiteral("The workbook has no worksheet."));
    }
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (const int rc = freexl_worksheet_dimensions(file.handle_, &rows, &columns);
        rc != FREEXL_OK) {
        throwFreeXlError(rc);
    }
    // The declared size is walked, not stored; only cells with a value reach the builder.
    if (rows > unsigned(limits.maxRows) || columns > limits.maxColumns ||
        qint64(rows) * columns > limits.maxCells) {
        throwTooLarge(QStringLiteral("its first sheet declares %1 rows by %2 columns")
                          .arg(rows)
                          .arg(columns));
    }
    RangeBuilder cells(limits);
    for (unsigned int r = 0; r < rows; ++r) {
        for (unsigned short c = 0; c < columns; ++c) {
            FreeXL_CellValue value;
            if (freexl_get_cell_value(file.handle_, r, c, &value) == FREEXL_OK) {
                cells.set(int(r), c, cellText(value));
            }
        }
    }
    return cells.take();
}

} // namespace sheet::detail
