#include "platform/sheet/ZipArchive.h"

#include "platform/sheet/Messages.h"

#include <algorithm>
#include <cstring>
#include <zlib.h>

namespace sheet::detail {

namespace {

quint16 u16(const QByteArray& b, qint64 at) {
    return quint16(uchar(b[at]) | uchar(b[at + 1]) << 8);
}

quint32 u32(const QByteArray& b, qint64 at) {
    return quint32(u16(b, at)) | quint32(u16(b, at + 2)) << 16;
}

QString normalized(QString name) {
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (name.startsWith(QLatin1Char('/'))) {
        name.remove(0, 1);
    }
    return name.toLower();
}

// A whole part that is nothing but text with no markup is no XML a spreadsheet writes; a
// run this long is a bomb of blanks that would otherwise pile up in the parser.
constexpr qint64 kMaxRunWithoutMarkup = qint64(16) << 20;

} // namespace

class InflatingDevice : public QIODevice {
public:
    InflatingDevice(ZipArchive& archive, const ZipArchive::Entry& entry)
        : archive_(archive), entry_(entry) {
        const qint64 size = archive.bytes_.size();
        qint64 at = entry.localOffset;
        if (at < 0 || at + 30 > size || std::memcmp(archive.bytes_.constData() + at, "PK\3\4", 4)) {
            fail(QStringLiteral("the part %1 is missing").arg(entry.name));
            return;
        }
        at += 30 + u16(archive.bytes_, at + 26) + u16(archive.bytes_, at + 28);
        if (at > size) {
            fail(QStringLiteral("the part %1 is cut off").arg(entry.name));
            return;
        }
        // The compressed size is used only to bound the input; the deflate stream ends itself.
        qint64 end = size;
        if (entry.compressedSize != 0xFFFFFFFF) {
            end = std::min(size, at + entry.compressedSize);
        }
        if (entry.method == 0 && at + entry.compressedSize > size) {
            fail(QStringLiteral("the part %1 is cut off").arg(entry.name));
            return;
        }
        input_ = reinterpret_cast<const Bytef*>(archive.bytes_.constData()) + at;
        inputLeft_ = end - at;
        if (entry.method == 8) {
            if (inflateInit2(&stream_, -MAX_WBITS) != Z_OK) {
                fail(QStringLiteral("the decompressor cannot start"));
                return;
            }
            streamOpen_ = true;
        }
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    ~InflatingDevice() override {
        if (streamOpen_) {
            inflateEnd(&stream_);
        }
    }

    bool isSequential() const override { return true; }
    bool atEnd() const override { return done_ || !failure_.isEmpty(); }
    qint64 bytesAvailable() const override { return 0; }
    const QString& failure() const { return failure_; }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        if (done_ || !failure_.isEmpty() || maxSize <= 0) {
            return 0;
        }
        qint64 produced = 0;
        if (entry_.method == 0) {
            produced = std::min(maxSize, inputLeft_);
            std::memcpy(data, input_, size_t(produced));
            input_ += produced;
            inputLeft_ -= produced;
            done_ = inputLeft_ == 0;
        } else {
            stream_.next_out = reinterpret_cast<Bytef*>(data);
            stream_.avail_out = uInt(std::min<qint64>(maxSize, 1 << 20));
            while (stream_.avail_out > 0 && !done_) {
                const uInt chunk = uInt(std::min<qint64>(inputLeft_, 1 << 30));
                stream_.next_in = const_cast<Bytef*>(input_);
                stream_.avail_in = chunk;
                const int rc = inflate(&stream_, Z_NO_FLUSH);
                input_ += chunk - stream_.avail_in;
                inputLeft_ -= chunk - stream_.avail_in;
                if (rc == Z_STREAM_END) {
                    done_ = true;
                } else if (rc == Z_BUF_ERROR ||
                           (rc == Z_OK && inputLeft_ == 0 && stream_.avail_out > 0)) {
                    fail(QStringLiteral("the part %1 is cut off").arg(entry_.name));
                    return 0;
                } else if (rc != Z_OK) {
                    fail(QStringLiteral("the part %1 cannot be decompressed").arg(entry_.name));
                    return 0;
                }
            }
            produced = reinterpret_cast<char*>(stream_.next_out) - data;
        }
        produced_ += produced;
        archive_.inflatedTotal_ += produced;
        if (produced_ > archive_.limits_.maxInflatedPerPart) {
            failTooLarge(QStringLiteral("the part %1 unpacks to more than %2 MB")
                             .arg(entry_.name)
                             .arg(archive_.limits_.maxInflatedPerPart >> 20));
            return 0;
        }
        if (archive_.inflatedTotal_ > archive_.limits_.maxInflatedTotal) {
            failTooLarge(QStringLiteral("its parts unpack to more than %1 MB")
                             .arg(archive_.limits_.maxInflatedTotal >> 20));
            return 0;
        }
        // Bytes since the last '<' or '>'.
        qint64 i = produced;
        while (i > 0 && data[i - 1] != '<' && data[i - 1] != '>') {
            --i;
        }
        runWithoutMarkup_ = i > 0 ? produced - i : runWithoutMarkup_ + produced;
        if (runWithoutMarkup_ > kMaxRunWithoutMarkup) {
            failTooLarge(QStringLiteral("the part %1 holds %2 MB of text without markup")
                             .arg(entry_.name)
                             .arg(kMaxRunWithoutMarkup >> 20));
            return 0;
        }
        crc_ = crc32_z(crc_, reinterpret_cast<const Bytef*>(data), size_t(produced));
        if (done_ && crc_ != entry_.crc) {
            fail(QStringLiteral("the part %1 fails its check sum").arg(entry_.name));
            return 0;
        }
        return produced;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    void fail(const QString& what) {
        failure_ = QStringLiteral("damaged:") + what;
        setErrorString(what);
    }
    void failTooLarge(const QString& what) {
        failure_ = QStringLiteral("large:") + what;
        setErrorString(what);
    }

    ZipArchive& archive_;
    ZipArchive::Entry entry_;
    z_stream stream_{};
    bool streamOpen_ = false;
    const Bytef* input_ = nullptr;
    qint64 inputLeft_ = 0;
    qint64 produced_ = 0;
    qint64 runWithoutMarkup_ = 0;
    uLong crc_ = crc32(0, nullptr, 0);
    bool done_ = false;
    QString failure_;
};

void throwIfFailed(QIODevice& device) {
    auto* inflating = dynamic_cast<InflatingDevice*>(&device);
    if (!inflating || inflating->failure().isEmpty()) {
        return;
    }
    if (inflating->failure().startsWith(QLatin1String("large:"))) {
        throwTooLarge(device.errorString());
    }
    throwDamaged(device.errorString());
}

ZipArchive::ZipArchive(const QByteArray& bytes, const Limits& limits)
    : bytes_(bytes), limits_(limits) {
    const qint64 size = bytes.size();
    // The end record sits in the last 22 bytes plus a comment of up to 64 KiB.
    qint64 eocd = -1;
    for (qint64 at = size - 22; at >= 0 && at >= size - 22 - 65535; --at) {
        if (std::memcmp(bytes.constData() + at, "PK\5\6", 4) == 0) {
            eocd = at;
            break;
        }
    }
    if (eocd < 0) {
        throwDamaged(QStringLiteral("the zip directory is missing"));
    }
    const qint64 cdSize = u32(bytes, eocd + 12);
    const qint64 cdOffset = u32(bytes, eocd + 16);
    if (cdOffset == 0xFFFFFFFF || cdOffset + cdSize > eocd) {
        throwDamaged(QStringLiteral("the zip directory is out of place"));
    }
    qint64 at = cdOffset;
    const qint64 cdEnd = cdOffset + cdSize;
    while (at + 46 <= cdEnd) {
        if (std::memcmp(bytes.constData() + at, "PK\1\2", 4) != 0) {
            throwDamaged(QStringLiteral("the zip directory is broken"));
        }
        if (int(entries_.size()) >= limits.maxEntries) {
            throwTooLarge(QStringLiteral("more than %1 parts in the zip").arg(limits.maxEntries));
        }
        Entry e;
        e.flags = u16(bytes, at + 8);
        e.method = u16(bytes, at + 10);
        e.crc = u32(bytes, at + 16);
        e.compressedSize = u32(bytes, at + 20);
        e.uncompressedSize = u32(bytes, at + 24);
        const int nameLength = u16(bytes, at + 28);
        const int extraLength = u16(bytes, at + 30);
        const int commentLength = u16(bytes, at + 32);
        e.localOffset = u32(bytes, at + 42);
        if (at + 46 + nameLength > cdEnd) {
            throwDamaged(QStringLiteral("the zip directory is broken"));
        }
        e.name = QString::fromUtf8(bytes.constData() + at + 46, nameLength);
        at += 46 + nameLength + extraLength + commentLength;
        byName_.insert(normalized(e.name), int(entries_.size()));
        entries_.push_back(std::move(e));
    }
}

bool ZipArchive::contains(const QString& name) const {
    return byName_.contains(normalized(name));
}

std::unique_ptr<QIODevice> ZipArchive::open(const QString& name) {
    const auto found = byName_.constFind(normalized(name));
    if (found == byName_.constEnd()) {
        return nullptr;
    }
    const Entry& e = entries_[std::size_t(*found)];
    if (e.flags & 1) {
        throwPasswordProtected();
    }
    if (e.method != 0 && e.method != 8) {
        throwDamaged(QStringLiteral("the part %1 uses compression method %2, which cannot be read")
                         .arg(e.name)
                         .arg(e.method));
    }
    auto device = std::make_unique<InflatingDevice>(*this, e);
    throwIfFailed(*device);
    return device;
}

QByteArray ZipArchive::read(const QString& name) {
    auto device = open(name);
    if (!device) {
        return {};
    }
    QByteArray all;
    char chunk[65536];
    for (qint64 n; (n = device->read(chunk, sizeof chunk)) > 0;) {
        all.append(chunk, n);
    }
    throwIfFailed(*device);
    return all;
}

} // namespace sheet::detail
