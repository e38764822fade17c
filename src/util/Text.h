#pragma once

#include <QString>

namespace util {

// Upper case of the letters a to z only; every other character unchanged.
QString upperAscii(const QString& text);

// Removes blanks and control characters at both ends.
QString trimControls(const QString& text);

} // namespace util
