#pragma once

// Writes zip packages in memory, for workbooks made at test and benchmark time.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <vector>
#include <zlib.h>

namespace support {

class ZipWriter {
public:
    static QByteArray deflateRaw(const QByteArray& data, int flush = Z_FINISH) {
        z_stream s{};
        deflateInit2(&s, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        QByteArray out(int(deflateBound(&s, uLong(data.size())) + 64), Qt::Uninitialized);
        s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
        s.avail_in = uInt(data.size());
        s.next_out = reinterpret_cast<Bytef*>(out.data());
        s.avail_out = uInt(out.size());
        deflate(&s, flush);
        out.resize(int(s.total_out));
        deflateEnd(&s);
        return out;
    }

    void add(const QString& name, const QByteArray& data, bool compress = true) {
        const quint32 crc =
            quint32(crc32(0, reinterpret_cast<const Bytef*>(data.constData()), uInt(data.size())));
        if (compress) {
            addRaw(name, deflateRaw(data), crc, quint32(data.size()));
        } else {
            addEntry(name, data, crc, quint32(data.size()), 0);
        }
    }

    // An entry given as a raw deflate stream with the check sum and size of what it holds.
    void addRaw(const QString& name, const QByteArray& deflated, quint32 crc, quint32 size) {
        addEntry(name, deflated, crc, size, 8);
    }

    QByteArray finish() const {
        QByteArray zip = body_;
        const quint32 cdOffset = quint32(zip.size());
        zip += directory_;
        zip += "PK\5\6";
        put16(zip, 0);
        put16(zip, 0);
        put16(zip, quint16(count_));
        put16(zip, quint16(count_));
        put32(zip, quint32(directory_.size()));
        put32(zip, cdOffset);
        put16(zip, 0);
        return zip;
    }

    bool writeTo(const QString& path) const {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(finish()) >= 0;
    }

private:
    static void put16(QByteArray& b, quint16 v) {
        b.append(char(v & 0xFF));
        b.append(char(v >> 8));
    }
    static void put32(QByteArray& b, quint32 v) {
        put16(b, quint16(v & 0xFFFF));
        put16(b, quint16(v >> 16));
    }

    void addEntry(const QString& name, const QByteArray& stored, quint32 crc, quint32 size,
                  quint16 method) {
        const QByteArray n = name.toUtf8();
        const quint32 offset = quint32(body_.size());
        body_ += "PK\3\4";
        put16(body_, 20);
        put16(body_, 0x0800); // names in UTF-8
        put16(body_, method);
        put32(body_, 0); // time and date
        put32(body_, crc);
        put32(body_, quint32(stored.size()));
        put32(body_, size);
        put16(body_, quint16(n.size()));
        put16(body_, 0);
        body_ += n;
        body_ += stored;

        directory_ += "PK\1\2";
        put16(directory_, 20);
        put16(directory_, 20);
        put16(directory_, 0x0800);
        put16(directory_, method);
        put32(directory_, 0);
        put32(directory_, crc);
        put32(directory_, quint32(stored.size()));
        put32(directory_, size);
        put16(directory_, quint16(n.size()));
        put16(directory_, 0);
        put16(directory_, 0);
        put16(directory_, 0);
        put16(directory_, 0);
        put32(directory_, 0);
        put32(directory_, offset);
        directory_ += n;
        ++count_;
    }

    QByteArray body_;
    QByteArray directory_;
    int count_ = 0;
};

} // namespace support
