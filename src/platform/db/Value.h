#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

namespace db {

enum class FieldType { Text, Integer, Float, DateTime };

// Dates are shown and parsed as DD/MM/YYYY; stored as ISO text on the embedded server.
inline constexpr const char* kDisplayDateFormat = "dd/MM/yyyy";
inline constexpr const char* kStorageDateTimeFormat = "yyyy-MM-dd hh:mm:ss.zzz";

// Round to nearest, a half to the even neighbour (10.5 -> 10, 11.5 -> 12, -2.5 -> -2).
// roundedHalfEven keeps the result a double, so any finite value rounds without a limit.
double roundedHalfEven(double value);
// Throws DbError when the rounded value is not a 64-bit integer (or not a number at all).
qint64 roundHalfEven(double value);

// Conversions shared by fields and parameters. An empty or null value reads as 0 for numbers.
// Integer conversions throw DbError when the value lies outside the 64-bit range; nothing is
// ever wrapped or truncated silently.
QString variantToText(const QVariant& value);
double variantToDouble(const QVariant& value);
qint64 variantToInteger(const QVariant& value);
QDateTime variantToDateTime(const QVariant& value);

// Text form of a floating-point number: up to 15 significant digits, no trailing ".0",
// no exponent for ordinary magnitudes (a 13-digit barcode stored as a number stays plain).
QString formatNumber(double value);

// Parses DD/MM/YYYY (optionally followed by a time) or ISO date-time text; invalid on failure.
QDateTime parseDateTime(const QString& text);

// Throws DbError when the value does not fit the type (see variantToInteger; a Float takes
// finite numbers only).
QVariant convertTo(const QVariant& value, FieldType type);

} // namespace db
