#include "platform/db/Value.h"

#include "platform/db/DbError.h"

#include <cfenv>
#include <cmath>
#include <limits>

namespace db {

namespace {

// Worded as the database server words it, so the error dialog reads the same either way.
[[noreturn]] void overflow(const char* type) {
    throw DbError(QStringLiteral("Arithmetic overflow error converting expression to data type %1.")
                      .arg(QLatin1String(type)));
}

} // namespace

double roundedHalfEven(double value) {
    // nearbyint follows the current rounding mode, which is round-half-even unless changed.
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(value);
    std::fesetround(saved);
    return r;
}

qint64 roundHalfEven(double value) {
    const double r = roundedHalfEven(value);
    // -2^63 and 2^63 are exact doubles; casting anything outside [-2^63, 2^63) (NaN included)
    // to an integer is undefined, so it must never reach the cast.
    constexpr double kLimit = 9223372036854775808.0;
    if (!(r >= -kLimit && r < kLimit)) {
        overflow("bigint");
    }
    return static_cast<qint64>(r);
}

QString formatNumber(double value) {
    if (!std::isfinite(value)) {
        return QString::number(value);
    }
    if (value == 0) {
        return QStringLiteral("0");
    }
    QString s = QString::number(value, 'f',
                                std::max(0, 14 - int(std::floor(std::log10(std::fabs(value))))));
    if (std::fabs(value) >= 1e15 || std::fabs(value) < 1e-6) {
        s = QString::number(value, 'g', 15);
        return s;
    }
    if (s.contains(QLatin1Char('.'))) {
        while (s.endsWith(QLatin1Char('0'))) {
            s.chop(1);
        }
        if (s.endsWith(QLatin1Char('.'))) {
            s.chop(1);
        }
    }
    if (s == QLatin1String("-0")) {
        s = QStringLiteral("0");
    }
    return s;
}

QDateTime parseDateTime(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        return {};
    }
    static const char* formats[] = {
        "yyyy-MM-dd hh:mm:ss.zzz", "yyyy-MM-dd hh:mm:ss", "yyyy-MM-ddThh:mm:ss.zzz",
        "yyyy-MM-ddThh:mm:ss",     "yyyy-MM-dd",          "dd/MM/yyyy hh:mm:ss",
        "dd/MM/yyyy hh:mm",        "dd/MM/yyyy",          "d/M/yyyy"};
    for (const char* f : formats) {
        QDateTime dt = QDateTime::fromString(t, QLatin1String(f));
        if (dt.isValid()) {
            return dt;
        }
    }
    return {};
}

QString variantToText(const QVariant& value) {
    if (value.isNull() || !value.isValid()) {
        return {};
    }
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return formatNumber(value.toDouble());
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        if (dt.time() == QTime(0, 0)) {
            return dt.toString(QLatin1String(kDisplayDateFormat));
        }
        return dt.toString(QLatin1String("dd/MM/yyyy hh:mm:ss"));
    }
    case QMetaType::QDate:
        return value.toDate().toString(QLatin1String(kDisplayDateFormat));
    default:
        return value.toString();
    }
}

double variantToDouble(const QVariant& value) {
    if (value.isNull() || !value.isValid()) {
        return 0;
    }
    if (value.typeId() == QMetaType::QString) {
        const QString t = value.toString().trimmed();
        if (t.isEmpty()) {
            return 0;
        }
        bool ok = false;
        const double d = t.toDouble(&ok);
        return ok ? d : 0;
    }
    return value.toDouble();
}

qint64 variantToInteger(const QVariant& value) {
    if (value.isNull() || !value.isValid()) {
        return 0;
    }
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
        return value.toLongLong();
    case QMetaType::ULongLong:
        if (value.toULongLong() > quint64(std::numeric_limits<qint64>::max())) {
            overflow("bigint");
        }
        return value.toLongLong();
    case QMetaType::QString: {
        // Whole numbers as text are read exactly: a double holds only 53 bits of them.
        bool ok = false;
        const qint64 exact = value.toString().trimmed().toLongLong(&ok);
        return ok ? exact : roundHalfEven(variantToDouble(value));
    }
    default:
        return roundHalfEven(variantToDouble(value));
    }
}

QDateTime variantToDateTime(const QVariant& value) {
    if (value.isNull() || !value.isValid()) {
        return {};
    }
    if (value.typeId() == QMetaType::QDateTime) {
        return value.toDateTime();
    }
    if (value.typeId() == QMetaType::QDate) {
        return value.toDate().startOfDay();
    }
    return parseDateTime(value.toString());
}

QVariant convertTo(const QVariant& value, FieldType type) {
    if (value.isNull() || !value.isValid()) {
        return {};
    }
    switch (type) {
    case FieldType::Text:
        return variantToText(value);
    case FieldType::Integer:
        if (value.typeId() == QMetaType::QString && value.toString().trimmed().isEmpty()) {
            return {};
        }
        return QVariant::fromValue<qint64>(variantToInteger(value));
    case FieldType::Float: {
        if (value.typeId() == QMetaType::QString && value.toString().trimmed().isEmpty()) {
            return {};
        }
        const double d = variantToDouble(value);
        if (!std::isfinite(d)) {
            overflow("float"); // the server's float has no infinity or NaN
        }
        return d;
    }
    case FieldType::DateTime: {
        const QDateTime dt = variantToDateTime(value);
        return dt.isValid() ? QVariant(dt) : QVariant();
    }
    }
    return value;
}

} // namespace db
