#include "platform/db/Decimal.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace db {

namespace {

__int128 pow10i(int n) {
    __int128 r = 1;
    for (int i = 0; i < n; ++i) {
        r *= 10;
    }
    return r;
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
    Decimal d;
    bool neg = false;
    bool seenDigit = false;
    bool afterPoint = false;
    int exponent = 0;
    qsizetype i = 0;
    if (t[0] == QLatin1Char('-') || t[0] == QLatin1Char('+')) {
        neg = t[0] == QLatin1Char('-');
        ++i;
    }
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c.isDigit()) {
            if (d.mantissa > pow10i(36)) {
                return std::nullopt; // beyond what the calculations need
            }
            d.mantissa = d.mantissa * 10 + (c.unicode() - '0');
            seenDigit = true;
            if (afterPoint) {
                ++d.scale;
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
    d.scale -= exponent;
    if (d.scale < 0) {
        d.mantissa *= pow10i(-d.scale);
        d.scale = 0;
    }
    if (neg) {
        d.mantissa = -d.mantissa;
    }
    return d;
}

std::optional<Decimal> Decimal::fromVariant(const QVariant& v) {
    if (v.isNull() || !v.isValid()) {
        return std::nullopt;
    }
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Bool:
        return Decimal{v.toLongLong(), 0};
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
        return Decimal{mantissa * pow10i(newScale - scale), newScale};
    }
    const __int128 div = pow10i(scale - newScale);
    __int128 q = mantissa / div;
    const __int128 r = mantissa % div;
    if ((r < 0 ? -r : r) * 2 >= div) {
        q += mantissa < 0 ? -1 : 1;
    }
    return Decimal{q, newScale};
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
    return Decimal{a.mantissa * b.mantissa, a.scale + b.scale};
}

double exactQuotient(const Decimal& a, const Decimal& b) {
    // Bring both to the same scale; the quotient of the mantissas is then exact.
    const int s = std::max(a.scale, b.scale);
    const __int128 num = a.mantissa * pow10i(s - a.scale);
    const __int128 den = b.mantissa * pow10i(s - b.scale);
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
