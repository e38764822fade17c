#include "platform/db/Decimal.h"

#include "platform/db/DbError.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace db {

namespace {

// The server's largest numeric precision; every mantissa stays below 10^38, which __int128
// (about 1.7 * 10^38) holds, so no step below can overflow unchecked.
constexpr int kMaxDigits = 38;

constexpr __int128 power10(int n) {
    __int128 r = 1;
    for (int i = 0; i < n; ++i) {
        r *= 10;
    }
    return r;
}

constexpr __int128 kLimit = power10(kMaxDigits);

[[noreturn]] void overflow() {
    throw DbError(
        QStringLiteral("Arithmetic overflow error converting expression to data type numeric."));
}

__int128 pow10i(qint64 n) {
    if (n < 0 || n > kMaxDigits) {
        overflow();
    }
    return power10(int(n));
}

// a * b when the product keeps within kMaxDigits digits.
__int128 checkedMul(__int128 a, __int128 b) {
    __int128 r = 0;
    if (__builtin_mul_overflow(a, b, &r) || r >= kLimit || r <= -kLimit) {
        overflow();
    }
    return r;
}

// mantissa / 10^drop, a half away from zero; drop > 0.
__int128 dropDigits(__int128 mantissa, qint64 drop) {
    if (drop > kMaxDigits) {
        return 0; // below half of the last kept digit
    }
    const __int128 div = pow10i(drop);
    __int128 q = mantissa / div;
    const __int128 r = mantissa % div;
    if ((r < 0 ? -r : r) * 2 >= div) {
        q += mantissa < 0 ? -1 : 1;
    }
    return q;
}

// Brings a value with any scale to a scale in [0, kMaxDigits]: digits beyond the last
// decimal place are rounded away, a negative scale multiplies out.
Decimal normalised(__int128 mantissa, qint64 scale) {
    if (scale > kMaxDigits) {
        return Decimal{dropDigits(mantissa, scale - kMaxDigits), kMaxDigits};
    }
    if (scale < 0) {
        if (mantissa == 0) {
            return Decimal{0, 0};
        }
        if (-scale > kMaxDigits) {
            overflow();
        }
        return Decimal{checkedMul(mantissa, pow10i(-scale)), 0};
    }
    return Decimal{mantissa, int(scale)};
}

std::string toDigits(__int128 v) {
    if (v == 0) {
        return "0";
    }
    std::string s;
    const bool neg = v < 0;
    unsigned __int128 u =
        neg ? static_cast<unsigned __int128>(-v) : static_cast<unsigned __int128>(v);
    while (u > 0) {
        s.insert(s.begin(), char('0' + int(u % 10)));
        u /= 10;
    }
    if (neg) {
        s.insert(s.begin(), '-');
    }
    return s;
}

} // namespace

std::optional<Decimal> Decimal::fromText(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        return std::nullopt;
    }
    __int128 mantissa = 0;
    qint64 scale = 0;
    bool neg = false;
    bool seenDigit = false;
    bool afterPoint = false;
    qint64 exponent = 0;
    qsizetype i = 0;
    if (t[0] == QLatin1Char('-') || t[0] == QLatin1Char('+')) {
        neg = t[0] == QLatin1Char('-');
        ++i;
    }
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            mantissa = checkedMul(mantissa, 10) + (c.unicode() - '0');
            if (mantissa >= kLimit) {
                overflow();
            }
            seenDigit = true;
            if (afterPoint) {
                ++scale;
            }
        } else if (c == QLatin1Char('.') && !afterPoint) {
            afterPoint = true;
        } else if ((c == QLatin1Char('e') || c == QLatin1Char('E')) && seenDigit) {
            bool ok = false;
            exponent = t.mid(i + 1).toInt(&ok);
            if (!ok) {
                return std::nullopt;
            }
            break;
        } else {
            return std::nullopt;
        }
    }
    if (!seenDigit) {
        return std::nullopt;
    }
    return normalised(neg ? -mantissa : mantissa, scale - exponent);
}

std::optional<Decimal> Decimal::fromVariant(const QVariant& v) {
    if (v.isNull() || !v.isValid()) {
        return std::nullopt;
    }
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::Bool:
        return Decimal{v.toLongLong(), 0};
    case QMetaType::ULongLong:
        return Decimal{static_cast<__int128>(v.toULongLong()), 0};
    case QMetaType::Double:
    case QMetaType::Float: {
        const double x = v.toDouble();
        if (!std::isfinite(x)) {
            return std::nullopt;
        }
        char buf[64];
        auto res = std::to_chars(buf, buf + sizeof buf, x); // shortest round-trip form
        return fromText(QString::fromLatin1(buf, res.ptr - buf));
    }
    default:
        return fromText(v.toString());
    }
}

Decimal Decimal::rounded(int newScale) const {
    if (newScale >= scale) {
        return *this; // no digit to round away; the value stays as it is
    }
    return normalised(dropDigits(mantissa, qint64(scale) - newScale), newScale);
}

QString Decimal::toText() const {
    std::string digits = toDigits(mantissa < 0 ? -mantissa : mantissa);
    if (scale > 0) {
        while (int(digits.size()) <= scale) {
            digits.insert(digits.begin(), '0');
        }
        digits.insert(digits.end() - scale, '.');
    }
    if (mantissa < 0) {
        digits.insert(digits.begin(), '-');
    }
    return QString::fromStdString(digits);
}

double Decimal::toDouble() const {
    const double r = std::strtod(toText().toLatin1().constData(), nullptr);
    return r == 0 ? 0.0 : r; // no negative zero
}

Decimal operator*(const Decimal& a, const Decimal& b) {
    return normalised(checkedMul(a.mantissa, b.mantissa), qint64(a.scale) + b.scale);
}

double exactQuotient(const Decimal& a, const Decimal& b) {
    if (b.isZero()) {
        throw DbError(QStringLiteral("Divide by zero error encountered."));
    }
    // Bring both to the same scale; the quotient of the mantissas is then exact.
    const int s = std::max(a.scale, b.scale);
    const __int128 num = checkedMul(a.mantissa, pow10i(qint64(s) - a.scale));
    const __int128 den = checkedMul(b.mantissa, pow10i(qint64(s) - b.scale));
    if (num % den == 0) {
        const double q = static_cast<double>(num / den);
        return q == 0 ? 0.0 : q;
    }
    double q = static_cast<double>(static_cast<long double>(num) / static_cast<long double>(den));
    if (q == std::floor(q)) {
        // Rounded onto an integer the exact value is not: move inside the open interval
        // between the two integers around the exact quotient.
        const bool positive = (num < 0) == (den < 0);
        const double whole = static_cast<double>(num / den); // truncated toward zero
        const double lower = positive ? whole : whole - 1;
        const double upper = lower + 1;
        if (q <= lower) {
            q = std::nextafter(lower, HUGE_VAL);
        } else if (q >= upper) {
            q = std::nextafter(upper, -HUGE_VAL);
        }
    }
    return q;
}

} // namespace db
