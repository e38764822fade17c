#pragma once

#include <QString>

namespace ui {

// Formats a number with a picture such as "#,##0.##", ",0.##;-,0.##" or "###0.##":
// '0' a digit always shown, '#' a digit shown when significant, ',' anywhere before the
// point groups thousands, '.' the decimal point; ';' separates the pictures of positive,
// negative and zero values (a negative section carries its own sign).
QString formatFloat(const QString& picture, double value);

} // namespace ui
