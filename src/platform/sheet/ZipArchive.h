#pragma once

// Reads the parts of a zip package held in memory. Nothing in the zip's headers is trusted
// for sizing: parts are inflated as a stream and refused as soon as the bytes actually
// produced pass the limits.
#include "platform/sheet/Sheet.h"

#include <QByteArray>
#include <QHash>
#include <QIODevice>
#include <memory>

namespace sheet::detail {

class ZipArchive {
public:
    // Reads the central directory; throws SheetError for a damaged or too large zip.
    ZipArchive(const QByteArray& bytes, const Limits& limits);

    // Part names compare without regard to case and without a leading '/'.
    bool contains(const QString& name) const;
    // A sequential device inflating the part on demand, or null when there is no such part.
    // Read errors and exceeded limits show as a failed read; throwIfFailed() gives the reason.
    std::unique_ptr<QIODevice> open(const QString& name);
    // The whole part (for small parts), or an empty array when there is none.
    QByteArray read(const QString& name);
    int entryCount() const { return int(entries_.size()); }

private:
    struct Entry {
        QString name;
        quint16 flags = 0;
        quint16 method = 0;
        quint32 crc = 0;
        qint64 compressedSize = 0;
        qint64 uncompressedSize = 0;
        qint64 localOffset = 0;
    };
    friend class InflatingDevice;

    const QByteArray& bytes_;
    const Limits& limits_;
    std::vector<Entry> entries_;
    QHash<QString, int> byName_;
    qint64 inflatedTotal_ = 0;
};

// Throws the reason a device from ZipArchive::open stopped early, if it did.
void throwIfFailed(QIODevice& device);

// The two zip-based families behind readZipWorkbook.
UsedRange readOfficeOpenXml(ZipArchive& zip, const Limits& limits); // xlsx, xlsm
UsedRange readOpenDocument(ZipArchive& zip, const Limits& limits);  // ods

} // namespace sheet::detail
