#pragma once

#include <QString>
#include <QVariant>
#include <optional>

namespace db {

// An exact decimal number (mantissa * 10^-scale) for the few calculations where binary
// floating point would drift, such as rounding a quantity up to a pack size of 0.07.
struct Decimal {
    __int128 mantissa = 0;
    int scale = 0;

    // Integers exactly; doubles by their shortest round-trip text; numeric text as written.
    static std::optional<Decimal> fromVariant(const QVariant& v);
    static std::optional<Decimal> fromText(const QString& text);

    Decimal rounded(int newScale) const; // half away from zero, as a conversion to DECIMAL(p,s)
    double toDouble() const;             // nearest double to the exact value
    QString toText() const;
    bool isZero() const { return mantissa == 0; }
};

Decimal operator*(const Decimal& a, const Decimal& b);

// The quotient a / b as the nearest double, nudged so that it never lands on an integer
// the exact quotient is not: CEILING and FLOOR of the result are then exact.
double exactQuotient(const Decimal& a, const Decimal& b);

} // namespace db
