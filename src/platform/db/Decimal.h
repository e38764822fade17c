#pragma once

#include <QString>
#include <QVariant>
#include <optional>

namespace db {

// An exact decimal number (mantissa * 10^-scale) for the few calculations where binary
// floating point would drift, such as rounding a quantity up to a pack size of 0.07.
// Like the server's numeric type it holds at most 38 digits and 38 decimals: a value or a
// result beyond 38 digits throws DbError (arithmetic overflow); further decimals round away.
struct Decimal {
    __int128 mantissa = 0;
    int scale = 0;

    // Integers exactly; doubles by their shortest round-trip text; numeric text as written.
    // nullopt when the value is not a number.
    static std::optional<Decimal> fromVariant(const QVariant& v);
    static std::optional<Decimal> fromText(const QString& text);

    // At most newScale decimals, a half away from zero, as a conversion to DECIMAL(p,s).
    Decimal rounded(int newScale) const;
    double toDouble() const; // nearest double to the exact value
    QString toText() const;
    bool isZero() const { return mantissa == 0; }
};

Decimal operator*(const Decimal& a, const Decimal& b);

// The quotient a / b as the nearest double, nudged so that it never lands on an integer
// the exact quotient is not: CEILING and FLOOR of the result are then exact. Throws DbError
// when b is zero.
double exactQuotient(const Decimal& a, const Decimal& b);

} // namespace db
